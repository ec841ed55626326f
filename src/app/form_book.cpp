#include "app/form_book.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/dialogs.h"
#include "app/text_codec.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "timer/qvl_thread_timer.h"

namespace lectorix {

PageArea::PageArea(TFormBook& form) : QWidget(&form), form_(form) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

QPoint PageArea::PageOrigin() const {
    const int x = static_cast<int>(RoundHalfEven(width() / 2.0 - form_.Painter().PageWidth / 2.0));
    return {std::max(0, x), 40};
}

void PageArea::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), Qt::black);
    p.drawImage(PageOrigin(), form_.Painter().Composed());
}

void PageArea::mouseMoveEvent(QMouseEvent* event) {
    form_.Engine().FormMouseMove();
    QWidget::mouseMoveEvent(event);
}

TFormBook::TFormBook(QWidget* parent)
    : QMainWindow(parent), engine_(*this, clock_), timer_(std::make_unique<TQvlThreadTimer>()) {
    setWindowTitle(QStringLiteral("Скорочтение"));
    Splitter1 = new QSplitter(this);
    Splitter1->setHandleWidth(3);
    CreateContentsPanel();
    area_ = new PageArea(*this);
    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(area_);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({250, 800});
    setCentralWidget(Splitter1);
    CreateActions();
    engine_.ContentsChanged = [this] { FillContents(); };

    timer_->SetEnabled(false);
    timer_->SetInterval(100.5);
    timer_->SetPriority(TThreadPriority::Highest);
    timer_->SetOnTimer([this] { engine_.QvlThreadTimer1Timer(); });

    ApplyDisplaySettings();
    engine_.ControlsIdle();
    engine_.InitReader();
    resize(painter_.PageWidth + 80 + 250, painter_.PageHeight + 80);
}

TFormBook::~TFormBook() {
    // Stop the clock before the engine it ticks goes away.
    timer_.reset();
}

void TFormBook::CreateActions() {
    struct Def {
        ReaderAction action;
        const char* caption;
        const char* hint;
        QList<QKeySequence> keys;
    };
    const Def defs[] = {
        {ReaderAction::Run, "Старт", "Начать чтение", {Qt::Key_Return, Qt::Key_Enter}},
        {ReaderAction::Pause, "Пауза", "Пауза", {Qt::Key_Escape}},
        {ReaderAction::Step, "Приостановить", "Остановить/возобновить (пробел)", {Qt::Key_Space}},
        {ReaderAction::Stop, "Стоп", "Остановить чтение", {Qt::Key_Return, Qt::Key_Enter}},
        {ReaderAction::PageBack, "Предыдущая страница", "Предыдущая страница", {Qt::Key_Left}},
        {ReaderAction::PageNext, "Следующая страница", "Следующая страница", {Qt::Key_Right}},
        {ReaderAction::Save, "Сохранить", "Сохранить остаток текста", {}},
        {ReaderAction::ZakladkaAdd, "Добавить закладку", "Добавить закладку", {}},
    };
    for (const Def& d : defs) {
        auto* a = new QAction(QString::fromUtf8(d.caption), this);
        a->setToolTip(QString::fromUtf8(d.hint));
        a->setStatusTip(QString::fromUtf8(d.hint));
        a->setShortcuts(d.keys);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setEnabled(false);
        addAction(a);
        actions_[d.action] = a;
    }
    actions_[ReaderAction::Step]->setCheckable(true);
    connect(actions_[ReaderAction::Run], &QAction::triggered, this,
            [this] { engine_.ActionRunExecute(); });
    connect(actions_[ReaderAction::Pause], &QAction::triggered, this,
            [this] { engine_.ActionPauseExecute(); });
    connect(actions_[ReaderAction::Step], &QAction::triggered, this,
            [this] { engine_.ActionStepExecute(); });
    connect(actions_[ReaderAction::Stop], &QAction::triggered, this,
            [this] { engine_.ActionStopExecute(); });
    connect(actions_[ReaderAction::PageBack], &QAction::triggered, this,
            [this] { engine_.ActionPageBackExecute(); });
    connect(actions_[ReaderAction::PageNext], &QAction::triggered, this,
            [this] { engine_.ActionPageNextExecute(); });

    ActionSpeedBeack = new QAction(QStringLiteral("Медленнее"), this);
    ActionSpeedBeack->setShortcut(Qt::Key_Down);
    connect(ActionSpeedBeack, &QAction::triggered, this,
            [this] { engine_.ActionSpeedBeackExecute(); });
    ActionSpeedNext = new QAction(QStringLiteral("Быстрее"), this);
    ActionSpeedNext->setShortcut(Qt::Key_Up);
    connect(ActionSpeedNext, &QAction::triggered, this,
            [this] { engine_.ActionSpeedNextExecute(); });
    addAction(ActionSpeedBeack);
    addAction(ActionSpeedNext);
}

void TFormBook::CreateContentsPanel() {
    Panel1 = new QWidget(this);
    Panel1->setAutoFillBackground(true);
    QPalette dark = Panel1->palette();
    dark.setColor(QPalette::Window, Qt::black);
    Panel1->setPalette(dark);
    auto* layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);

    auto* title = new QWidget(Panel1);
    title->setAutoFillBackground(true);
    // Set each role: a palette with no roles of its own would inherit the panel's black.
    QPalette light = title->palette();
    light.setColor(QPalette::Window, QColor(212, 208, 200));
    light.setColor(QPalette::WindowText, Qt::black);
    light.setColor(QPalette::ButtonText, Qt::black);
    title->setPalette(light);
    auto* titleRow = new QHBoxLayout(title);
    titleRow->setContentsMargins(4, 2, 2, 2);
    auto* label = new QLabel(QStringLiteral("Содержание"), title);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    auto* close = new QToolButton(title);
    close->setText(QStringLiteral("×"));
    close->setAutoRaise(true);
    connect(close, &QToolButton::clicked, this, [this] { Splitter1->setSizes({10, width()}); });
    titleRow->addWidget(label, 1);
    titleRow->addWidget(close);
    layout->addWidget(title);

    TreeView1 = new QTreeWidget(Panel1);
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(19);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setFocusPolicy(Qt::NoFocus);  // keys belong to the reader
    QPalette page = TreeView1->palette();
    page.setColor(QPalette::Base, PageColors::Page);
    TreeView1->setPalette(page);
    connect(TreeView1, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { TreeView1Click(item); });
    layout->addWidget(TreeView1, 1);
}

void TFormBook::FillContents() {
    TreeView1->setUpdatesEnabled(false);
    TreeView1->clear();
    const auto& nodes = engine_.Book.Nodes;
    std::vector<QTreeWidgetItem*> items;
    items.reserve(nodes.size());
    QList<QTreeWidgetItem*> top;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const ContentsNode& n = nodes[i];
        auto* item = new QTreeWidgetItem({FromCp1251(n.Text)});
        item->setData(0, Qt::UserRole, static_cast<int>(i));
        if (n.Parent >= 0) {
            items[static_cast<size_t>(n.Parent)]->addChild(item);
        } else {
            top.append(item);
        }
        items.push_back(item);
    }
    TreeView1->addTopLevelItems(top);
    TreeView1->expandAll();
    if (!items.empty()) TreeView1->setCurrentItem(items.front());
    TreeView1->setUpdatesEnabled(true);
}

void TFormBook::TreeView1Click(QTreeWidgetItem* item) {
    if (!item) return;
    engine_.GoToContentsEntry(item->data(0, Qt::UserRole).toInt());
    area_->setFocus();
}

void TFormBook::ApplyDisplaySettings() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    painter_.ApplyDisplaySettings(engine_.Settings, screen ? screen->size().width() : 1024);
    engine_.Geometry.LineHeight = painter_.LineHeight;
    engine_.Geometry.BottomMargin = painter_.BottomMargin;
    area_->setMinimumSize(painter_.PageWidth, painter_.PageHeight + 40);
}

bool TFormBook::OpenFile(const QString& path) {
    std::string text;
    try {
        text = LoadTextFile(path.toStdString());
    } catch (const UserError& e) {
        ShowWarning(this, QString::fromUtf8(e.what()));
        return false;
    }
    OpenText(std::move(text));
    return true;
}

void TFormBook::OpenText(std::string cp1251) {
    try {
        engine_.OpenNewText(std::move(cp1251));
    } catch (const UserError& e) {
        ShowWarning(this, QString::fromUtf8(e.what()));
    }
}

void TFormBook::SetCaption(const std::string& utf8) {
    setWindowTitle(QString::fromStdString(utf8));
}

void TFormBook::SetActionEnabled(ReaderAction action, bool enabled) {
    actions_.at(action)->setEnabled(enabled);
}

void TFormBook::SetActionShortcut(ReaderAction action, bool on) {
    QAction* a = actions_.at(action);
    if (on) {
        a->setShortcuts({Qt::Key_Return, Qt::Key_Enter});
    } else {
        a->setShortcuts({});
    }
}

void TFormBook::SetActionChecked(ReaderAction action, bool checked) {
    actions_.at(action)->setChecked(checked);
}

void TFormBook::PreparePageLines() {
    painter_.PreparePageLines(engine_.Memo, engine_.Page, engine_.Settings);
}

void TFormBook::PaintPage(bool full) {
    const auto changed = painter_.Compose(full, engine_.Engine, engine_.Settings);
    const QPoint origin = area_->PageOrigin();
    for (const QRect& r : changed)
        area_->update(r.translated(origin));
}

void TFormBook::SetPointerHidden(bool hidden) {
    if (hidden) {
        area_->setCursor(Qt::BlankCursor);
    } else {
        area_->unsetCursor();
    }
}

void TFormBook::SetClockEnabled(bool enabled) {
    timer_->SetEnabled(enabled);
}
void TFormBook::SetClockInterval(double ms) {
    timer_->SetInterval(ms);
}
double TFormBook::ClockInterval() const {
    return timer_->Interval();
}

void TFormBook::PostToUi(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void TFormBook::closeEvent(QCloseEvent* event) {
    engine_.PauseIfReading();
    QMainWindow::closeEvent(event);
}

std::string WelcomeText() {
    QFile file(QStringLiteral(":/welcome.lxb"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace lectorix
