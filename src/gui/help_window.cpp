#include "gui/help_window.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace lectorix {
namespace {

const QString kBase = QStringLiteral("qrc:/help/");

// The topics in the order of the list on the left; level 1 stands under the topic above it.
struct Topic {
    const char* file;
    int level;
};
constexpr Topic kTopics[] = {
    {"index.html", 0},          {"training.html", 0},      {"main_window.html", 0},
    {"opening.html", 0},        {"reading.html", 0},       {"shutters.html", 1},
    {"cpu_test.html", 1},       {"settings.html", 0},      {"settings_main.html", 1},
    {"settings_extra.html", 1}, {"settings_font.html", 1}, {"statistics.html", 0},
    {"bookmarks.html", 0},      {"words.html", 0},         {"tables.html", 0},
    {"book_format.html", 0},    {"format_tool.html", 1},   {"about.html", 0},
};

struct ContextPage {
    int context;
    const char* page;
};
constexpr ContextPage kContextPages[] = {
    {help_context::kMainWindow, "main_window.html"},
    {help_context::kTables, "tables.html"},
    {help_context::kReading, "reading.html"},
    {help_context::kSettings, "settings.html"},
    {help_context::kSettingsMain, "settings_main.html"},
    {help_context::kSettingsExtra, "settings_extra.html"},
    {help_context::kSettingsFont, "settings_font.html"},
    {help_context::kWords, "words.html"},
    {help_context::kStatistics, "statistics.html"},
    {help_context::kBookmarks, "bookmarks.html"},
    {help_context::kBookFormat, "book_format.html"},
    {help_context::kFormatTool, "format_tool.html"},
    {help_context::kAbout, "about.html"},
};

QUrl PageUrl(const char* file) {
    return QUrl(kBase + QLatin1String(file));
}

QUrl WithoutFragment(const QUrl& url) {
    return url.adjusted(QUrl::RemoveFragment);
}

// The list shows each page under its own title, so the two never disagree.
QString PageTitle(const char* file) {
    QFile f(QStringLiteral(":/help/") + QLatin1String(file));
    if (!f.open(QIODevice::ReadOnly)) return QLatin1String(file);
    static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = title.match(QString::fromUtf8(f.readAll()));
    return m.hasMatch() ? m.captured(1).simplified() : QLatin1String(file);
}

int TopicsWidth(const QTreeWidget& topics) {
    int widest = 0;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&topics)); *it; ++it) {
        int depth = 1;  // the top level has its branch mark too
        for (const QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent())
            ++depth;
        widest = std::max(widest, depth * topics.indentation() +
                                      topics.fontMetrics().horizontalAdvance((*it)->text(0)));
    }
    // The item's own margins, the frame, and room for a scroll bar on a low screen.
    return widest + 12 + 2 * topics.frameWidth() +
           topics.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

QPointer<THelpWindow>& Instance() {
    static QPointer<THelpWindow> window;
    return window;
}

}  // namespace

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Справка"));
    resize(1000, 700);

    auto button = [this](QStyle::StandardPixmap icon, const QString& text) {
        auto* b = new QToolButton(this);
        b->setIcon(style()->standardIcon(icon));
        b->setText(text);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        return b;
    };
    back_ = button(QStyle::SP_ArrowBack, QStringLiteral("Назад"));
    forward_ = button(QStyle::SP_ArrowForward, QStringLiteral("Вперёд"));
    contents_ = button(QStyle::SP_DirHomeIcon, QStringLiteral("Содержание"));
    back_->setEnabled(false);
    forward_->setEnabled(false);

    topics_ = new QTreeWidget(this);
    topics_->setHeaderHidden(true);
    topics_->setColumnCount(1);
    topics_->setMinimumWidth(180);
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(true);  // web addresses go to the desktop's browser

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(topics_);
    split->addWidget(browser_);
    split->setStretchFactor(1, 1);
    split->setSizes({320, 680});
    split->setChildrenCollapsible(false);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(back_);
    row->addWidget(forward_);
    row->addWidget(contents_);
    row->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(4);
    layout->addLayout(row);
    layout->addWidget(split, 1);

    BuildTopics();
    // The list as wide as its longest title, so that none is cut short.
    const int list = std::max(320, TopicsWidth(*topics_));
    split->setSizes({list, 1000 - list});

    connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(contents_, &QToolButton::clicked, this, [this] { browser_->setSource(ContentsUrl()); });
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &THelpWindow::SyncTopics);
    connect(topics_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item) browser_->setSource(QUrl(item->data(0, Qt::UserRole).toString()));
    });

    auto key = [this](const QKeySequence& seq, auto slot) {
        auto* s = new QShortcut(seq, this);
        connect(s, &QShortcut::activated, this, slot);
    };
    key(QKeySequence(Qt::Key_Escape), [this] { close(); });
    key(QKeySequence::Back, [this] { browser_->backward(); });
    key(QKeySequence::Forward, [this] { browser_->forward(); });

    browser_->setSource(ContentsUrl());
}

void THelpWindow::BuildTopics() {
    QTreeWidgetItem* top = nullptr;
    for (const Topic& t : kTopics) {
        auto* item = t.level == 0 || !top ? new QTreeWidgetItem(topics_) : new QTreeWidgetItem(top);
        if (t.level == 0) top = item;
        const QString title = PageTitle(t.file);
        item->setText(0, title);
        item->setToolTip(0, title);
        item->setData(0, Qt::UserRole, PageUrl(t.file).toString());
    }
    topics_->expandAll();
}

void THelpWindow::SyncTopics(const QUrl& url) {
    const QString page = WithoutFragment(url).toString();
    QTreeWidgetItem* found = nullptr;
    for (QTreeWidgetItemIterator it(topics_); *it && !found; ++it)
        if ((*it)->data(0, Qt::UserRole).toString() == page) found = *it;
    // Following the page must not load it a second time.
    const QSignalBlocker block(topics_);
    topics_->setCurrentItem(found);
    if (found) topics_->scrollToItem(found);
}

void THelpWindow::ShowContext(int context) {
    browser_->setSource(ContextUrl(context));
}

void THelpWindow::ShowPage(const QUrl& url) {
    browser_->setSource(ContentsUrl().resolved(url));
}

QUrl THelpWindow::CurrentUrl() const {
    return browser_->source();
}

int THelpWindow::CurrentContext() const {
    const QUrl page = WithoutFragment(CurrentUrl());
    for (const ContextPage& c : kContextPages)
        if (PageUrl(c.page) == page) return c.context;
    return -1;
}

QUrl THelpWindow::ContextUrl(int context) {
    for (const ContextPage& c : kContextPages)
        if (c.context == context) return PageUrl(c.page);
    return ContentsUrl();
}

QUrl THelpWindow::ContentsUrl() {
    return PageUrl("index.html");
}

QList<int> THelpWindow::Contexts() {
    QList<int> numbers;
    for (const ContextPage& c : kContextPages)
        numbers << c.context;
    return numbers;
}

void THelpWindow::AttachTo(QWidget* owner) {
    QWidget* current = parentWidget();
    if (!owner || owner == this || owner == current) return;
    if (current && !owner->isModal()) return;  // a non-modal window cannot block it
    // Where to go when this modal owner hides: the present owner, or for a first owner that is
    // a modal dialog, the window the dialog belongs to.
    if (owner->isModal()) {
        QWidget* back = current;
        if (!back && owner->parentWidget()) back = owner->parentWidget()->window();
        home_ = back;
    }
    MoveTo(owner);
}

void THelpWindow::MoveTo(QWidget* owner) {
    if (QWidget* old = parentWidget()) old->removeEventFilter(this);
    const bool open = !isHidden();
    const QRect area = geometry();
    const bool placed = open || testAttribute(Qt::WA_Moved);
    setParent(owner, windowFlags());  // hides the window and forgets where it stood
    if (placed) setGeometry(area);
    if (owner && owner->isModal()) owner->installEventFilter(this);
    // A window the user has open stays open; the parent's hide that brought us here is still
    // under way, so it is shown again once that is over.
    if (open) QTimer::singleShot(0, this, [this] { show(); });
}

void THelpWindow::CentreOn(const QWidget* owner) {
    const QWidget* over = owner ? owner->window() : nullptr;
    const QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect room = screen->availableGeometry();
    resize(QSize(1000, 700).boundedTo(room.size() * 9 / 10));
    const QRect target = over && over->isVisible() ? over->frameGeometry() : room;
    QRect area(QPoint(), frameGeometry().size());
    area.moveCenter(target.center());
    // Never partly off the screen, whatever the owner's position.
    area.moveLeft(
        std::clamp(area.left(), room.left(), std::max(room.left(), room.right() - area.width())));
    area.moveTop(
        std::clamp(area.top(), room.top(), std::max(room.top(), room.bottom() - area.height())));
    move(area.topLeft());
}

bool THelpWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Hide && !event->spontaneous()) {
        QWidget* back = home_;
        home_ = nullptr;
        if (back) {
            MoveTo(back);
            // Back with a window that is modal itself (one dialog opened from another): find
            // its own way back when it hides in turn.
            if (back->isModal() && back->parentWidget()) home_ = back->parentWidget()->window();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ShowHelpContext(QWidget* parent, int context) {
    QWidget* owner = parent ? parent->window() : nullptr;
    QPointer<THelpWindow>& window = Instance();
    if (!window) {
        // Made without a parent, so that AttachTo sees a first owner that is modal.
        window = new THelpWindow;
        // Without an owner nothing would free it.
        if (!owner && qApp)
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, window, &QObject::deleteLater);
    }
    window->AttachTo(owner);
    // The first time over the window it helps with; after that where the user left it.
    if (window->isHidden() && !window->testAttribute(Qt::WA_Moved)) window->CentreOn(owner);
    window->ShowContext(context);
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

THelpWindow* HelpWindowInstance() {
    return Instance();
}

void InstallHelpKey(QWidget* window, std::function<int()> context) {
    auto* key = new QShortcut(QKeySequence(Qt::Key_F1), window);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window, [window, context = std::move(context)] {
        ShowHelpContext(window, context());
    });
}

void InstallHelpKey(QWidget* window, int context) {
    InstallHelpKey(window, [context] { return context; });
}

}  // namespace lectorix
