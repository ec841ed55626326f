#include "app/form_about.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "gui/help_window.h"
#include "gui/program_icon.h"

namespace lectorix {
namespace {

const QColor kNavy(0, 0, 128);
const QColor kHover(0, 0, 255);
const QColor kBackground(246, 248, 244);
const QColor kSplashEdge(120, 140, 116);

void SetTextColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QLabel* MakeLink(QWidget* parent, const char* name, const char* address) {
    auto* label = new QLabel(QString::fromLatin1(address), parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    SetTextColor(label, kNavy);
    label->setCursor(Qt::PointingHandCursor);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return label;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* parent)
    : QDialog(parent),
      OpenUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      RxLabel1(MakeLink(this, "RxLabel1", kProgramSite)),
      RxLabel2(MakeLink(this, "RxLabel2", kLibrarySite)),
      OKButton(new QPushButton(QStringLiteral("OK"), this)),
      LabelLoading(new QLabel(QStringLiteral("Загрузка программы ..."), this)) {
    setWindowTitle(QStringLiteral("О программе"));
    setWindowIcon(ProgramIcon());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackground);
    setPalette(palette);
    setAutoFillBackground(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(64, 64));
    icon->setFixedSize(64, 64);

    auto* product = new QLabel(QStringLiteral("обучение скорочтению"), this);
    QFont productFont = product->font();
    productFont.setBold(true);
    productFont.setPointSizeF(productFont.pointSizeF() * 1.35);
    product->setFont(productFont);
    SetTextColor(product, kNavy);

    auto* version = new QLabel(QStringLiteral("Версия 2.2.0.1"), this);
    auto* library = new QLabel(QStringLiteral("Библиотека"), this);

    for (QLabel* link : {RxLabel1, RxLabel2})
        link->installEventFilter(this);

    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    OKButton->setMinimumWidth(88);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    LabelLoading->setObjectName(QStringLiteral("LabelLoading"));

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(product);
    texts->addWidget(version);
    texts->addSpacing(14);
    texts->addWidget(RxLabel1);
    texts->addSpacing(14);
    texts->addWidget(library);
    texts->addWidget(RxLabel2);
    texts->addStretch(1);

    auto* top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(LabelLoading);
    bottom->addStretch(1);
    bottom->addWidget(OKButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 18);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);

    setFixedSize(sizeHint().expandedTo(QSize(380, 260)));
    InstallHelpKey(this, help_context::kAbout);
}

void TFormAbout::CenterOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TFormAbout::ShowAsSplash() {
    OKButton->hide();
    LabelLoading->show();
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    CenterOnScreen();
    show();
    // The program is about to be busy building its main window: wait (a second at most) until
    // the window system has mapped the splash, then paint it at once. The wait wakes with the
    // window system's events, so it lasts no longer than the mapping does.
    QElapsedTimer waited;
    waited.start();
    QTimer wake;
    wake.start(50);
    while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < 1000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    repaint();
    QApplication::processEvents();
}

int TFormAbout::ShowAbout() {
    LabelLoading->hide();
    OKButton->show();
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    CenterOnScreen();
    OKButton->setFocus();
    return exec();
}

void TFormAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // Without the window manager's border the light splash would melt into a light desktop.
    if (windowFlags() & Qt::FramelessWindowHint) {
        QPainter painter(this);
        painter.setPen(kSplashEdge);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event) {
    QLabel* link = watched == RxLabel1 ? RxLabel1 : watched == RxLabel2 ? RxLabel2 : nullptr;
    if (!link) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::Enter:
            SetTextColor(link, kHover);
            break;
        case QEvent::Leave:
            SetTextColor(link, kNavy);
            break;
        case QEvent::MouseButtonPress:
            return true;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            // Letting go outside the label takes the click back, as with a button.
            if (mouse->button() == Qt::LeftButton &&
                link->rect().contains(mouse->position().toPoint()) && OpenUrl)
                OpenUrl(QUrl(link->text()));
            return true;
        }
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace lectorix
