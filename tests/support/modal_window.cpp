#include "support/modal_window.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace lectorix::test {
namespace {

// Sees every window that is shown modally and answers it once its own loop runs.
class ModalWatcher : public QObject {
  public:
    explicit ModalWatcher(const std::function<bool(QWidget&)>& answer) : answer_(answer) {
        qApp->installEventFilter(this);
    }
    ~ModalWatcher() override { qApp->removeEventFilter(this); }
    int answered = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
        auto* window = static_cast<QWidget*>(watched);
        if (!window->isWindow() || !window->isModal()) return false;
        // exec() shows the window before its loop starts: the answer waits for the loop.
        const QPointer<QWidget> alive(window);
        QTimer::singleShot(0, this, [this, alive] {
            if (!alive || !alive->isVisible()) return;
            if (answer_(*alive)) ++answered;
            if (!alive || !alive->isVisible()) return;
            if (auto* dialog = qobject_cast<QDialog*>(alive.data())) {
                dialog->reject();
            } else {
                alive->close();
            }
        });
        return false;
    }

  private:
    const std::function<bool(QWidget&)>& answer_;
};

}  // namespace

int AnswerModalWindows(const std::function<void()>& open,
                       const std::function<bool(QWidget& window)>& answer) {
    ModalWatcher watcher(answer);
    open();
    return watcher.answered;
}

}  // namespace lectorix::test
