// The small progress window of long loads: "Загрузка книги" while an archive is read,
// "Загрузка содержания" while a book's contents load.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

class QProgressBar;

namespace lectorix {

class TFormRAR : public QDialog {
    Q_OBJECT
  public:
    explicit TFormRAR(QWidget* parent = nullptr);
    // The caption, and a window wide enough that the frame shows it whole.
    void SetCaption(const QString& caption);
    QProgressBar* ProgressBar1;
};

// Shows TFormRAR for a load that runs on the user-interface thread. The window appears only
// once the load has lasted kShowAfterMs, so quick loads flash nothing; every step repaints it
// and lets the screen repaint, while the user's input waits until the load is over.
class ProgressWindow {
  public:
    static constexpr double kShowAfterMs = 150;

    // Milliseconds on a monotonic clock; tests hand in their own.
    using MsClock = std::function<double()>;
    explicit ProgressWindow(QWidget* parent, MsClock clock = SteadyMs());
    static MsClock SteadyMs();
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    void ShowProgressWindow(int maximum, const QString& caption);
    void SetProgress(int position);
    void CloseProgressWindow();

    // The window while it is up (tests look at it), else null.
    TFormRAR* Window() const { return form_.get(); }

  private:
    void Centre();

    QWidget* parent_;
    MsClock clock_;
    std::unique_ptr<TFormRAR> form_;
    QString caption_;
    int maximum_ = 100;
    double started_ = 0;
    double lastPump_ = 0;
    bool active_ = false;
};

}  // namespace lectorix
