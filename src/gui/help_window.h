// The help window: the user's guide, compiled into the program as HTML pages and opened at the
// page of the window the user asks from (its context number).
#pragma once

#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <functional>

class QTextBrowser;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace lectorix {

// The context numbers of the windows and topics that have a page of their own.
namespace help_context {
inline constexpr int kMainWindow = 90;
inline constexpr int kTables = 100;
inline constexpr int kReading = 110;
inline constexpr int kSettings = 120;
inline constexpr int kSettingsMain = 130;   // tab "Основные"
inline constexpr int kSettingsExtra = 140;  // tab "Дополнительные"
inline constexpr int kSettingsFont = 150;   // tab "Шрифт"
inline constexpr int kWords = 160;
inline constexpr int kStatistics = 170;
inline constexpr int kBookmarks = 180;
inline constexpr int kBookFormat = 190;
inline constexpr int kFormatTool = 200;
inline constexpr int kAbout = 210;
}  // namespace help_context

class THelpWindow : public QWidget {
    Q_OBJECT

  public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // Shows the page of a context number; an unknown number shows the contents.
    void ShowContext(int context);
    // Shows a page of the guide; a relative URL is taken relative to the guide's folder.
    void ShowPage(const QUrl& url);

    // The context number of the page shown, or -1 for a page that no number leads to.
    int CurrentContext() const;
    QUrl CurrentUrl() const;

    QTextBrowser* Browser() const { return browser_; }
    QTreeWidget* Topics() const { return topics_; }

    // Makes `owner` the window's parent: a modal window would block a help window that is not
    // its own. When a modal owner hides, the window goes back to the owner it had before.
    void AttachTo(QWidget* owner);

    // Sizes the window to fit the owner's screen and centres it on the owner's window.
    void CentreOn(const QWidget* owner);

    // The page a context number leads to; the contents for an unknown number.
    static QUrl ContextUrl(int context);
    static QUrl ContentsUrl();
    // Every context number that has a page.
    static QList<int> Contexts();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildTopics();
    void SyncTopics(const QUrl& url);
    void MoveTo(QWidget* owner);

    QTreeWidget* topics_ = nullptr;
    QTextBrowser* browser_ = nullptr;
    QToolButton *back_ = nullptr, *forward_ = nullptr, *contents_ = nullptr;
    QPointer<QWidget> home_;  // the owner to return to when a modal owner hides
};

// Opens help at a context number: creates the one help window on first use (a child window of
// the caller's window, non-modal), and raises and activates it when it is already open.
void ShowHelpContext(QWidget* parent, int context);

// The help window, or nullptr before the first ShowHelpContext (or after its owner was freed).
THelpWindow* HelpWindowInstance();

// Makes F1 in `window` (and in its children) open help at the number `context` gives then, so a
// window with tabs can answer with the page of the current tab. Not for a window whose actions
// already take F1: two owners of one key leave it to neither.
void InstallHelpKey(QWidget* window, std::function<int()> context);
void InstallHelpKey(QWidget* window, int context);

}  // namespace lectorix
