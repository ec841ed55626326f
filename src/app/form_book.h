// The main window: the page, the actions with their menus and tool bars, the contents panel,
// opening, pasting and saving texts, help and closing.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "app/page_area.h"
#include "gui/form_rar.h"
#include "reader/clock.h"
#include "reader/page_jumps.h"
#include "reader/page_painter.h"
#include "reader/reader_view.h"
#include "reader/reading_engine.h"

class QAction;
class QMenu;
class QSplitter;
class QToolBar;
class QToolButton;
class QAbstractItemView;
class QHelpEvent;
class QKeyEvent;
class QModelIndex;

namespace lectorix {

class TQvlThreadTimer;
class ContentsModel;

class TFormBook : public QMainWindow, public ReaderView {
  public:
    // `loadSettings` fills the engine's settings before the reader is set up on them. The engine
    // reads the time from `clock` (tests hand in one of their own).
    explicit TFormBook(QWidget* parent = nullptr,
                       const std::function<void(ReadingEngine&)>& loadSettings = {},
                       Clock& clock = SystemClock());
    ~TFormBook() override;

    // The windows of the exercises, the settings, the statistics, the bookmarks and the archive
    // loader plug in here; until they do, their actions say so.
    struct Windows {
        // The reader's text of a file: books converted, archives unpacked. Runs on a worker
        // thread, so it touches no window; `progress` (done, total) throws Cancelled once the
        // user has cancelled. A converted book's first chapters may go to `firstPart` (on the
        // same thread) before the whole book is ready. Without it the file is read as a text.
        std::function<std::string(const QString& path,
                                  const std::function<void(int done, int total)>& progress,
                                  const std::function<void(std::string book)>& firstPart)>
            LoadDocument;
        std::function<int()> BookmarkCount;
        std::function<void(int line)> OpenBookmark;
        std::function<void()> AddBookmark;
        std::function<void(QMenu* menu)> RebuildBookmarkMenu;
        std::function<bool()> ShowUserSettings;  // true when closed with OK
        // Keeps the correction the CPU test measured (the settings store).
        std::function<void(const std::string& stepOverhead)> StoreStepOverhead;
        std::function<void()> ShowStatistics;
        std::function<void()> ShowTableExercise;
        std::function<void()> ShowWordExercise;
        // The formatting tool, modal, on the reader's text followed by a book's trailer.
        std::function<void()> OpenFormatTool;
        // The contents panel's width as the user last dragged it (0: never), kept in the store.
        std::function<int()> RestoreContentsWidth;
        std::function<void(int width)> StoreContentsWidth;
    };
    Windows Seams;

    // The file named on the command line, opened at the first activation.
    void SetCommandLineFile(const QString& path) { commandLineFile_ = path; }
    // The first activation opens the command-line file, the last bookmark or the welcome book;
    // later ones only fix the caption.
    void FormActivate();

    // Opens a file as the open dialog would: read and prepared on a worker thread while the
    // window goes on, the progress window offering "Отмена" when it lasts. Shows a message and
    // keeps the current text when it cannot be read; keeps it too when the load is cancelled
    // (by the user, by another file asked for meanwhile, by closing the window). Returns
    // whether the file was opened.
    // With `firstPageEarly`, a converted book's first page is shown as soon as its first
    // chapters are ready, the rest following within the same load (the start of the program:
    // there is no text to put back should the load fail or be cancelled).
    bool LoadOpenedFile(const QString& path, bool firstPageEarly = false);
    // The loads under way (tests look at their progress window).
    const BackgroundJobs& Loads() const { return *loads_; }
    // Opens a text that has no file (the welcome book, tests).
    void OpenText(std::string cp1251);
    // The open dialog's file name: empty for the welcome book and pasted texts.
    const QString& OpenFileName() const { return openFileName_; }

    void ActionOpenFileExecute();
    void ActionPasteExecute();
    void ActionSaveExecute();
    // The formatting tool on the reader's text and a book's trailer (shown with the access code).
    void ActionConvertExecute();
    void ActionUserPropertiesExecute();
    void ActionHelpExecute();
    void ActionAboutExecute();
    void ActionCloseExecute();
    void SpeedButton1Click();
    void Panel1MouseMove();
    // Home, End, Ctrl+G, Ctrl+F and F11.
    void ActionPageFirstExecute();
    void ActionPageLastExecute();
    void ActionGoToPageExecute();
    void ActionFindExecute();
    // The text found last, looked for again from the page on screen; the question when none.
    void ActionFindNextExecute();
    void ActionFullScreenExecute();
    void ActionSpeedBeackExecute();
    void ActionSpeedNextExecute();
    // The page's own menu (a right click on the page).
    void ShowPageMenu(const QPoint& globalPos);
    // The speed set last, as the page shows it for two seconds after a change ("1500 зн/мин");
    // empty when it is not shown.
    QString SpeedShown() const;
    // Where the text found last stands on the page (page coordinates), while that page is on
    // screen and nothing moves; empty otherwise.
    const std::vector<QRect>& FoundShown() const { return found_; }
    // Closes as "Выход" does but asks nothing: the session is ending (a termination signal).
    void CloseWithoutQuestion();

    ReadingEngine& Engine() { return engine_; }
    const ReadingEngine& Engine() const { return engine_; }
    PagePainter& Painter() { return painter_; }
    const PagePainter& Painter() const { return painter_; }
    TQvlThreadTimer& QvlThreadTimer1() { return *timer_; }
    TQvlThreadTimer& QvlThreadTimerCPUTest() { return *cpuTimer_; }
    void ActionCPUTestExecute();
    QAction* Action(ReaderAction a) const { return readerActions_.at(a); }
    PageArea* Area() const { return area_; }
    // Every action in the order of the action list.
    const std::vector<QAction*>& ActionList1() const { return actionList_; }

    QAction *ActionOpenFile = nullptr, *ActionPaste = nullptr, *ActionSave = nullptr;
    QAction *ActionRun = nullptr, *ActionPause = nullptr, *ActionStep = nullptr;
    QAction *ActionStop = nullptr, *ActionPageBack = nullptr, *ActionPageNext = nullptr;
    QAction *ActionSpeedBeack = nullptr, *ActionSpeedNext = nullptr;
    QAction *ActionZakladkaAdd = nullptr, *ActionConvert = nullptr, *ActionTables = nullptr;
    QAction *ActionWords = nullptr, *ActionUserProperties = nullptr, *ActionCPUTest = nullptr;
    QAction *ActionStatistic = nullptr, *ActionHelp = nullptr, *ActionAbout = nullptr;
    QAction* ActionClose = nullptr;
    QAction *ActionPageFirst = nullptr, *ActionGoToPage = nullptr, *ActionFind = nullptr,
            *ActionFindNext = nullptr;
    QAction* ActionPageLast = nullptr;
    QAction* ActionFullScreen = nullptr;
    QMenu* Zakladka = nullptr;       // the bookmark menu
    QMenu* PopupMenuPage = nullptr;  // the page's right-click menu
    QToolBar *ToolBar1 = nullptr, *ToolBar2 = nullptr, *ToolBar3 = nullptr;
    QWidget* Panel1 = nullptr;  // the contents panel
    QToolButton* SpeedButton1 = nullptr;
    // Over the engine's book contents (ContentsModel): a QTreeView for contents with levels, a
    // QListView for contents without (CreateContentsView).
    QAbstractItemView* TreeView1 = nullptr;
    QSplitter* Splitter1 = nullptr;

    // ReaderView
    void SetCaption(const std::string& utf8) override;
    void SetActionEnabled(ReaderAction action, bool enabled) override;
    void SetActionShortcut(ReaderAction action, bool on) override;
    void SetActionChecked(ReaderAction action, bool checked) override;
    void PreparePageLines() override;
    void PaintPage(bool full) override;
    void SetPointerHidden(bool hidden) override;
    void SetClockEnabled(bool enabled) override;
    void SetClockInterval(double ms) override;
    double ClockInterval() const override;
    void SetCpuTestClockEnabled(bool enabled) override;
    void CollapseContents() override;
    void ShowReadingStatistics() override;
    void ContentsChanged() override;
    void CpuTestFinished(double stepOverhead) override;
    void ContentsLoading(int done, int total) override;
    void ShowTextWarning(const std::string& utf8) override;
    void PostToUi(std::function<void()> call) override;

    // Font, page geometry and images again, fitted to the height the window offers the page.
    void ApplyDisplaySettings();
    // After a resize: a page that no longer fits (or could be larger) is laid out again, unless
    // the shutters are moving.
    void RefitPage();

    // The width the contents panel opens to: as the user dragged it, else what its titles need,
    // within the room the page leaves beside it (never below its first width).
    int ContentsOpenWidth() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAction* AddAction(const char* caption, const char* hint, const char* const* icons,
                       QList<QKeySequence> keys, bool enabled);
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateContentsPanel();
    // Puts a view of the contents into the panel: a tree, or a list for contents without
    // levels. The view it replaces goes with the next event loop.
    void CreateContentsView(bool tree);
    // The contents panel in the page's colours, by day or by night.
    void ApplyContentsColors();
    void FillContents();
    // Opens the panel to ContentsOpenWidth() unless it is collapsed.
    void FitContentsPanel();
    void RepaintWhole();
    // A title cut at the panel's edge shows whole in its tool tip.
    bool TreeView1ToolTip(QHelpEvent* event);
    void TreeView1Click(const QModelIndex& index);
    // Selects the contents entry of the chapter on screen and scrolls it into view.
    void FollowContents();
    bool TreeView1Key(QKeyEvent* event);
    bool IsReaderKey(const QKeyEvent* event) const;
    // The window's clock in milliseconds, for its progress windows: tests hand in a clock that
    // does not run, so no progress window depends on how fast the machine is.
    ProgressWindow::MsClock ProgressClock();
    // Looks for `findText_` from the page on screen on: its page with the text marked, or a
    // message.
    void Find();
    // Marks where the text found stands on the page; nothing given clears the mark.
    void ShowFound(std::vector<QRect> rects);
    // Runs a walk over many pages painting only the page it ends on, with the busy pointer and,
    // when it takes long, a progress window under `caption` with "Отмена". Cancelled, the reader
    // is put back as it was and false returned.
    bool Jump(const std::function<void(const JumpProgress&)>& walk, const QString& caption);
    void ShowSpeed();
    void UpdateSpeedHints();
    int AvailablePageHeight() const;
    void NotYetAvailable(const QString& what);
    void FormDestroy();

    Clock& clock_;
    ReadingEngine engine_;
    PagePainter painter_;
    std::unique_ptr<TQvlThreadTimer> timer_;
    std::unique_ptr<TQvlThreadTimer> cpuTimer_;
    std::map<ReaderAction, QAction*> readerActions_;
    std::vector<QAction*> actionList_;
    PageArea* area_ = nullptr;
    std::unique_ptr<ProgressWindow> contentsProgress_;  // while a book's contents load
    std::unique_ptr<BackgroundJobs> loads_;             // files being read
    ProgressWindow* jumpWindow_ = nullptr;              // while a jump walks the pages
    // Calls handed to the window's thread while a jump may still be put back; run after it.
    std::vector<std::function<void()>> heldPosts_;
    ContentsModel* contents_ = nullptr;  // what TreeView1 shows
    int titlesWidth_ = 0;                // what the widest title needs of the panel
    int userPanelWidth_ = 0;             // as dragged; 0 until the user drags the panel's edge
    int storedPanelWidth_ = 0;           // as the store holds it
    bool panelCollapsed_ = false;
    TextFinder finder_;
    QString findText_;
    std::vector<QRect> found_;
    bool paintHeld_ = false;
    QString heldCaption_;
    bool maximizedBeforeFullScreen_ = false;
    double speedShownUntil_ = 0;  // days of the window's clock
    QTimer speedTimer_;
    QString commandLineFile_;
    QString openFileName_;
    bool firstActivation_ = false;
    bool activated_ = false;
    bool askOnClose_ = true;
    bool destroyed_ = false;
};

// The built-in welcome book, shown when no file is given.
std::string WelcomeText();

}  // namespace lectorix
