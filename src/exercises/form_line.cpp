#include "exercises/form_line.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/dialogs.h"
#include "gui/help_window.h"
#include "gui/icon_theme.h"
#include "gui/text_codec.h"
#include "timer/qvl_thread_timer.h"
#include "timer/sleep_table.h"

namespace lectorix {

namespace {

#define LX_ICONS(...)                                              \
    [] {                                                           \
        static const char* const names[] = {__VA_ARGS__, nullptr}; \
        return names;                                              \
    }()

const QColor kWordColor(128, 128, 128);
constexpr int kDictionaryLengths = 25;  // the maxima before a dictionary is parsed

}  // namespace

TRxSpinEdit::TRxSpinEdit(QWidget* parent, int min, int max, int step, int value)
    : QSpinBox(parent) {
    setRange(min, max);
    setSingleStep(step);
    setValue(value);
    lineEdit()->setReadOnly(true);
    setAccelerated(true);
}

TFormLine::TFormLine(QWidget* parent, RandomGenerator& random)
    : QDialog(parent), random_(random), timer2_(std::make_unique<TQvlThreadTimer>(this)) {
    setObjectName(QStringLiteral("FormLine"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Слова"));
    // The black screen is the label's, which fills the window: a black palette on the window
    // would pass on to the panels and menus.
    LabelWord = new QLabel(this);
    LabelWord->setObjectName(QStringLiteral("LabelWord"));
    LabelWord->setAlignment(Qt::AlignCenter);
    LabelWord->setWordWrap(true);
    LabelWord->setTextFormat(Qt::PlainText);
    QPalette gray = LabelWord->palette();
    gray.setColor(QPalette::WindowText, kWordColor);
    gray.setColor(QPalette::Window, Qt::black);
    LabelWord->setPalette(gray);
    LabelWord->setAutoFillBackground(true);
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::Monospace);
    courier.setFixedPitch(true);
    LabelWord->setFont(courier);
    LabelWord->setContextMenuPolicy(Qt::CustomContextMenu);

    ActionOpen = AddAction("Открыть словарь", LX_ICONS("document-open"));
    ActionStart = AddAction("Старт", LX_ICONS("media-playback-start"));
    ActionStop = AddAction("Стоп", LX_ICONS("media-playback-stop"));
    ActionHideParams =
        AddAction("Дополнительно", LX_ICONS("preferences-system", "document-properties"));
    ActionHideAll = AddAction("Скрыть панель", LX_ICONS("go-up", "view-restore"));
    ActionExit = AddAction("Закрыть", LX_ICONS("application-exit", "window-close"));
    ActionExitBlack = AddAction("Закрыть", LX_ICONS("window-close", "process-stop"));
    ActionStart->setEnabled(false);
    ActionStop->setEnabled(false);
    ActionHideParams->setCheckable(true);
    ActionHideParams->setChecked(true);
    ActionExitBlack->setShortcut(QKeySequence(Qt::Key_Escape));
    ActionExitBlack->setShortcutContext(Qt::WindowShortcut);
    addAction(ActionExitBlack);

    // The " F11" mark under the panel: seen when the panel is hidden, and brings it back.
    Panel3 = new QLabel(QStringLiteral(" F11"), this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setPalette(gray);
    Panel3->setMouseTracking(true);
    Panel3->installEventFilter(this);
    Panel3->adjustSize();
    Panel3->move(2, 2);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    static_cast<QFrame*>(Panel1)->setFrameShape(QFrame::StyledPanel);
    Panel1->setAutoFillBackground(true);
    ToolBar1 = new QToolBar(Panel1);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->addAction(ActionOpen);
    ToolBar1->addSeparator();
    ToolBar1->addAction(ActionStart);
    ToolBar1->addAction(ActionStop);
    ToolBar1->addSeparator();
    ToolBar1->addAction(ActionHideParams);
    ToolBar1->addAction(ActionHideAll);
    PanelParams = CreateParams();
    auto* panel = new QVBoxLayout(Panel1);
    panel->setContentsMargins(4, 4, 4, 4);
    panel->setSizeConstraint(QLayout::SetFixedSize);
    panel->addWidget(ToolBar1);
    panel->addWidget(PanelParams);
    Panel1->move(0, 0);

    Panel4 = new QWidget(this);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    auto* close = new QToolButton(Panel4);
    close->setDefaultAction(ActionExitBlack);
    close->setAutoRaise(true);
    close->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto* closeLayout = new QHBoxLayout(Panel4);
    closeLayout->setContentsMargins(0, 0, 0, 0);
    closeLayout->addWidget(close);
    Panel4->setAutoFillBackground(true);
    Panel4->adjustSize();

    PopupMenu1 = new QMenu(this);
    PopupMenu1->addAction(ActionOpen);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(ActionStart);
    PopupMenu1->addAction(ActionStop);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(ActionExit);
    connect(LabelWord, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->exec(LabelWord->mapToGlobal(at)); });

    connect(ActionOpen, &QAction::triggered, this, [this] { ActionOpenExecute(); });
    connect(ActionStart, &QAction::triggered, this, [this] { ActionStartExecute(); });
    connect(ActionStop, &QAction::triggered, this, [this] { ActionStopExecute(); });
    connect(ActionHideParams, &QAction::toggled, PanelParams, &QWidget::setVisible);
    connect(ActionHideAll, &QAction::triggered, this, [this] { ActionHideAllExecute(); });
    connect(ActionExit, &QAction::triggered, this, [this] { ActionExitExecute(); });
    connect(ActionExitBlack, &QAction::triggered, this, [this] { ActionExitExecute(); });

    timer2_->SetEnabled(false);
    timer2_->SetInterval(1);
    // Each word stays the time its own tick sets.
    timer2_->SetSleepFollowsHandler(true);
    timer2_->SetOnTimer([this] { QvlThreadTimer2Timer(); });

    InstallHelpKey(this, help_context::kWords);
}

TFormLine::~TFormLine() = default;

QAction* TFormLine::AddAction(const char* caption, const char* const* icons) {
    auto* a = new QAction(ThemeIcon(icons), QString::fromUtf8(caption), this);
    a->setToolTip(a->text());
    return a;
}

QWidget* TFormLine::CreateParams() {
    auto* params = new QWidget(Panel1);
    params->setObjectName(QStringLiteral("PanelParams"));
    auto* layout = new QVBoxLayout(params);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* speed = new QFormLayout;
    RxSpinEditSpeed = new TRxSpinEdit(params, 1, 1000000, 50, 1500);
    speed->addRow(QStringLiteral("Скорость вывода"), RxSpinEditSpeed);
    layout->addLayout(speed);

    RadioGroup1 = new QGroupBox(QStringLiteral("Режимы вывода"), params);
    RadioGroup1Line = new QRadioButton(QStringLiteral("Строка"), RadioGroup1);
    RadioGroup1Column = new QRadioButton(QStringLiteral("Столбик"), RadioGroup1);
    RadioGroup1Line->setChecked(true);
    auto* modes = new QVBoxLayout(RadioGroup1);
    modes->addWidget(RadioGroup1Line);
    modes->addWidget(RadioGroup1Column);
    layout->addWidget(RadioGroup1);

    PageControl1 = new QTabWidget(params);
    TabSheetStandart = new QWidget(PageControl1);
    auto* standard = new QFormLayout(TabSheetStandart);
    RxSpinEditWords = new TRxSpinEdit(TabSheetStandart, 1, 1000, 1, 6);
    RxSpinEditStolbik = new TRxSpinEdit(TabSheetStandart, 1, kMaxRowSpan, 1, 10);
    standard->addRow(QStringLiteral("Символов в строке"), RxSpinEditWords);
    standard->addRow(QStringLiteral("Слов в столбце"), RxSpinEditStolbik);
    TabSheetPhyramid = new QWidget(PageControl1);
    auto* pyramid = new QFormLayout(TabSheetPhyramid);
    RxSpinEditBegin = new TRxSpinEdit(TabSheetPhyramid, 1, kDictionaryLengths, 1, 1);
    RxSpinEditEnd = new TRxSpinEdit(TabSheetPhyramid, 1, kDictionaryLengths, 1, 16);
    pyramid->addRow(QStringLiteral("Символов в начале"), RxSpinEditBegin);
    pyramid->addRow(QStringLiteral("Символов в конце"), RxSpinEditEnd);
    PageControl1->addTab(TabSheetStandart, QStringLiteral("Стандарт"));
    PageControl1->addTab(TabSheetPhyramid, QStringLiteral("Ёлочкой"));
    layout->addWidget(PageControl1);

    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });
    connect(RxSpinEditBegin, &QSpinBox::valueChanged, this, [this] {
        int begin = RxSpinEditBegin->value();
        RxSpinEditBeginChange(begin, RxSpinEditEnd->value(), Exercise.MaxRowSpan);
        RxSpinEditBegin->setValue(begin);
    });
    connect(RxSpinEditEnd, &QSpinBox::valueChanged, this, [this] {
        int end = RxSpinEditEnd->value();
        RxSpinEditEndChange(RxSpinEditBegin->value(), end, Exercise.MaxRowSpan);
        RxSpinEditEnd->setValue(end);
    });
    return params;
}

void TFormLine::ShowWordExercise(int readingFontSize, bool readingFontBold) {
    Exercise.RowIndex = 1;
    Exercise.MaxRowSpan = kMaxRowSpan;
    RxSpinEditStolbik->setMaximum(kMaxRowSpan);
    Dictionary.Index.DictLengthCount = 0;
    Exercise.RowList.clear();
    ActionStart->setEnabled(!Dictionary.Lines.empty());
    Exercise.ClearLabel();
    ShowLabelWord();
    QFont font = LabelWord->font();
    font.setPointSize(std::max(1, readingFontSize));
    font.setBold(readingFontBold);
    LabelWord->setFont(font);
    setWindowState(windowState() | Qt::WindowMaximized);
    exec();
    Exercise.RowList.clear();
}

void TFormLine::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    // F11 acts on release whichever control has the keyboard.
    qApp->installEventFilter(this);
    FormActivate();
}

void TFormLine::hideEvent(QHideEvent* event) {
    // However the window is closed, its clock stops with it.
    if (!event->spontaneous()) {
        ActionStopExecute();
        qApp->removeEventFilter(this);
    }
    QDialog::hideEvent(event);
}

void TFormLine::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LabelWord->setGeometry(rect());
    Panel4->move(width() - Panel4->width(), 0);
}

void TFormLine::FormActivate() {
    ActionHideParams->setChecked(true);
    PanelParams->setVisible(true);
    ShowPanel1();
    ReportUserError(this, [this] {
        LoadDictionaryResource(Dictionary, "DICTIONARY", "DICT");
        ParseDictionaryIndex(Dictionary.Lines, Dictionary.Index);
        LimitUpdate();
    });
}

void TFormLine::LimitUpdate() {
    const int lengths = Dictionary.Index.DictLengthCount;
    for (TRxSpinEdit* spin : {RxSpinEditWords, RxSpinEditEnd, RxSpinEditBegin}) {
        // A value above the new maximum comes down to it.
        spin->setMaximum(std::max(lengths, spin->minimum()));
    }
    ActionStart->setEnabled(!ActionStop->isEnabled());
}

void TFormLine::ActionOpenExecute() {
    const QString path = AskOpenFileName(this, QString(), QStringLiteral("Dict|*.dict"));
    if (path.isEmpty()) return;
    ReportUserError(this, [&] {
        OpenDictionaryFile(Dictionary, QFile::encodeName(path).toStdString());
        LimitUpdate();
    });
}

void TFormLine::ActionStartExecute() {
    const WordSettings s = Settings();
    if (!s.Standard && s.Begin > s.End) {
        ShowWarning(this, QStringLiteral("«Символов в начале» больше, чем «Символов в конце»: "
                                         "в ёлочке не будет ни одной строки."));
        return;
    }
    ActionStart->setEnabled(false);
    ActionStop->setEnabled(true);
    const DictionaryIndex& index = Dictionary.Index;
    if (index.DictLengthCount <= 0 || index.DictFirstLine.empty() || index.DictLastLine.empty())
        return;
    Exercise.Start();
    Exercise.CurFirstLine = index.DictFirstLine[0];
    Exercise.CurLastLine = index.DictLastLine[0];
    if (Exercise.CurFirstLine >= 1 && Exercise.CurLastLine >= 1) timer2_->SetEnabled(true);
}

void TFormLine::ActionStopExecute() {
    ActionStart->setEnabled(true);
    ActionStop->setEnabled(false);
    timer2_->SetEnabled(false);
}

void TFormLine::ActionExitExecute() {
    ActionStopExecute();
    close();
}

void TFormLine::ActionHideAllExecute() {
    Panel1->hide();
}

void TFormLine::ShowPanel1() {
    Panel1->show();
    Panel1->raise();
}

void TFormLine::PageControl1Change() {
    RadioGroup1Column->setText(PageControl1->currentWidget() == TabSheetStandart
                                   ? QStringLiteral("Столбик")
                                   : QStringLiteral("Ёлочка"));
}

WordSettings TFormLine::Settings() const {
    WordSettings s;
    s.Speed = RxSpinEditSpeed->value();
    s.Standard = PageControl1->currentWidget() == TabSheetStandart;
    s.LineMode = RadioGroup1Line->isChecked();
    s.Words = RxSpinEditWords->value();
    s.Stolbik = RxSpinEditStolbik->value();
    s.Begin = RxSpinEditBegin->value();
    s.End = RxSpinEditEnd->value();
    return s;
}

void TFormLine::QvlThreadTimer2Timer() {
    const WordColumns::Tick tick = Exercise.QvlThreadTimer2Timer(
        Settings(), Dictionary.Index,
        [this](int first, int last) { return PickWord(Dictionary.Lines, first, last, random_); });
    if (!tick.Pause) ShowLabelWord();
    // Handed over as computed; an unchanged interval keeps the timer's cycle going, so a pace
    // that is no whole multiple of 10 ms still comes out right on average.
    if (NormalizeInterval(tick.IntervalMs) != timer2_->Interval())
        timer2_->SetInterval(tick.IntervalMs);
}

void TFormLine::ShowLabelWord() {
    QString text = FromCp1251(Exercise.LabelWord());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // The line break after the last row would add an empty line below the column.
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    LabelWord->setText(text);
    // Painted now, within the tick: the time a word is seen is the clock's, not the event loop's.
    if (LabelWord->isVisible()) LabelWord->repaint();
}

bool TFormLine::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Panel3 && event->type() == QEvent::MouseMove) ShowPanel1();
    if (event->type() == QEvent::KeyRelease && isActiveWindow()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F11 && !key->isAutoRepeat()) ShowPanel1();
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace lectorix
