#include "settings/form_user_setting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "gui/help_window.h"

namespace lectorix {
namespace {

// The labels beside the edits: white on black, as on the reading page's surround.
QLabel* Caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(p);
    label->setContentsMargins(4, 2, 4, 2);
    return label;
}

// A spin edit; both bounds 0 mean no range.
QSpinBox* Spin(QWidget* parent, const char* name, int min, int max, int step = 1) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    if (min == 0 && max == 0) {
        min = std::numeric_limits<int>::min();
        max = std::numeric_limits<int>::max();
    }
    spin->setRange(min, max);
    spin->setSingleStep(step);
    spin->setFixedWidth(90);  // a range without bounds would ask for a very wide box
    return spin;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& text) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

}  // namespace

TFormUserSetting::TFormUserSetting(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Свойства"));
    resize(420, 290);
    PageControl1 = new QTabWidget(this);

    TabSheet1 = new QWidget(PageControl1);
    auto* main = new QFormLayout(TabSheet1);
    main->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    RxSpinEditSpeedWords = Spin(TabSheet1, "RxSpinEditSpeedWords", 0, 0, 50);
    RxSpinEditOpenString = Spin(TabSheet1, "RxSpinEditOpenString", 2, 20);
    RxSpinEditCountLetter = Spin(TabSheet1, "RxSpinEditCountLetter", 8, 80, 2);
    RxSpinEditBeginSleep = Spin(TabSheet1, "RxSpinEditBeginSleep", 10, 3000);
    main->addRow(Caption(QStringLiteral("Скорость (символов в минуту)"), TabSheet1),
                 RxSpinEditSpeedWords);
    main->addRow(Caption(QStringLiteral("Открыто строк"), TabSheet1), RxSpinEditOpenString);
    main->addRow(Caption(QStringLiteral("Символов в строке"), TabSheet1), RxSpinEditCountLetter);
    main->addRow(Caption(QStringLiteral("Задержка в начале страницы (мс)"), TabSheet1),
                 RxSpinEditBeginSleep);
    CheckBoxTransparentBar =
        Check(TabSheet1, "CheckBoxTransparentBar", QStringLiteral("Полупрозрачная шторка"));
    CheckBoxAutoSpeedPresent = Check(TabSheet1, "CheckBoxAutoSpeedPresent",
                                     QStringLiteral("Автоприращение скорости чтения"));
    main->addRow(CheckBoxTransparentBar);
    main->addRow(CheckBoxAutoSpeedPresent);
    RxSpinEditCountString = Spin(TabSheet1, "RxSpinEditCountString", 4, 25);
    RxSpinEditCountString->setToolTip(QStringLiteral("Строк на странице"));
    RxSpinEditCountString->hide();
    RxSpinEditCountString->setEnabled(false);
    PageControl1->addTab(TabSheet1, QStringLiteral("Основные"));

    TabSheet2 = new QWidget(PageControl1);
    auto* extra = new QGridLayout(TabSheet2);
    CheckBoxShowTopBar = Check(TabSheet2, "CheckBoxShowTopBar", QStringLiteral("Верхняя шторка"));
    CheckBoxShowBottomBar =
        Check(TabSheet2, "CheckBoxShowBottomBar", QStringLiteral("Нижняя шторка"));
    CheckBoxShowCenterLine =
        Check(TabSheet2, "CheckBoxShowCenterLine", QStringLiteral("Ориентир центра"));
    CheckBoxHideLeftLetter =
        Check(TabSheet2, "CheckBoxHideLeftLetter", QStringLiteral("Закрыто букв слева"));
    RxSpinEditCountHideLeftLetter = Spin(TabSheet2, "RxSpinEditCountHideLeftLetter", 0, 0);
    CheckBoxHideRightLetter =
        Check(TabSheet2, "CheckBoxHideRightLetter", QStringLiteral("Закрыто букв справа"));
    RxSpinEditCountHideRightLetter = Spin(TabSheet2, "RxSpinEditCountHideRightLetter", 0, 0);
    RxSpinEditCountShowOnePage = Spin(TabSheet2, "RxSpinEditCountShowOnePage", 1, 20);
    CheckBoxTimeFracAVG = Check(TabSheet2, "CheckBoxTimeFracAVG",
                                QStringLiteral("Вычислять остаток чтения по средней скорости"));
    int row = 0;
    extra->addWidget(CheckBoxShowTopBar, row++, 0, 1, 2);
    extra->addWidget(CheckBoxShowBottomBar, row++, 0, 1, 2);
    extra->addWidget(CheckBoxShowCenterLine, row++, 0, 1, 2);
    extra->addWidget(CheckBoxHideLeftLetter, row, 0);
    extra->addWidget(RxSpinEditCountHideLeftLetter, row++, 1);
    extra->addWidget(CheckBoxHideRightLetter, row, 0);
    extra->addWidget(RxSpinEditCountHideRightLetter, row++, 1);
    extra->addWidget(Caption(QStringLiteral("Повторов для одной страницы"), TabSheet2), row, 0,
                     Qt::AlignLeft);
    extra->addWidget(RxSpinEditCountShowOnePage, row++, 1);
    extra->addWidget(CheckBoxTimeFracAVG, row++, 0, 1, 2);
    ComboBoxParagraphs = new QComboBox(TabSheet2);
    ComboBoxParagraphs->setObjectName(QStringLiteral("ComboBoxParagraphs"));
    ComboBoxParagraphs->addItems({QStringLiteral("определять по тексту"),
                                  QStringLiteral("каждая строка — абзац"),
                                  QStringLiteral("по отступам и пустым строкам")});
    auto* paragraphs = new QHBoxLayout;
    paragraphs->addWidget(Caption(QStringLiteral("Абзацы:"), TabSheet2));
    paragraphs->addWidget(ComboBoxParagraphs, 1);
    extra->addLayout(paragraphs, row++, 0, 1, 2);
    extra->setRowStretch(row, 1);
    extra->setColumnStretch(0, 1);
    PageControl1->addTab(TabSheet2, QStringLiteral("Дополнительные"));

    TabSheet3 = new QWidget(PageControl1);
    auto* font = new QFormLayout(TabSheet3);
    font->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    ComboBoxFontName = new QComboBox(TabSheet3);
    ComboBoxFontName->setObjectName(QStringLiteral("ComboBoxFontName"));
    ComboBoxFontName->setEditable(true);
    ComboBoxFontName->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxFontName->addItems({QStringLiteral("Courier New"), QStringLiteral("Lucida Console")});
    CheckBoxFontStyle = Check(TabSheet3, "CheckBoxFontStyle", QStringLiteral("Жирный"));
    ComboBoxFontSize = new QComboBox(TabSheet3);
    ComboBoxFontSize->setObjectName(QStringLiteral("ComboBoxFontSize"));
    ComboBoxFontSize->setEditable(true);
    ComboBoxFontSize->setInsertPolicy(QComboBox::NoInsert);
    for (const char* size :
         {"10", "11", "12", "14", "16", "18", "20", "22", "24", "26", "28", "36"})
        ComboBoxFontSize->addItem(QString::fromLatin1(size));
    ComboBoxFontSize->setToolTip(QStringLiteral("Размер"));
    ComboBoxFontSize->hide();
    CheckBoxNightMode = Check(TabSheet3, "CheckBoxNightMode", QStringLiteral("Ночной режим"));
    font->addRow(Caption(QStringLiteral("Шрифт"), TabSheet3), ComboBoxFontName);
    font->addRow(CheckBoxFontStyle);
    font->addRow(CheckBoxNightMode);
    PageControl1->addTab(TabSheet3, QStringLiteral("Шрифт"));
    for (QComboBox* box : {ComboBoxFontName, ComboBoxFontSize})
        connect(box->lineEdit(), &QLineEdit::editingFinished, this,
                [box] { ComboBoxFontNameChange(box); });

    OKBtn = new QPushButton(QStringLiteral("&ОК"), this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("О&тмена"), this);
    connect(OKBtn, &QPushButton::clicked, this, [this] { done(1); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(2); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(buttons);
    PageControl1->setCurrentIndex(0);
    InstallHelpKey(this, [this] { return CurrentHelpContext(); });
}

void TFormUserSetting::ReadControls(SettingsControls& c) const {
    c.CheckBoxHideLeftLetter = CheckBoxHideLeftLetter->isChecked();
    c.CheckBoxHideRightLetter = CheckBoxHideRightLetter->isChecked();
    c.CheckBoxShowBottomBar = CheckBoxShowBottomBar->isChecked();
    c.CheckBoxShowCenterLine = CheckBoxShowCenterLine->isChecked();
    c.CheckBoxShowTopBar = CheckBoxShowTopBar->isChecked();
    c.RxSpinEditCountHideLeftLetter = RxSpinEditCountHideLeftLetter->value();
    c.RxSpinEditCountHideRightLetter = RxSpinEditCountHideRightLetter->value();
    c.RxSpinEditCountLetter = RxSpinEditCountLetter->value();
    c.RxSpinEditCountShowOnePage = RxSpinEditCountShowOnePage->value();
    c.RxSpinEditCountString = RxSpinEditCountString->value();
    c.RxSpinEditOpenString = RxSpinEditOpenString->value();
    c.RxSpinEditSpeedWords = RxSpinEditSpeedWords->value();
    c.CheckBoxTransparentBar = CheckBoxTransparentBar->isChecked();
    c.CheckBoxAutoSpeedPresent = CheckBoxAutoSpeedPresent->isChecked();
    c.CheckBoxTimeFracAVG = CheckBoxTimeFracAVG->isChecked();
    c.CheckBoxFontStyle = CheckBoxFontStyle->isChecked();
    c.ComboBoxFontSize = ComboBoxFontSize->currentText().toStdString();
    c.ComboBoxFontName = ComboBoxFontName->currentText().toStdString();
    c.RxSpinEditBeginSleep = RxSpinEditBeginSleep->value();
    c.ComboBoxParagraphs = ComboBoxParagraphs->currentIndex();
    c.CheckBoxNightMode = CheckBoxNightMode->isChecked();
}

void TFormUserSetting::WriteControls(const SettingsControls& c) {
    CheckBoxHideLeftLetter->setChecked(c.CheckBoxHideLeftLetter);
    CheckBoxHideRightLetter->setChecked(c.CheckBoxHideRightLetter);
    CheckBoxShowBottomBar->setChecked(c.CheckBoxShowBottomBar);
    CheckBoxShowCenterLine->setChecked(c.CheckBoxShowCenterLine);
    CheckBoxShowTopBar->setChecked(c.CheckBoxShowTopBar);
    RxSpinEditCountHideLeftLetter->setValue(c.RxSpinEditCountHideLeftLetter);
    RxSpinEditCountHideRightLetter->setValue(c.RxSpinEditCountHideRightLetter);
    RxSpinEditCountLetter->setValue(c.RxSpinEditCountLetter);
    RxSpinEditCountShowOnePage->setValue(c.RxSpinEditCountShowOnePage);
    RxSpinEditCountString->setValue(c.RxSpinEditCountString);
    RxSpinEditOpenString->setValue(c.RxSpinEditOpenString);
    RxSpinEditSpeedWords->setValue(c.RxSpinEditSpeedWords);
    CheckBoxTransparentBar->setChecked(c.CheckBoxTransparentBar);
    CheckBoxAutoSpeedPresent->setChecked(c.CheckBoxAutoSpeedPresent);
    CheckBoxTimeFracAVG->setChecked(c.CheckBoxTimeFracAVG);
    CheckBoxFontStyle->setChecked(c.CheckBoxFontStyle);
    // The boxes keep only their own items, as when the user types.
    ComboBoxFontSize->setEditText(QString::fromStdString(c.ComboBoxFontSize));
    ComboBoxFontNameChange(ComboBoxFontSize);
    ComboBoxFontName->setEditText(QString::fromStdString(c.ComboBoxFontName));
    ComboBoxFontNameChange(ComboBoxFontName);
    RxSpinEditBeginSleep->setValue(c.RxSpinEditBeginSleep);
    ComboBoxParagraphs->setCurrentIndex(
        std::clamp(c.ComboBoxParagraphs, 0, ComboBoxParagraphs->count() - 1));
    CheckBoxNightMode->setChecked(c.CheckBoxNightMode);
}

int TFormUserSetting::CurrentHelpContext() const {
    return help_context::kSettingsMain + 10 * PageControl1->currentIndex();
}

void TFormUserSetting::ComboBoxFontNameChange(QComboBox* box) {
    const QString text = box->currentText();
    if (box->findText(text, Qt::MatchExactly) >= 0) return;
    if (box->currentIndex() < 0) box->setCurrentIndex(0);
    box->setEditText(box->itemText(box->currentIndex()));
}

void TFormUserSetting::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setWindowTitle(QStringLiteral("Свойства"));
}

}  // namespace lectorix
