// The small progress window of long work: "Загрузка книги" while a file is read and converted,
// "Загрузка содержания" while a book's contents load, "Переход к странице" and "Поиск" while a
// jump walks the pages. Work that can be cancelled gets "Отмена" (and Esc).
#pragma once

#include <QDialog>
#include <QObject>
#include <QString>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QProgressBar;
class QPushButton;

namespace lectorix {

// Thrown out of a progress report once the user has cancelled, so the work stops where it is.
// No std::exception: nothing that catches errors on the way may take it for one.
struct Cancelled {};

class TFormRAR : public QDialog {
    Q_OBJECT
  public:
    // `cancellable`: with the button "Отмена"; it and Esc call OnCancel.
    explicit TFormRAR(QWidget* parent = nullptr, bool cancellable = false);
    // The caption, and a window wide enough that the frame shows it whole.
    void SetCaption(const QString& caption);
    QProgressBar* ProgressBar1;
    QPushButton* ButtonCancel = nullptr;  // null in a window that cannot be cancelled
    std::function<void()> OnCancel;

  protected:
    // Esc and the frame's close only ask the work to stop: the window goes when the work does.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
};

// Shows TFormRAR for a load. The window appears only once the load has lasted kShowAfterMs, so
// quick loads flash nothing.
class ProgressWindow {
  public:
    static constexpr double kShowAfterMs = 150;

    // Milliseconds on a monotonic clock; tests hand in their own.
    using MsClock = std::function<double()>;
    // `pumpEvents`: the work runs on this thread, so every step repaints the window and lets the
    // screen repaint (user input only once a cancellable window is up, which holds it for
    // itself). Work on another thread leaves that to the event loop.
    explicit ProgressWindow(QWidget* parent, MsClock clock = SteadyMs(), bool pumpEvents = true);
    static MsClock SteadyMs();
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // Before the window is shown: whether it offers "Отмена".
    void SetCancellable(bool cancellable) { cancellable_ = cancellable; }
    // A `maximum` of 0 or less: a bar that only shows that something goes on.
    void ShowProgressWindow(int maximum, const QString& caption);
    void SetProgress(int position);
    void CloseProgressWindow();
    // "Отмена", Esc, or the owner closing: the work is to stop at its next step.
    void Cancel();
    bool Cancelled() const { return cancelled_; }
    std::function<void()> OnCancel;

    // The window while it is up (tests look at it), else null.
    TFormRAR* Window() const { return form_.get(); }

  private:
    void Centre();
    void SetRange();

    QWidget* parent_;
    MsClock clock_;
    bool pumpEvents_;
    bool cancellable_ = false;
    bool cancelled_ = false;
    std::unique_ptr<TFormRAR> form_;
    QString caption_;
    int maximum_ = 100;
    double started_ = 0;
    double lastPump_ = 0;
    bool active_ = false;
};

// What work on a worker thread tells the window's thread. Every call throws Cancelled once the
// work has been cancelled, so the work stops at its next report.
class JobProgress {
  public:
    void Report(int done, int total);
    void SetCaption(const QString& caption);
    void ThrowIfCancelled() const;

  private:
    friend class BackgroundJobs;
    struct State;
    explicit JobProgress(State& state) : state_(state) {}
    State& state_;
};

// Runs work on worker threads while the window's thread goes on with its events: the window
// repaints and, once the work has lasted kShowAfterMs on the window's clock, the progress window
// with "Отмена" shows how far it has come. User input waits until then; afterwards the progress
// window, being modal, is the only window that takes it.
class BackgroundJobs {
  public:
    BackgroundJobs(QWidget* parent, ProgressWindow::MsClock clock);
    // Cancels every worker and waits for it to end.
    ~BackgroundJobs();
    BackgroundJobs(const BackgroundJobs&) = delete;
    BackgroundJobs& operator=(const BackgroundJobs&) = delete;

    // Runs `work` on a worker and returns once it has ended (true) or been cancelled (false): by
    // the user, by CancelAll, or by the application quitting. A cancelled worker is left to end
    // on its own (its next report stops it) and nothing of it reaches the caller, so whatever
    // `work` fills in must be owned by `work` itself. An exception `work` throws is thrown here.
    bool Run(const QString& caption, std::function<void(JobProgress&)> work);
    // Cancels the work of every Run still waiting (they return false).
    void CancelAll();
    bool Running() const { return !waiting_.empty(); }
    // The progress window of the work begun last while it runs, else null.
    ProgressWindow* Window() const { return waiting_.empty() ? nullptr : waiting_.back(); }

  private:
    struct Job;
    void Reap(bool all);

    QObject context_;  // the window's thread's end of the workers' wake-ups
    QWidget* parent_;
    ProgressWindow::MsClock clock_;
    std::vector<std::shared_ptr<Job>> jobs_;  // every worker not joined yet
    std::vector<ProgressWindow*> waiting_;    // the windows of the Runs on the stack
};

}  // namespace lectorix
