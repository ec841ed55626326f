#include "gui/form_rar.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "gui/dialogs.h"

namespace lectorix {
namespace {

constexpr double kPumpEveryMs = 30;  // often enough to look alive, rare enough to cost nothing
constexpr int kPollMs = 30;          // how often the window's thread looks at a worker's share
constexpr int kWidth = 176;
constexpr int kHeight = 68;
constexpr int kBarMargin = 8;
constexpr int kBarHeight = 20;

}  // namespace

TFormRAR::TFormRAR(QWidget* parent, bool cancellable)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("FormRAR"));
    setModal(true);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    if (cancellable) {
        ButtonCancel = new QPushButton(QStringLiteral("Отмена"), this);
        ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
        // Enter is the reader's start key: pressed a moment too early it must not cancel.
        ButtonCancel->setAutoDefault(false);
        connect(ButtonCancel, &QPushButton::clicked, this, [this] { reject(); });
    }
    SetCaption(QString());
}

void TFormRAR::SetCaption(const QString& caption) {
    setWindowTitle(caption);
    // The small window would show "Загр..." of its caption.
    const int width = std::max(kWidth, TitleWidth(*this, caption));
    if (!ButtonCancel) {
        setFixedSize(width, kHeight);
        ProgressBar1->setGeometry(kBarMargin, 22, width - 2 * kBarMargin, kBarHeight);
        return;
    }
    const int top = 14;
    const QSize button = ButtonCancel->sizeHint().expandedTo(QSize(96, 0));
    const int buttonTop = top + kBarHeight + 10;
    setFixedSize(width, buttonTop + button.height() + 10);
    ProgressBar1->setGeometry(kBarMargin, top, width - 2 * kBarMargin, kBarHeight);
    ButtonCancel->setGeometry((width - button.width()) / 2, buttonTop, button.width(),
                              button.height());
}

void TFormRAR::reject() {
    if (OnCancel) OnCancel();
}

void TFormRAR::closeEvent(QCloseEvent* event) {
    event->ignore();
    reject();
}

ProgressWindow::ProgressWindow(QWidget* parent, MsClock clock, bool pumpEvents)
    : parent_(parent), clock_(std::move(clock)), pumpEvents_(pumpEvents) {}

ProgressWindow::MsClock ProgressWindow::SteadyMs() {
    return [] {
        static QElapsedTimer timer;
        if (!timer.isValid()) timer.start();
        return static_cast<double>(timer.nsecsElapsed()) / 1e6;
    };
}

ProgressWindow::~ProgressWindow() {
    CloseProgressWindow();
}

void ProgressWindow::SetRange() {
    // A maximum of 0 makes the bar run to and fro: the work tells no share.
    form_->ProgressBar1->setRange(0, maximum_);
    form_->ProgressBar1->setValue(0);
}

void ProgressWindow::ShowProgressWindow(int maximum, const QString& caption) {
    maximum_ = std::max(0, maximum);
    caption_ = caption;
    if (form_) {
        form_->SetCaption(caption_);
        SetRange();
        Centre();
    }
    if (!active_) started_ = lastPump_ = clock_();
    active_ = true;
}

void ProgressWindow::SetProgress(int position) {
    if (!active_ || cancelled_) return;
    const double now = clock_();
    const bool appearing = !form_;
    if (!form_) {
        if (now - started_ < kShowAfterMs) return;
        form_ = std::make_unique<TFormRAR>(parent_, cancellable_);
        form_->OnCancel = [this] { Cancel(); };
        form_->SetCaption(caption_);
        SetRange();
        form_->show();
        Centre();
    }
    if (maximum_ > 0) form_->ProgressBar1->setValue(std::clamp(position, 0, maximum_));
    if (!pumpEvents_) return;
    // Drawn and shown as often as the screen needs it, not at every step: a book of a hundred
    // thousand chapters reports each one.
    if (appearing || now - lastPump_ >= kPumpEveryMs) {
        lastPump_ = now;
        form_->ProgressBar1->repaint();
        // Once the window that can be cancelled is up it is modal, so the user's input reaches
        // only it: its button and Esc.
        QCoreApplication::processEvents(cancellable_ ? QEventLoop::AllEvents
                                                     : QEventLoop::ExcludeUserInputEvents);
    }
}

void ProgressWindow::Cancel() {
    if (cancelled_) return;
    cancelled_ = true;
    // Out of the way at once, though it goes only when the work has stopped.
    if (form_) form_->hide();
    if (OnCancel) OnCancel();
}

// Centred on the screen the program is on, once the frame is known.
void ProgressWindow::Centre() {
    QScreen* screen = parent_ ? parent_->screen() : QGuiApplication::primaryScreen();
    if (!screen || !form_) return;
    QRect r = form_->frameGeometry();
    r.moveCenter(screen->availableGeometry().center());
    form_->move(r.topLeft());
}

void ProgressWindow::CloseProgressWindow() {
    // The keyboard goes back to the window that waited: closing the window that had it leaves
    // it with nobody on some platforms, and the reader's keys would do nothing.
    const bool hadKeyboard = form_ && (form_->isActiveWindow() || cancelled_);
    form_.reset();
    active_ = false;
    if (hadKeyboard && parent_ && parent_->window()->isVisible())
        parent_->window()->activateWindow();
}

struct JobProgress::State {
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    QString caption;
    int done = 0;
    int total = 0;
};

void JobProgress::ThrowIfCancelled() const {
    if (state_.cancelled.load(std::memory_order_relaxed)) throw Cancelled{};
}

void JobProgress::Report(int done, int total) {
    ThrowIfCancelled();
    const std::lock_guard lock(state_.mutex);
    state_.done = done;
    state_.total = total;
}

void JobProgress::SetCaption(const QString& caption) {
    ThrowIfCancelled();
    const std::lock_guard lock(state_.mutex);
    state_.caption = caption;
    state_.done = state_.total = 0;
}

struct BackgroundJobs::Job {
    JobProgress::State state;
    std::atomic<bool> ended{false};
    std::exception_ptr error;  // written before `ended`, read after it
    std::thread thread;
    std::function<void()> wake;  // on the window's thread only: the Run waiting for the job
};

BackgroundJobs::BackgroundJobs(QWidget* parent, ProgressWindow::MsClock clock)
    : parent_(parent), clock_(std::move(clock)) {}

BackgroundJobs::~BackgroundJobs() {
    CancelAll();
    Reap(true);
}

void BackgroundJobs::CancelAll() {
    // A window cancelled leaves the list only when its Run returns.
    const std::vector<ProgressWindow*> waiting = waiting_;
    for (ProgressWindow* window : waiting)
        window->Cancel();
}

void BackgroundJobs::Reap(bool all) {
    std::erase_if(jobs_, [all](const std::shared_ptr<Job>& job) {
        if (all) job->state.cancelled = true;
        if (!all && !job->ended.load(std::memory_order_acquire)) return false;
        if (job->thread.joinable()) job->thread.join();
        return true;
    });
}

bool BackgroundJobs::Run(const QString& caption, std::function<void(JobProgress&)> work) {
    Reap(false);
    auto job = std::make_shared<Job>();
    job->state.caption = caption;

    ProgressWindow window(parent_, clock_, false);
    window.SetCancellable(true);
    window.ShowProgressWindow(0, caption);
    QEventLoop loop;
    bool quitByUs = false;
    const auto quit = [&] {
        quitByUs = true;
        loop.quit();
    };
    window.OnCancel = [&] {
        job->state.cancelled = true;
        quit();
    };
    job->wake = quit;
    waiting_.push_back(&window);
    struct Leave {
        BackgroundJobs& jobs;
        Job& job;
        ProgressWindow* window;
        ~Leave() {
            job.wake = nullptr;  // a wake-up still on its way finds nobody
            std::erase(jobs.waiting_, window);
        }
    } leave{*this, *job, &window};

    jobs_.push_back(job);
    job->thread = std::thread([job, work = std::move(work), context = &context_] {
        JobProgress progress(job->state);
        try {
            work(progress);
        } catch (const Cancelled&) {
        } catch (...) {
            job->error = std::current_exception();
        }
        job->ended.store(true, std::memory_order_release);
        QMetaObject::invokeMethod(
            context,
            [weak = std::weak_ptr<Job>(job)] {
                if (const auto j = weak.lock(); j && j->wake) j->wake();
            },
            Qt::QueuedConnection);
    });

    int maximum = 0;
    QString shownCaption = caption;
    QTimer poll;
    poll.setInterval(kPollMs);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        int done = 0, total = 0;
        QString now;
        {
            const std::lock_guard lock(job->state.mutex);
            done = job->state.done;
            total = job->state.total;
            now = job->state.caption;
        }
        if (total != maximum || now != shownCaption) {
            maximum = total;
            shownCaption = now;
            window.ShowProgressWindow(total, now);
        }
        const bool shown = window.Window() != nullptr;
        window.SetProgress(done);
        if (!shown && window.Window()) quit();  // from now on the window takes the user's input
    });
    poll.start();

    while (!job->ended.load(std::memory_order_acquire) && !job->state.cancelled) {
        quitByUs = false;
        loop.exec(window.Window() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        if (!quitByUs) job->state.cancelled = true;  // the application is quitting
    }
    if (job->state.cancelled) return false;
    if (job->error) std::rethrow_exception(job->error);
    return true;
}

}  // namespace lectorix
