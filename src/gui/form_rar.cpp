#include "gui/form_rar.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <algorithm>

#include "gui/dialogs.h"

namespace lectorix {
namespace {

constexpr double kPumpEveryMs = 30;  // often enough to look alive, rare enough to cost nothing
constexpr int kWidth = 176;
constexpr int kHeight = 68;
constexpr int kBarMargin = 8;

}  // namespace

TFormRAR::TFormRAR(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("FormRAR"));
    setModal(true);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    SetCaption(QString());
}

void TFormRAR::SetCaption(const QString& caption) {
    setWindowTitle(caption);
    // The small window would show "Загр..." of its caption.
    const int width = std::max(kWidth, TitleWidth(*this, caption));
    setFixedSize(width, kHeight);
    ProgressBar1->setGeometry(kBarMargin, 22, width - 2 * kBarMargin, 20);
}

ProgressWindow::ProgressWindow(QWidget* parent, MsClock clock)
    : parent_(parent), clock_(std::move(clock)) {}

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

void ProgressWindow::ShowProgressWindow(int maximum, const QString& caption) {
    maximum_ = maximum > 0 ? maximum : 100;
    caption_ = caption;
    if (form_) {
        form_->SetCaption(caption_);
        form_->ProgressBar1->setRange(0, maximum_);
        form_->ProgressBar1->setValue(0);
        Centre();
    }
    if (!active_) started_ = lastPump_ = clock_();
    active_ = true;
}

void ProgressWindow::SetProgress(int position) {
    if (!active_) return;
    const double now = clock_();
    const bool appearing = !form_;
    if (!form_) {
        if (now - started_ < kShowAfterMs) return;
        form_ = std::make_unique<TFormRAR>(parent_);
        form_->SetCaption(caption_);
        form_->ProgressBar1->setRange(0, maximum_);
        form_->show();
        Centre();
    }
    form_->ProgressBar1->setValue(std::clamp(position, 0, maximum_));
    // Drawn and shown as often as the screen needs it, not at every step: a book of a hundred
    // thousand chapters reports each one.
    if (appearing || now - lastPump_ >= kPumpEveryMs) {
        lastPump_ = now;
        form_->ProgressBar1->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
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
    const bool hadKeyboard = form_ && form_->isActiveWindow();
    form_.reset();
    active_ = false;
    if (hadKeyboard && parent_ && parent_->window()->isVisible())
        parent_->window()->activateWindow();
}

}  // namespace lectorix
