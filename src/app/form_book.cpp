#include "app/form_book.h"

#include <malloc.h>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "app/contents_model.h"
#include "app/form_about.h"
#include "book/chapter_cursor.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "gui/dialogs.h"
#include "gui/help_window.h"
#include "gui/icon_theme.h"
#include "gui/program_icon.h"
#include "gui/text_codec.h"
#include "timer/qvl_thread_timer.h"

namespace lectorix {
namespace {

constexpr int kPanelWidth = 250;  // the least the open panel gets
constexpr int kPanelCollapsed = 10;
constexpr int kPageGap = 10;  // between the page and the panel, and the window's edge
constexpr int kHelpReading = help_context::kReading;

const char* const kOpenFilter =
    // The first filter is the one the dialog opens with: every kind the program reads.
    "Поддерживаемые форматы (TXT, RTF, LXB,RAR, LXZ)|*.TXT;*.RTF;*.LXB;*.RAR; *.LXZ;"
    "*.FB2;*.FB2.ZIP;*.EPUB;*.ZIP;*.7Z;*.TAR;*.TGZ;*.TBZ2;*.TXZ;*.GZ;*.BZ2;*.XZ|"
    "Формат скорочтения|*.LXB|Текстовый документ|*.TXT|RTF формат|*.RTF|RAR|*.RAR|"
    "Формат скорочтения нормальное сжатие|*.LXZ|"
    "Книги FB2 и EPUB|*.FB2;*.FB2.ZIP;*.EPUB|"
    "Архивы (ZIP, 7Z, TAR, GZ, BZ2, XZ)|*.ZIP;*.7Z;*.TAR;*.TGZ;*.TBZ2;*.TXZ;*.GZ;*.BZ2;*.XZ|"
    "Все файлы|*";
const char* const kSaveFilter = "Текстовый документ|*.txt";

// Icon names of the freedesktop theme, the first one the theme has wins.
#define LX_ICONS(...)                                              \
    [] {                                                           \
        static const char* const names[] = {__VA_ARGS__, nullptr}; \
        return names;                                              \
    }()

const QList<QKeySequence> kEnter = {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)};

// The busy pointer while a text is read and laid out: a large one takes a second. The arrow
// stays, since the progress window's "Отмена" is there to be clicked.
struct BusyPointer {
    BusyPointer() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyPointer() { QGuiApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

// Steps of the progress window of a long jump.
constexpr int kJumpSteps = 1000;

// How long the page shows a new speed.
constexpr double kSpeedShownMs = 2000;
constexpr double kMsPerDay = 86400000.0;

QString SpeedText(int cpm) {
    return QStringLiteral("%1 зн/мин").arg(cpm);
}

// What the widest title needs, its indentation included. Only the longest titles are measured: a
// book may have a hundred thousand.
int WidestTitle(const BookContents& book, const QFontMetrics& metrics, int indentation) {
    const long long average = std::max(1, metrics.averageCharWidth());
    const auto& nodes = book.Nodes;
    const size_t n = std::min(nodes.size(), book.ContentsEntries.size());
    std::vector<std::pair<long long, size_t>> guesses;
    guesses.reserve(n);
    for (size_t i = 0; i < n; ++i)
        guesses.emplace_back(nodes[i].Level * indentation +
                                 static_cast<long long>(book.Title(i).size() + 16) * average,
                             i);
    const size_t measured = std::min<size_t>(guesses.size(), 64);
    std::partial_sort(guesses.begin(), guesses.begin() + static_cast<std::ptrdiff_t>(measured),
                      guesses.end(), std::greater<>());
    int widest = 0;
    for (size_t k = 0; k < measured; ++k) {
        const size_t i = guesses[k].second;
        widest =
            std::max(widest, nodes[i].Level * indentation +
                                 metrics.horizontalAdvance(FromCp1251(ContentsNodeText(book, i))));
    }
    return widest;
}

// F1 in the bookmark menu, or in a book's submenu of it, closes the menus and opens the
// bookmarks' page: the open menu has the keyboard, so the window's own F1 never hears it.
class BookmarkMenuHelp : public QObject {
  public:
    BookmarkMenuHelp(QMenu* menu, QWidget* window) : QObject(menu), window_(window) {
        menu->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ChildAdded) {
            // The books' submenus are made each time the menu opens.
            QObject* child = static_cast<QChildEvent*>(event)->child();
            if (child->isWidgetType()) child->installEventFilter(this);
        } else if (event->type() == QEvent::KeyPress &&
                   static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
            for (int i = 0; i < 8 && QApplication::activePopupWidget(); ++i)
                QApplication::activePopupWidget()->close();
            ShowHelpContext(window_, help_context::kBookmarks);
            return true;
        }
        return false;
    }

  private:
    QWidget* window_;
};

}  // namespace

TFormBook::TFormBook(QWidget* parent, const std::function<void(ReadingEngine&)>& loadSettings,
                     Clock& clock)
    : QMainWindow(parent),
      clock_(clock),
      engine_(*this, clock),
      timer_(std::make_unique<TQvlThreadTimer>()),
      loads_(std::make_unique<BackgroundJobs>(this, ProgressClock())) {
    InstallIconTheme();
    setWindowTitle(QStringLiteral("FormBook"));
    setWindowIcon(ProgramIcon());
    Splitter1 = new QSplitter(this);
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    CreateContentsPanel();
    area_ = new PageArea(*this);
    area_->setAutoFillBackground(false);
    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(area_);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({kPanelWidth, 800});
    connect(Splitter1, &QSplitter::splitterMoved, this, [this] {
        // Dragged by the user: the width is theirs from now on, and kept.
        const int width = Splitter1->sizes().value(0);
        panelCollapsed_ = width <= kPanelCollapsed;
        if (!panelCollapsed_) userPanelWidth_ = width;
        RepaintWhole();
    });
    setCentralWidget(Splitter1);
    CreateActions();
    CreateMenus();
    CreateToolBars();
    menuBar()->installEventFilter(this);
    speedTimer_.setSingleShot(true);
    connect(&speedTimer_, &QTimer::timeout, this, [this] { ShowSpeed(); });

    timer_->SetEnabled(false);
    timer_->SetInterval(100.5);
    timer_->SetPriority(TThreadPriority::Highest);
    timer_->SetOnTimer([this] { engine_.QvlThreadTimer1Timer(); });

    // The CPU test's clock: no sleep at all, so a tick costs only what a tick costs.
    cpuTimer_ = std::make_unique<TQvlThreadTimer>();
    cpuTimer_->SetEnabled(false);
    cpuTimer_->SetInterval(0);
    cpuTimer_->SetPriority(TThreadPriority::Normal);
    cpuTimer_->SetOnTimer([this] { engine_.CpuTestTick(); });

    if (loadSettings) loadSettings(engine_);
    ApplyDisplaySettings();
    engine_.ControlsIdle();
    engine_.InitReader();
    UpdateSpeedHints();
    resize(painter_.PageWidth + kPanelWidth + 80, painter_.PageHeight + kPageTop + 120);
}

TFormBook::~TFormBook() {
    FormDestroy();
}

void TFormBook::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    // A worker still reading a file is stopped and waited for.
    loads_.reset();
    // Stop the clocks before the engine they tick goes away; the engine abandons a running
    // letter count when it is destroyed.
    timer_.reset();
    cpuTimer_.reset();
    if (engine_.RecordReadingStatistics) engine_.RecordReadingStatistics();
}

QAction* TFormBook::AddAction(const char* caption, const char* hint, const char* const* icons,
                              QList<QKeySequence> keys, bool enabled) {
    auto* a = new QAction(ThemeIcon(icons), QString::fromUtf8(caption), this);
    a->setToolTip(QString::fromUtf8(hint));
    a->setStatusTip(QString::fromUtf8(hint));
    a->setShortcuts(keys);
    a->setShortcutContext(Qt::WindowShortcut);
    a->setEnabled(enabled);
    addAction(a);
    actionList_.push_back(a);
    return a;
}

void TFormBook::CreateActions() {
    ActionOpenFile = AddAction("Открыть", "Открыть текст из файла", LX_ICONS("document-open"),
                               {QKeySequence(Qt::CTRL | Qt::Key_O)}, true);
    ActionPaste = AddAction("Вставить", "Вставить текст из буфера", LX_ICONS("edit-paste"),
                            {QKeySequence(Qt::CTRL | Qt::Key_V)}, true);
    ActionSave =
        AddAction("Сохранить", "Сохранить остаток текста", LX_ICONS("document-save"), {}, false);
    ActionRun =
        AddAction("Старт", "Начать чтение", LX_ICONS("media-playback-start"), kEnter, false);
    ActionPause = AddAction("Пауза", "Пауза", LX_ICONS("media-playback-pause"),
                            {QKeySequence(Qt::Key_Escape)}, false);
    ActionStep = AddAction("Приостановить", "Остановить/возобновить (пробел)",
                           LX_ICONS("media-seek-backward"), {QKeySequence(Qt::Key_Space)}, false);
    ActionStep->setCheckable(true);
    ActionStop =
        AddAction("Стоп", "Остановить чтение", LX_ICONS("media-playback-stop"), kEnter, false);
    ActionPageBack =
        AddAction("Предыдущая страница", "Предыдущая страница", LX_ICONS("go-previous"),
                  {QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_PageUp)}, false);
    ActionPageNext =
        AddAction("Следующая страница", "Следующая страница", LX_ICONS("go-next"),
                  {QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_PageDown)}, false);
    ActionSpeedBeack = AddAction("Уменьшить скорость", "Уменьшить скорость чтения",
                                 LX_ICONS("go-down"), {QKeySequence(Qt::Key_Down)}, true);
    ActionSpeedNext = AddAction("Увеличить скорость", "Увеличить скорость чтения",
                                LX_ICONS("go-up"), {QKeySequence(Qt::Key_Up)}, true);
    ActionZakladkaAdd =
        AddAction("Добавить закладку", "Добавить закладку", LX_ICONS("bookmark-new"), {}, true);
    ActionConvert = AddAction("Форматировать текст", "Форматировать текст",
                              LX_ICONS("format-justify-fill"), {}, true);
    ActionConvert->setVisible(false);
    ActionTables =
        AddAction("Таблицы", "Таблицы Тарвина", LX_ICONS("x-office-spreadsheet"), {}, true);
    ActionWords =
        AddAction("Слова", "Слова", LX_ICONS("font-x-generic", "accessories-dictionary"), {}, true);
    ActionUserProperties = AddAction("Свойства", "Установки программы",
                                     LX_ICONS("preferences-system", "preferences-other"), {}, true);
    ActionCPUTest =
        AddAction("Тест быстродействия", "Определяет быстродействие \r\nВашего компьютера.",
                  LX_ICONS("utilities-system-monitor"), {}, true);
    ActionStatistic = AddAction("Статистика чтения", "Статистика чтения",
                                LX_ICONS("x-office-presentation", "office-chart-line"), {}, true);
    ActionHelp =
        AddAction("Вызов справки", "Вызов справки", LX_ICONS("help-browser", "help-contents"),
                  {QKeySequence(Qt::Key_F1)}, true);
    ActionAbout = AddAction("О программе", "О программе",
                            LX_ICONS("help-about", "dialog-information"), {}, true);
    ActionClose =
        AddAction("Выход", "Выход", LX_ICONS("application-exit", "system-log-out"), {}, true);
    ActionPageFirst = AddAction("Первая страница", "К первой странице текста или главы",
                                LX_ICONS("go-first", "go-top"), {QKeySequence(Qt::Key_Home)}, true);
    ActionPageLast = AddAction("Последняя страница", "К последней странице главы или текста",
                               LX_ICONS("go-last", "go-bottom"), {QKeySequence(Qt::Key_End)}, true);
    ActionGoToPage = AddAction("Перейти к странице...", "Перейти к странице по её номеру",
                               LX_ICONS("go-jump"), {QKeySequence(Qt::CTRL | Qt::Key_G)}, true);
    ActionFind = AddAction("Найти...", "Найти текст от этой страницы", LX_ICONS("edit-find"),
                           {QKeySequence(Qt::CTRL | Qt::Key_F)}, true);
    ActionFindNext =
        AddAction("Найти далее", "Найти тот же текст дальше",
                  LX_ICONS("go-down-search", "edit-find"), {QKeySequence(Qt::Key_F3)}, true);
    ActionFullScreen = AddAction("Во весь экран", "Во весь экран, без меню и панелей",
                                 LX_ICONS("view-fullscreen"), {QKeySequence(Qt::Key_F11)}, true);
    ActionFullScreen->setCheckable(true);

    readerActions_ = {
        {ReaderAction::Run, ActionRun},           {ReaderAction::Pause, ActionPause},
        {ReaderAction::Step, ActionStep},         {ReaderAction::Stop, ActionStop},
        {ReaderAction::PageBack, ActionPageBack}, {ReaderAction::PageNext, ActionPageNext},
        {ReaderAction::Save, ActionSave},         {ReaderAction::ZakladkaAdd, ActionZakladkaAdd}};

    auto on = [this](QAction* a, auto handler) { connect(a, &QAction::triggered, this, handler); };
    on(ActionOpenFile, [this] { ActionOpenFileExecute(); });
    on(ActionPaste, [this] { ActionPasteExecute(); });
    on(ActionSave, [this] { ActionSaveExecute(); });
    on(ActionRun, [this] { engine_.ActionRunExecute(); });
    on(ActionPause, [this] { engine_.ActionPauseExecute(); });
    on(ActionStep, [this] { engine_.ActionStepExecute(); });
    on(ActionStop, [this] { engine_.ActionStopExecute(); });
    on(ActionPageBack, [this] { engine_.ActionPageBackExecute(); });
    on(ActionPageNext, [this] { engine_.ActionPageNextExecute(); });
    on(ActionSpeedBeack, [this] { ActionSpeedBeackExecute(); });
    on(ActionSpeedNext, [this] { ActionSpeedNextExecute(); });
    on(ActionPageFirst, [this] { ActionPageFirstExecute(); });
    on(ActionPageLast, [this] { ActionPageLastExecute(); });
    on(ActionGoToPage, [this] { ActionGoToPageExecute(); });
    on(ActionFind, [this] { ActionFindExecute(); });
    on(ActionFindNext, [this] { ActionFindNextExecute(); });
    on(ActionFullScreen, [this] { ActionFullScreenExecute(); });
    // A window that has not been plugged in yet says so.
    auto viaSeam = [this, on](QAction* a, std::function<void()> Windows::*seam, bool pause) {
        on(a, [this, a, seam, pause] {
            if (pause) engine_.PauseIfReading();
            if (Seams.*seam) {
                (Seams.*seam)();
            } else {
                NotYetAvailable(a->text());
            }
        });
    };
    viaSeam(ActionZakladkaAdd, &Windows::AddBookmark, false);
    on(ActionConvert, [this] { ActionConvertExecute(); });
    viaSeam(ActionTables, &Windows::ShowTableExercise, true);
    viaSeam(ActionWords, &Windows::ShowWordExercise, false);
    on(ActionUserProperties, [this] { ActionUserPropertiesExecute(); });
    on(ActionCPUTest, [this] { ActionCPUTestExecute(); });
    viaSeam(ActionStatistic, &Windows::ShowStatistics, false);
    on(ActionHelp, [this] { ActionHelpExecute(); });
    on(ActionAbout, [this] { ActionAboutExecute(); });
    on(ActionClose, [this] { ActionCloseExecute(); });
}

void TFormBook::CreateMenus() {
    QMenuBar* bar = menuBar();
    QMenu* text = bar->addMenu(QStringLiteral("Текст"));
    text->addActions({ActionOpenFile, ActionPaste});
    text->addSeparator();
    text->addAction(ActionSave);
    text->addSeparator();
    text->addAction(ActionClose);

    QMenu* reading = bar->addMenu(QStringLiteral("Чтение"));
    reading->addActions({ActionRun, ActionPause, ActionStep, ActionStop});
    reading->addSeparator();
    reading->addActions(
        {ActionPageBack, ActionPageNext, ActionPageFirst, ActionPageLast, ActionGoToPage});
    reading->addActions({ActionFind, ActionFindNext});
    reading->addSeparator();
    reading->addActions({ActionSpeedNext, ActionSpeedBeack});
    reading->addSeparator();
    reading->addAction(ActionStatistic);

    Zakladka = bar->addMenu(QStringLiteral("Закладка"));
    Zakladka->addAction(ActionZakladkaAdd);
    Zakladka->addSeparator();
    connect(Zakladka, &QMenu::aboutToShow, this, [this] {
        if (Seams.RebuildBookmarkMenu) Seams.RebuildBookmarkMenu(Zakladka);
    });
    new BookmarkMenuHelp(Zakladka, this);

    QMenu* training = bar->addMenu(QStringLiteral("Тренинги"));
    training->addActions({ActionTables, ActionWords});

    QMenu* settings = bar->addMenu(QStringLiteral("Настройки"));
    settings->addAction(ActionCPUTest);
    settings->addSeparator();
    settings->addAction(ActionUserProperties);
    settings->addAction(ActionFullScreen);

    QMenu* help = bar->addMenu(QStringLiteral("Справка"));
    help->addAction(ActionHelp);
    help->addSeparator();
    help->addAction(ActionAbout);

    // The page's own menu: what the reader does on the page, the bookmarks, the settings.
    PopupMenuPage = new QMenu(this);
    PopupMenuPage->addActions({ActionRun, ActionPause, ActionStep, ActionStop});
    PopupMenuPage->addSeparator();
    PopupMenuPage->addActions({ActionPageBack, ActionPageNext, ActionPageFirst, ActionPageLast,
                               ActionGoToPage, ActionFind, ActionFindNext});
    PopupMenuPage->addSeparator();
    PopupMenuPage->addActions({ActionSpeedNext, ActionSpeedBeack});
    PopupMenuPage->addSeparator();
    PopupMenuPage->addMenu(Zakladka);
    PopupMenuPage->addSeparator();
    PopupMenuPage->addActions({ActionUserProperties, ActionFullScreen});
}

void TFormBook::ShowPageMenu(const QPoint& globalPos) {
    PopupMenuPage->popup(globalPos);
}

void TFormBook::CreateToolBars() {
    ToolBar1 = new QToolBar(QStringLiteral("Текст"), this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    const std::vector<std::vector<QAction*>> groups = {
        {ActionOpenFile, ActionPaste},
        {ActionSave},
        {ActionRun, ActionPause, ActionStep, ActionStop},
        {ActionPageBack, ActionPageNext},
        {ActionZakladkaAdd, ActionConvert},
        {ActionSpeedBeack, ActionSpeedNext},
        {ActionTables, ActionWords},
        {ActionUserProperties},
        {ActionStatistic, ActionHelp}};
    for (size_t g = 0; g < groups.size(); ++g) {
        if (g > 0) ToolBar1->addSeparator();
        for (QAction* a : groups[g])
            ToolBar1->addAction(a);
    }
    // The last bar of a row gets the row's spare width: a spacer in front of the exit button
    // keeps the button at the right end.
    ToolBar2 = new QToolBar(QStringLiteral("Выход"), this);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    auto* spacer = new QWidget(ToolBar2);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ToolBar2->addWidget(spacer);
    ToolBar2->addAction(ActionClose);
    ToolBar3 = new QToolBar(QStringLiteral("Чтение"), this);
    ToolBar3->setObjectName(QStringLiteral("ToolBar3"));
    ToolBar3->addActions({ActionRun, ActionPause, ActionStep, ActionStop});
    for (QToolBar* bar : {ToolBar1, ToolBar2}) {
        bar->setMovable(false);
        bar->setFloatable(false);
        addToolBar(Qt::TopToolBarArea, bar);
    }
    addToolBar(Qt::TopToolBarArea, ToolBar3);
    ToolBar3->hide();
}

void TFormBook::CreateContentsPanel() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    Panel1->setMinimumWidth(kPanelCollapsed);
    Panel1->setMouseTracking(true);
    Panel1->installEventFilter(this);
    QPalette dark = Panel1->palette();
    dark.setColor(QPalette::Window, Qt::black);
    Panel1->setPalette(dark);
    auto* layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);

    auto* title = new QWidget(Panel1);
    title->setAutoFillBackground(true);
    title->setMouseTracking(true);
    title->installEventFilter(this);
    title->setMinimumWidth(0);
    // Set each role: a palette with no roles of its own would inherit the panel's black.
    QPalette light = title->palette();
    light.setColor(QPalette::Window, QColor(212, 208, 200));
    light.setColor(QPalette::WindowText, Qt::black);
    light.setColor(QPalette::ButtonText, Qt::black);
    title->setPalette(light);
    auto* titleRow = new QHBoxLayout(title);
    titleRow->setContentsMargins(4, 2, 2, 2);
    auto* label = new QLabel(QStringLiteral("Содержание"), title);
    label->setMinimumWidth(0);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    SpeedButton1 = new QToolButton(title);
    SpeedButton1->setText(QStringLiteral("×"));
    SpeedButton1->setToolTip(QStringLiteral("Скрыть содержание"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);  // Space belongs to the reader
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    titleRow->addWidget(label, 1);
    titleRow->addWidget(SpeedButton1);
    layout->addWidget(title);

    contents_ = new ContentsModel(engine_.Book, Panel1);
    CreateContentsView(true);
}

void TFormBook::CreateContentsView(bool tree) {
    QAbstractItemView* view = nullptr;
    if (tree) {
        auto* t = new QTreeView(Panel1);
        t->setHeaderHidden(true);
        t->setUniformRowHeights(true);  // one font: no row is measured
        t->setIndentation(19);
        view = t;
    } else {
        // Contents without levels (a book of paragraphs can have thousands): a tree view keeps
        // a record of 40 bytes for every row it shows, a list of rows of one size 8 bytes.
        auto* l = new QListView(Panel1);
        l->setUniformItemSizes(true);
        // As in the tree, a title too long is cut at the panel's edge (its tool tip shows it).
        l->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view = l;
    }
    view->setModel(contents_);
    view->setItemDelegate(new ContentsEntryDelegate(view));
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab reaches the tree; its arrows and Enter are its own while it has the focus. A click
    // gives it no focus: an entry clicked is jumped to and the keys stay with the page.
    view->setFocusPolicy(Qt::TabFocus);
    view->installEventFilter(this);
    view->setMouseTracking(true);  // hot-tracking
    view->setMinimumWidth(0);
    view->viewport()->installEventFilter(this);
    connect(view, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { TreeView1Click(index); });
    auto* layout = static_cast<QVBoxLayout*>(Panel1->layout());
    if (!TreeView1) {
        QPalette page = view->palette();
        page.setColor(QPalette::Base, PageColors::Page);
        page.setColor(QPalette::Text, Qt::black);
        view->setPalette(page);
        layout->addWidget(view, 1);
    } else {
        // The view may be the one whose click brought the new contents: it goes later.
        QAbstractItemView* old = TreeView1;
        view->setPalette(old->palette());
        // The window's own focus, whether or not it is active (a load's progress may be).
        const bool focused = focusWidget() == old;
        delete layout->replaceWidget(old, view);
        const bool hidden = old->isHidden();
        old->hide();
        old->removeEventFilter(this);
        old->viewport()->removeEventFilter(this);
        old->disconnect(this);
        old->deleteLater();
        // The new view shown at its size at once (a layout would show it with the next event
        // loop): what follows scrolls it and measures its rows.
        view->setVisible(!hidden);
        layout->activate();
        if (focused) view->setFocus(Qt::OtherFocusReason);
    }
    TreeView1 = view;
}

bool TFormBook::IsReaderKey(const QKeyEvent* event) const {
    const QKeySequence pressed(
        QKeyCombination(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key())));
    for (const QAction* a : actionList_)
        if (a->shortcuts().contains(pressed)) return true;
    return false;
}

bool TFormBook::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove:
            Panel1MouseMove();
            break;
        case QEvent::ShortcutOverride:
            if (watched == menuBar() && !QApplication::activePopupWidget() &&
                IsReaderKey(static_cast<QKeyEvent*>(event))) {
                // Esc in a menu leaves its title lit and the keyboard with the menu bar, which
                // would take the next Esc for itself. A reader's key gives the keyboard back to
                // the page (the menu bar lets go of its title) and then acts as on the page.
                area_->setFocus(Qt::ShortcutFocusReason);
            } else if (watched == TreeView1 && TreeView1Key(static_cast<QKeyEvent*>(event))) {
                event->accept();  // the tree's key, not the reader's short-cut
                return true;
            }
            break;
        case QEvent::KeyPress:
            if (watched == TreeView1) {
                auto* key = static_cast<QKeyEvent*>(event);
                if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                    TreeView1Click(TreeView1->currentIndex());
                    return true;
                }
                if (key->key() == Qt::Key_Escape) {
                    area_->setFocus(Qt::OtherFocusReason);
                    return true;
                }
            }
            break;
        case QEvent::ToolTip:
            if (watched == TreeView1->viewport())
                return TreeView1ToolTip(static_cast<QHelpEvent*>(event));
            break;
        case QEvent::FocusIn:
            // Tab into a collapsed panel opens it, so the entry chosen can be seen.
            if (watched == TreeView1) Panel1MouseMove();
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TFormBook::TreeView1Key(QKeyEvent* event) {
    if (event->modifiers() & ~Qt::KeypadModifier) return false;
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return true;
        default:
            return false;
    }
}

void TFormBook::SpeedButton1Click() {
    panelCollapsed_ = true;
    Splitter1->setSizes({kPanelCollapsed, Splitter1->width()});
    RepaintWhole();
}

void TFormBook::RepaintWhole() {
    // The page area repainted whole, or with the panel beside it, is a band nearly as wide as
    // the window. Sent without X shared memory, a part of the window goes through a copy that
    // Qt keeps as large as the largest part ever sent (megabytes for such a band), while the
    // whole window is sent as it stands: so the whole window is repainted.
    update();
}

void TFormBook::Panel1MouseMove() {
    if (!panelCollapsed_) return;
    panelCollapsed_ = false;
    FitContentsPanel();
}

void TFormBook::CollapseContents() {
    // The reader's keys must reach the page once the shutters move.
    if (Panel1->isAncestorOf(QApplication::focusWidget())) area_->setFocus(Qt::OtherFocusReason);
    if (!panelCollapsed_) SpeedButton1Click();
}

int TFormBook::ContentsOpenWidth() const {
    if (userPanelWidth_ > kPanelCollapsed) return userPanelWidth_;
    // Within the room the page leaves, and no more than a third of the window: a book whose
    // titles are whole paragraphs would otherwise fill the screen with its contents, the page
    // squeezed to one side (a cut title shows whole in its tool tip).
    const int room =
        std::min(Splitter1->width() - Splitter1->handleWidth() - painter_.PageWidth - 2 * kPageGap,
                 Splitter1->width() / 3);
    return std::clamp(titlesWidth_, kPanelWidth, std::max(kPanelWidth, room));
}

void TFormBook::FitContentsPanel() {
    if (panelCollapsed_) return;
    const int width = ContentsOpenWidth();
    if (Splitter1->sizes().value(0) == width) return;
    Splitter1->setSizes({width, std::max(1, Splitter1->width() - width)});
    RepaintWhole();
}

bool TFormBook::TreeView1ToolTip(QHelpEvent* event) {
    const QModelIndex index = TreeView1->indexAt(event->pos());
    if (!index.isValid()) {
        QToolTip::hideText();
        return true;
    }
    const QRect rect = TreeView1->visualRect(index);
    const QString text = index.data().toString();
    if (TreeView1->fontMetrics().horizontalAdvance(text) > EntryTextRoom(*TreeView1, rect)) {
        QToolTip::showText(event->globalPos(), text, TreeView1->viewport(), rect);
    } else {
        QToolTip::hideText();
    }
    return true;
}

void TFormBook::FillContents() {
    contents_->Reset();
    if (contents_->IsFlat() == (qobject_cast<QTreeView*>(TreeView1) != nullptr))
        CreateContentsView(!contents_->IsFlat());
    // Every branch open. Only the nodes with children are expanded: the view keeps a persistent
    // index for every item it holds expanded, and expandAll() counts every leaf among them.
    if (auto* tree = qobject_cast<QTreeView*>(TreeView1)) {
        const int nodes = static_cast<int>(engine_.Book.Nodes.size());
        for (int i = 0; i < nodes; ++i) {
            const QModelIndex node = contents_->IndexOfEntry(i);
            if (contents_->hasChildren(node)) tree->expand(node);
        }
    }
    const QModelIndex first = contents_->index(0, 0);
    if (first.isValid()) TreeView1->setCurrentIndex(first);

    // The panel gets the width its widest title needs beside its indentation, the tree's frame,
    // its scroll bar and the panel's margins.
    const auto& book = engine_.Book;
    const QStyle* style = TreeView1->style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, TreeView1) + 1;
    const auto* tree = qobject_cast<const QTreeView*>(TreeView1);
    const int widest = WidestTitle(book, TreeView1->fontMetrics(), tree ? tree->indentation() : 0);
    titlesWidth_ = book.Nodes.empty() ? 0
                                      : widest + 2 * margin + 2 * TreeView1->frameWidth() +
                                            style->pixelMetric(QStyle::PM_ScrollBarExtent) + 8 + 4;
    FitContentsPanel();
}

void TFormBook::TreeView1Click(const QModelIndex& index) {
    const int entry = ContentsModel::EntryOf(index);
    if (entry < 0) return;
    engine_.GoToContentsEntry(entry);
    area_->setFocus();
}

void TFormBook::FollowContents() {
    if (!engine_.Page.BookMode) return;
    const QModelIndex index =
        contents_->IndexOfEntry(ContentsEntryAt(engine_.Book, engine_.Page.PageStart));
    if (!index.isValid()) return;
    // Scrolled only when the chapter changes, so a user browsing the tree is left alone.
    if (TreeView1->currentIndex() == index && TreeView1->selectionModel()->isSelected(index))
        return;
    const bool inView = TreeView1->viewport()->rect().contains(TreeView1->visualRect(index));
    TreeView1->setCurrentIndex(index);
    // An entry that comes into view stands mid-panel, with its neighbours around it.
    if (!inView) TreeView1->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

bool TFormBook::Jump(const std::function<void(const JumpProgress&)>& walk, const QString& caption) {
    const BusyPointer busy;
    // Everything a walk may change, put back when it is cancelled: the pages it turned are
    // booked, the actions and the clock's interval follow the page it stands on.
    const ReadingEngine& e = engine_;
    const auto reader = std::make_tuple(e.Page, e.Memo, e.Text, e.Engine, e.Session);
    const BookChapterCursor& c = e.Cursor;
    const auto cursor = std::make_tuple(c.CurChapter, c.NextChapter, c.ChapterStart, c.ChapterEnd,
                                        c.AtChapterEnd, c.AtChapterStart);
    std::map<ReaderAction, std::tuple<bool, bool, QList<QKeySequence>>> actions;
    for (const auto& [id, a] : readerActions_)
        actions[id] = {a->isEnabled(), a->isChecked(), a->shortcuts()};
    const double interval = timer_->Interval();
    const std::vector<QRect> found = found_;

    bool cancelled = false;
    {
        paintHeld_ = true;
        heldCaption_.clear();
        struct Release {
            TFormBook& form;
            const bool& cancelled;
            ~Release() {
                form.jumpWindow_ = nullptr;
                form.paintHeld_ = false;
                if (!cancelled && !form.heldCaption_.isEmpty())
                    form.setWindowTitle(form.heldCaption_);
                form.PreparePageLines();
                form.PaintPage(true);
                for (auto& call : std::exchange(form.heldPosts_, {}))
                    call();
            }
        } release{*this, cancelled};
        // A jump far into a long text walks many thousands of pages: the window shows how far.
        ProgressWindow window(this, ProgressClock());
        window.SetCancellable(true);
        jumpWindow_ = &window;
        window.ShowProgressWindow(kJumpSteps, caption);
        int shown = -1;
        try {
            walk([&](double share) {
                const int step = static_cast<int>(share * kJumpSteps);
                if (step != shown) window.SetProgress(shown = step);
                if (window.Cancelled()) throw Cancelled{};
            });
        } catch (const Cancelled&) {
            cancelled = true;
            std::tie(engine_.Page, engine_.Memo, engine_.Text, engine_.Engine, engine_.Session) =
                reader;
            BookChapterCursor& back = engine_.Cursor;
            std::tie(back.CurChapter, back.NextChapter, back.ChapterStart, back.ChapterEnd,
                     back.AtChapterEnd, back.AtChapterStart) = cursor;
            for (const auto& [id, state] : actions) {
                QAction* a = readerActions_.at(id);
                a->setEnabled(std::get<0>(state));
                a->setChecked(std::get<1>(state));
                a->setShortcuts(std::get<2>(state));
            }
            timer_->SetInterval(interval);
        }
    }
    // The page laid out again drops its marks; it is the same page, so they come back.
    if (cancelled) ShowFound(found);
    return !cancelled;
}

ProgressWindow::MsClock TFormBook::ProgressClock() {
    return [this] { return clock_.Now() * kMsPerDay; };
}

void TFormBook::ActionPageFirstExecute() {
    Jump([this](const JumpProgress&) { GoToFirstPage(engine_); }, ActionPageFirst->text());
}

void TFormBook::ActionPageLastExecute() {
    Jump([this](const JumpProgress& progress) { GoToLastPage(engine_, progress); },
         ActionPageLast->text());
}

void TFormBook::ActionGoToPageExecute() {
    engine_.PauseIfReading();
    const bool book = engine_.Page.BookMode;
    const int last = book ? std::max(1, engine_.Text.TotalPages) : 1000000;
    const QString label = book ? QStringLiteral("Номер страницы (1-%1):").arg(last)
                               : QStringLiteral("Номер страницы:");
    const std::optional<int> number =
        AskNumber(this, QStringLiteral("Переход к странице"), label,
                  std::max(1, engine_.Page.PageNumber), 1, last, QStringLiteral("Перейти"));
    if (!number) return;
    Jump([this, n = *number](const JumpProgress& progress) { GoToPage(engine_, n, progress); },
         QStringLiteral("Переход к странице"));
}

void TFormBook::ActionFindExecute() {
    engine_.PauseIfReading();
    const std::optional<QString> text =
        AskText(this, QStringLiteral("Поиск"), QStringLiteral("Найти текст (от этой страницы):"),
                findText_, QStringLiteral("Найти"));
    if (!text || text->trimmed().isEmpty()) return;
    findText_ = *text;
    Find();
}

void TFormBook::ActionFindNextExecute() {
    if (findText_.trimmed().isEmpty()) {
        ActionFindExecute();
        return;
    }
    engine_.PauseIfReading();
    Find();
}

void TFormBook::Find() {
    const QString text = findText_.simplified();
    bool found = false;
    const bool walked = Jump(
        [&](const JumpProgress& progress) {
            found = finder_.FindNext(engine_, ToCp1251(text), progress);
        },
        QStringLiteral("Поиск"));
    if (!walked) return;
    if (!found) {
        ShowWarning(this, QStringLiteral("Текст «%1» дальше не встречается.").arg(text));
        return;
    }
    ShowFound(painter_.MatchRects(engine_.Memo, engine_.Page.BookMode, finder_.Needle(),
                                  finder_.MatchOnPage(engine_)));
}

void TFormBook::ShowFound(std::vector<QRect> rects) {
    // The old mark and the new one, each with its frame.
    const QPoint origin = area_->PageOrigin();
    for (const auto* marks : {&found_, &rects})
        for (const QRect& r : *marks)
            area_->update(r.adjusted(-2, -2, 2, 2).translated(origin));
    found_ = std::move(rects);
}

void TFormBook::ActionFullScreenExecute() {
    // The page is laid out again for the new size, which it cannot be under moving shutters.
    engine_.PauseIfReading();
    const bool full = !isFullScreen();
    menuBar()->setVisible(!full);
    ToolBar1->setVisible(!full);
    ToolBar2->setVisible(!full);
    if (full) {
        maximizedBeforeFullScreen_ = isMaximized();
        showFullScreen();
    } else if (maximizedBeforeFullScreen_) {
        showMaximized();
    } else {
        showNormal();
    }
    ActionFullScreen->setChecked(full);
}

void TFormBook::ActionSpeedBeackExecute() {
    engine_.ActionSpeedBeackExecute();
    speedShownUntil_ = clock_.Now() + kSpeedShownMs / kMsPerDay;
    ShowSpeed();
}

void TFormBook::ActionSpeedNextExecute() {
    engine_.ActionSpeedNextExecute();
    speedShownUntil_ = clock_.Now() + kSpeedShownMs / kMsPerDay;
    ShowSpeed();
}

QString TFormBook::SpeedShown() const {
    if (clock_.Now() >= speedShownUntil_) return {};
    return SpeedText(engine_.Settings.SpeedCpm);
}

void TFormBook::ShowSpeed() {
    UpdateSpeedHints();
    area_->update(area_->SpeedRect());
    // Looked at again when the time is up; the clock decides, so a test's clock is obeyed.
    const double left = (speedShownUntil_ - clock_.Now()) * kMsPerDay;
    if (left > 0) speedTimer_.start(static_cast<int>(std::min(left, kSpeedShownMs)) + 1);
}

void TFormBook::UpdateSpeedHints() {
    const QString speed = QStringLiteral(" (сейчас %1)").arg(SpeedText(engine_.Settings.SpeedCpm));
    for (auto [a, hint] : {std::pair{ActionSpeedNext, "Увеличить скорость чтения"},
                           std::pair{ActionSpeedBeack, "Уменьшить скорость чтения"}}) {
        a->setToolTip(QString::fromUtf8(hint) + speed);
        a->setStatusTip(a->toolTip());
    }
}

int TFormBook::AvailablePageHeight() const {
    if (isVisible() && area_->height() > 0) return area_->height() - kPageTop - 4;
    // Not shown yet: the screen's working area less the window's own rows.
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return 0;
    const int chrome = menuBar()->sizeHint().height() + ToolBar1->sizeHint().height() + 30;
    return s->availableGeometry().height() - chrome - kPageTop - 4;
}

void TFormBook::ApplyDisplaySettings() {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const int width = s ? s->size().width() : 1024;
    painter_.ApplyDisplaySettings(engine_.Settings, width, AvailablePageHeight(),
                                  s ? s->devicePixelRatio() : 1.0);
    area_->setMinimumSize(std::min(painter_.PageWidth, 400), 200);
    engine_.GreetIfBlank();
    engine_.SetPageGeometry({painter_.LineHeight, painter_.BottomMargin});
    ApplyContentsColors();
    FitContentsPanel();  // the room the page leaves has changed
}

void TFormBook::ApplyContentsColors() {
    const PagePalette& c = painter_.Colors();
    const bool night = &c == &NightPalette();
    // From the panel's own palette, so the roles only the night sets go back to it by day.
    QPalette tree = Panel1->palette();
    tree.setColor(QPalette::Base, c.Page);
    tree.setColor(QPalette::Text, c.Text);
    if (night) {
        // The scroll bar and the selection too, or they would glare beside the dark page.
        const QColor bar(48, 48, 48);
        tree.setColor(QPalette::Button, bar);
        tree.setColor(QPalette::Window, bar);
        tree.setColor(QPalette::ButtonText, c.Text);
        tree.setColor(QPalette::WindowText, c.Text);
        tree.setColor(QPalette::Light, QColor(70, 70, 70));
        tree.setColor(QPalette::Mid, QColor(36, 36, 36));
        tree.setColor(QPalette::Dark, QColor(20, 20, 20));
        tree.setColor(QPalette::Highlight, QColor(70, 84, 68));
        tree.setColor(QPalette::HighlightedText, QColor(235, 235, 235));
    }
    TreeView1->setPalette(tree);
    // The title row "Содержание" with its ×.
    if (QWidget* title = SpeedButton1->parentWidget()) {
        QPalette row = title->palette();
        const QColor text = night ? c.Text : QColor(Qt::black);
        row.setColor(QPalette::Window, night ? QColor(48, 48, 48) : QColor(212, 208, 200));
        row.setColor(QPalette::WindowText, text);
        row.setColor(QPalette::ButtonText, text);
        title->setPalette(row);
    }
}

void TFormBook::RefitPage() {
    if (engine_.Reading() || !isVisible()) return;
    const int before = painter_.FontSize;
    const QScreen* s = screen();
    const int width = s ? s->size().width() : 1024;
    // Only a change of the size that would be chosen is worth a new layout.
    PagePainter probe;
    probe.FitGeometry(engine_.Settings, width, AvailablePageHeight());
    if (probe.FontSize == before) return;
    ApplyDisplaySettings();
    engine_.RetimePage();
    PreparePageLines();
    PaintPage(true);
    RepaintWhole();
}

void TFormBook::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!activated_) {
        activated_ = true;
        firstActivation_ = true;
        ActionConvert->setVisible(engine_.Settings.FormatToolEnabled);
        area_->setFocus(Qt::OtherFocusReason);  // the reader's keys start on the page
        if (Seams.RestoreContentsWidth)
            userPanelWidth_ = storedPanelWidth_ = Seams.RestoreContentsWidth();
        FitContentsPanel();
        // The first activation runs once the window is up, so the bookmark question and any
        // message have a window to sit on.
        QTimer::singleShot(0, this, [this] { FormActivate(); });
    }
}

void TFormBook::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TFormBook::FormActivate() {
    if (windowTitle() == QStringLiteral("FormBook")) setWindowTitle(QStringLiteral("Скорочтение"));
    if (!firstActivation_) return;
    firstActivation_ = false;
    // A file that cannot be opened is named in a message, and the start goes on as without it.
    if (!commandLineFile_.isEmpty() && LoadOpenedFile(commandLineFile_, true)) return;
    const int bookmarks = Seams.BookmarkCount ? Seams.BookmarkCount() : 0;
    if (bookmarks > 0 && Seams.OpenBookmark &&
        AskQuestion(this, QStringLiteral("Закладка"), QStringLiteral("Открыть последний текст?"),
                    false) == Answer::Yes) {
        Seams.OpenBookmark(0);
        return;
    }
    OpenText(WelcomeText());
}

bool TFormBook::LoadOpenedFile(const QString& path, bool firstPageEarly) {
    // A jump is walking the pages of the open text and may yet put it back.
    if (jumpWindow_) return false;
    // Another file asked for while one loads: the newer one is what the user wants.
    loads_->CancelAll();
    const auto load = Seams.LoadDocument;
    // Filled by the worker, so it lives as long as the worker does.
    const auto prepared = std::make_shared<PreparedText>();
    // The first part is opened on this thread only while the load it came from still runs:
    // once the whole book is open (or the load has failed) a late one is dropped.
    const auto running = std::make_shared<bool>(true);
    const auto partOpen = std::make_shared<bool>(false);
    std::function<void(std::string)> firstPart;
    if (firstPageEarly)
        firstPart = [this, running, partOpen](std::string part) {
            auto early = std::make_shared<PreparedText>(PrepareText(std::move(part), {}));
            QMetaObject::invokeMethod(
                this,
                [this, running, partOpen, early] {
                    if (!*running) return;
                    ReportUserError(this, [&] { engine_.OpenNewText(std::move(*early)); });
                    *partOpen = true;
                    // Now, not when the load's loop gets round to it; only the page, since
                    // the ground round it stays as it was.
                    area_->repaint(
                        QRect(area_->PageOrigin(), QSize(painter_.PageWidth, painter_.PageHeight)));
                },
                Qt::QueuedConnection);
        };
    bool finished = false;
    const bool loaded = ReportUserError(this, [&] {
        const BusyPointer busy;  // gone before a message about the file is shown
        finished = loads_->Run(QStringLiteral("Загрузка книги"), [load, path, prepared, firstPart](
                                                                     JobProgress& progress) {
            const auto report = [&progress](int done, int total) { progress.Report(done, total); };
            std::string text = load ? load(path, report, firstPart)
                                    : LoadTextFile(QFile::encodeName(path).toStdString());
            progress.ThrowIfCancelled();
            bool contents = false;
            *prepared = PrepareText(std::move(text), [&](int done, int total) {
                if (!std::exchange(contents, true))
                    progress.SetCaption(QStringLiteral("Загрузка содержания"));
                progress.Report(done, total);
            });
        });
        *running = false;
        if (finished) {
            // Nothing can have been read of the first part while the load held the window, so
            // the whole book taking its place records no session of it in the statistics.
            struct Held {
                std::function<void()>& hook;
                std::function<void()> kept;
                ~Held() { hook = std::move(kept); }
            };
            std::optional<Held> held;
            if (*partOpen)
                held.emplace(engine_.RecordReadingStatistics,
                             std::exchange(engine_.RecordReadingStatistics, {}));
            engine_.OpenNewText(std::move(*prepared));
        }
    });
    *running = false;
    contentsProgress_.reset();  // also when the contents turned out damaged
    // What reading and converting the file freed, much of it in the worker's own malloc arena,
    // goes back to the system: glibc would keep it for the process's lifetime.
    malloc_trim(0);
    if (!loaded || !finished) return false;
    openFileName_ = path;
    return true;
}

void TFormBook::OpenText(std::string cp1251) {
    ReportUserError(this, [&] {
        engine_.OpenNewText(std::move(cp1251));
        openFileName_.clear();
    });
    contentsProgress_.reset();
}

void TFormBook::ActionOpenFileExecute() {
    engine_.PauseIfReading();
    const QString dir = openFileName_.isEmpty() ? QString() : QFileInfo(openFileName_).path();
    const QString path = AskOpenFileName(this, dir, QtFileFilter(QString::fromUtf8(kOpenFilter)));
    if (path.isEmpty()) return;
    LoadOpenedFile(path);
}

void TFormBook::ActionPasteExecute() {
    engine_.PauseIfReading();
    const QString text = QGuiApplication::clipboard()->text();
    if (text.trimmed().isEmpty()) {
        // Opening nothing would only throw the current text away.
        ShowWarning(this, QStringLiteral("В буфере обмена нет текста."));
        return;
    }
    OpenText(NormalizeLineEnds(ToCp1251(text)));
}

void TFormBook::ActionSaveExecute() {
    engine_.PauseIfReading();
    const QString dir = openFileName_.isEmpty() ? QString() : QFileInfo(openFileName_).path();
    const QString suggested =
        dir.isEmpty() ? QStringLiteral("Книга.txt") : dir + QStringLiteral("/Книга.txt");
    QString path = AskSaveFileName(this, suggested, QtFileFilter(QString::fromUtf8(kSaveFilter)));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".txt");
    ReportUserError(this, [&] {
        WriteFileBytes(QFile::encodeName(path).toStdString(), engine_.RemainingText());
    });
}

void TFormBook::ActionConvertExecute() {
    // The tool is modal: the shutters would go on moving behind it.
    engine_.PauseIfReading();
    if (Seams.OpenFormatTool) {
        Seams.OpenFormatTool();
    } else {
        NotYetAvailable(ActionConvert->text());
    }
}

void TFormBook::ActionUserPropertiesExecute() {
    const int speed = engine_.SettingsOpening();
    if (!Seams.ShowUserSettings) {
        NotYetAvailable(ActionUserProperties->text());
        return;
    }
    if (!Seams.ShowUserSettings()) return;
    ApplyDisplaySettings();
    // A new layout numbers the pages up to this one again: far into a long text, a while.
    Jump([this, speed](const JumpProgress& progress) { engine_.SettingsAccepted(speed, progress); },
         QStringLiteral("Разметка страниц"));
    UpdateSpeedHints();
    RepaintWhole();
}

void TFormBook::ActionHelpExecute() {
    engine_.PauseIfReading();
    ShowHelpContext(this, kHelpReading);
}

void TFormBook::ActionAboutExecute() {
    TFormAbout about(this);
    about.ShowAbout();
}

void TFormBook::ActionCloseExecute() {
    engine_.PauseIfReading();
    close();
}

void TFormBook::CloseWithoutQuestion() {
    askOnClose_ = false;
    engine_.PauseIfReading();
    close();
}

void TFormBook::closeEvent(QCloseEvent* event) {
    engine_.PauseIfReading();
    if (askOnClose_ && !openFileName_.isEmpty() && engine_.Session.SessionPages >= 1) {
        switch (AskQuestion(this, QStringLiteral("Сохранение"),
                            QStringLiteral("Хотите добавить закладку"), true)) {
            case Answer::Yes:
                if (Seams.AddBookmark) Seams.AddBookmark();
                break;
            case Answer::No:
                break;
            case Answer::Cancel:
                event->ignore();
                return;
        }
    }
    askOnClose_ = true;
    // A load or a jump under way stops here; the text that was open stays.
    if (loads_) loads_->CancelAll();
    if (jumpWindow_) jumpWindow_->Cancel();
    if (userPanelWidth_ > kPanelCollapsed && userPanelWidth_ != storedPanelWidth_ &&
        Seams.StoreContentsWidth) {
        Seams.StoreContentsWidth(userPanelWidth_);
        storedPanelWidth_ = userPanelWidth_;
    }
    QMainWindow::closeEvent(event);
}

void TFormBook::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FitContentsPanel();
}

void TFormBook::ContentsLoading(int done, int total) {
    if (!contentsProgress_) {
        contentsProgress_ = std::make_unique<ProgressWindow>(this, ProgressClock());
        contentsProgress_->ShowProgressWindow(total, QStringLiteral("Загрузка содержания"));
    }
    contentsProgress_->SetProgress(done);
    if (done >= total) contentsProgress_.reset();
}

void TFormBook::NotYetAvailable(const QString& what) {
    ShowWarning(this, QStringLiteral("«%1» в этой версии программы ещё не работает.").arg(what));
}

void TFormBook::SetCaption(const std::string& utf8) {
    UpdateSpeedHints();
    if (paintHeld_) {
        heldCaption_ = QString::fromStdString(utf8);
        return;
    }
    setWindowTitle(QString::fromStdString(utf8));
}

void TFormBook::SetActionEnabled(ReaderAction action, bool enabled) {
    readerActions_.at(action)->setEnabled(enabled);
}

void TFormBook::SetActionShortcut(ReaderAction action, bool on) {
    readerActions_.at(action)->setShortcuts(on ? kEnter : QList<QKeySequence>{});
}

void TFormBook::SetActionChecked(ReaderAction action, bool checked) {
    readerActions_.at(action)->setChecked(checked);
}

void TFormBook::PreparePageLines() {
    if (paintHeld_) return;
    if (!found_.empty()) ShowFound({});  // a new page, or the page laid out again
    painter_.PreparePageLines(engine_.Memo, engine_.Page, engine_.Settings);
    FollowContents();
}

void TFormBook::PaintPage(bool full) {
    if (paintHeld_) return;
    if (!found_.empty() && engine_.Engine.IsRunning && !engine_.Engine.IsPaused) ShowFound({});
    const auto changed = painter_.Compose(full, engine_.Engine, engine_.Settings);
    const QPoint origin = area_->PageOrigin();
    for (const QRect& r : changed)
        area_->update(r.translated(origin));
}

void TFormBook::SetPointerHidden(bool hidden) {
    // Every moving tick asks; the window system is told only of a change.
    if (hidden == (area_->cursor().shape() == Qt::BlankCursor) &&
        area_->testAttribute(Qt::WA_SetCursor))
        return;
    if (hidden) {
        area_->setCursor(Qt::BlankCursor);
    } else {
        area_->unsetCursor();
    }
}

void TFormBook::SetClockEnabled(bool enabled) {
    timer_->SetEnabled(enabled);
}
void TFormBook::ShowReadingStatistics() {
    if (Seams.ShowStatistics) Seams.ShowStatistics();
}

void TFormBook::ContentsChanged() {
    FillContents();
}

void TFormBook::CpuTestFinished(double stepOverhead) {
    if (Seams.StoreStepOverhead) Seams.StoreStepOverhead(ShortestDecimal(stepOverhead));
    // The test shows nothing else; the user was told to run it and should see that it ran.
    setWindowTitle(QStringLiteral("Тест быстродействия: %1 мс на шаг")
                       .arg(QString::number(stepOverhead, 'f', 4)));
    QTimer::singleShot(5000, this, [this] {
        if (!engine_.Reading() && windowTitle().startsWith(QStringLiteral("Тест быстродействия")))
            engine_.UpdateStatusLine();
    });
}

void TFormBook::ShowTextWarning(const std::string& utf8) {
    ShowWarning(this, QString::fromStdString(utf8));
}

void TFormBook::SetCpuTestClockEnabled(bool enabled) {
    cpuTimer_->SetEnabled(enabled);
}

void TFormBook::ActionCPUTestExecute() {
    engine_.StartCpuTest();
}

void TFormBook::SetClockInterval(double ms) {
    timer_->SetInterval(ms);
}
double TFormBook::ClockInterval() const {
    return timer_->Interval();
}

void TFormBook::PostToUi(std::function<void()> call) {
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)]() mutable {
            // A jump may yet put the reader back: what comes meanwhile waits for its end.
            if (jumpWindow_) {
                heldPosts_.push_back(std::move(call));
                return;
            }
            call();
        },
        Qt::QueuedConnection);
}

std::string WelcomeText() {
    QFile file(QStringLiteral(":/welcome.lxb"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace lectorix
