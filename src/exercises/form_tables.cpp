#include "exercises/form_tables.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QWheelEvent>
#include <bit>
#include <chrono>

#include "gui/help_window.h"

namespace lectorix {

namespace {

const QColor kGreenPoint(0, 108, 0);
const QColor kTwoZone(2, 38, 5);
const QColor kStatusText(128, 128, 128);
constexpr int kStatusHeight = 25;
constexpr int kLabelTimeW = 18, kLabelTimeH = 16;
constexpr int kPointerRestMs = 100;

double SteadyMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QRect ToQRect(const TableRect& r) {
    return {r.X, r.Y, r.W, r.H};
}

// Labels and shapes let the mouse through, so the window sees every move and turn of the wheel.
void PassMouse(QWidget* w) {
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
}

}  // namespace

const QColor TFormTables::CellTextColor(104, 137, 99);
const QColor TFormTables::CellPenColor(89, 117, 85);

TShape::TShape(QWidget* parent, bool rounded) : QWidget(parent), rounded_(rounded) {
    PassMouse(this);
}

void TShape::SetPen(const QColor& color) {
    pen_ = color;
    update();
}

void TShape::SetBrush(const QColor& color) {
    brush_ = color;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // A one-pixel outline on the outermost pixels, as neighbouring cells share it.
    p.setPen(pen_.isValid() ? QPen(pen_, 0) : QPen(Qt::NoPen));
    p.setBrush(brush_.isValid() ? QBrush(brush_) : QBrush(Qt::NoBrush));
    const QRect r(0, 0, width() - (pen_.isValid() ? 1 : 0), height() - (pen_.isValid() ? 1 : 0));
    if (rounded_) {
        p.setRenderHint(QPainter::Antialiasing);
        const qreal radius = std::min(width(), height()) / 8.0;
        p.drawRoundedRect(r, radius, radius);
    } else {
        p.drawRect(r);
    }
}

TFormTables::TFormTables(QWidget* parent, RandomGenerator& random, MsClock clock)
    : QDialog(parent), random_(random), clock_(clock ? std::move(clock) : MsClock(SteadyMs)) {
    setObjectName(QStringLiteral("FormTables"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QString::fromStdString(TableCaption("")));
    setMouseTracking(true);

    LabelStatistic = new QLabel(this);
    LabelStatistic->setObjectName(QStringLiteral("LabelStatistic"));
    LabelStatistic->setAlignment(Qt::AlignCenter);
    QFont status(QStringLiteral("MS Sans Serif"));
    status.setStyleHint(QFont::SansSerif);
    LabelStatistic->setFont(status);
    PassMouse(LabelStatistic);

    ShapeTwoZone = new TShape(this, true);
    ShapeTwoZone->hide();
    ShapeGreenPoint = new TShape(this, true);
    ShapeGreenPoint->SetPen(kGreenPoint);
    ShapeGreenPoint->SetBrush(kGreenPoint);
    LabelTime = new QLabel(this);
    LabelTime->setObjectName(QStringLiteral("LabelTime"));
    LabelTime->setAlignment(Qt::AlignCenter);
    LabelTime->resize(kLabelTimeW, kLabelTimeH);
    QFont arial(QStringLiteral("Arial"));
    arial.setStyleHint(QFont::SansSerif);
    LabelTime->setFont(arial);
    PassMouse(LabelTime);

    QFont numbers(QStringLiteral("Bookman Old Style"));
    numbers.setStyleHint(QFont::Serif);
    QPalette text = palette();
    text.setColor(QPalette::WindowText, CellTextColor);
    for (int i = 0; i < kTableCells; ++i)
        for (int j = 0; j < kTableCells; ++j) {
            CellShapes[i][j] = new TShape(this, false);
            CellShapes[i][j]->SetPen(CellPenColor);
            QLabel* label = CellLabels[i][j] = new QLabel(this);
            label->setAlignment(Qt::AlignCenter);
            label->setFont(numbers);
            label->setPalette(text);
            PassMouse(label);
        }

    PopupMenu1 = new QMenu(this);
    ItemRenew = PopupMenu1->addAction(QStringLiteral("Обновить  (Enter, Пробел)"));
    PopupMenu1->addSeparator();
    ItemClose = PopupMenu1->addAction(QStringLiteral("Закрыть (Esc)"));
    connect(ItemRenew, &QAction::triggered, this, [this] { BitBtn1Click(NewTableCause::User); });
    connect(ItemClose, &QAction::triggered, this, [this] { BitBtnExitClick(); });

    Timer1.setInterval(100);
    Timer2.setInterval(1000);
    Timer2.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(&Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });

    InstallHelpKey(this, help_context::kTables);
    LayoutTable(kOpeningTableSize);
}

void TFormTables::paintEvent(QPaintEvent*) {
    // Black here rather than in the palette, which the menu would take on too.
    QPainter(this).fillRect(rect(), Qt::black);
}

void TFormTables::ShowTableExercise(int readingFontSize) {
    QFont font = LabelTime->font();
    font.setPointSize(std::max(1, readingFontSize / 2));
    LabelTime->setFont(font);
    tableSize_ = kOpeningTableSize;
    LayoutTable(tableSize_);
    Timer1.start();
    Timer2.start();
    BitBtn1Click(NewTableCause::Opening);
    setWindowState(windowState() | Qt::WindowMaximized);
    exec();
    Timer1.stop();
    Timer2.stop();
}

void TFormTables::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormActivate();
}

void TFormTables::FormActivate() {
    timer_.Start(clock_());
    BitBtn1Click(NewTableCause::Opening);
}

void TFormTables::BitBtn1Click(NewTableCause cause) {
    const double now = clock_();
    LabelTime->setText(QStringLiteral("0"));
    ShapeTwoZone->SetBrush(kTwoZone);
    QPalette status = LabelStatistic->palette();
    status.setColor(QPalette::WindowText, kStatusText);
    LabelStatistic->setPalette(status);

    const double elapsed = timer_.ElapsedMs(now);
    const bool finished = timer_.Finished(now, cause);
    const std::string report = TableReport(elapsed);
    setWindowTitle(QString::fromStdString(TableCaption(report)));
    LabelStatistic->setText(QString::fromStdString(TableStatusLine(report)));

    // Seeded from the clock at every table, as the exercise always did.
    random_.Seed(std::bit_cast<std::uint64_t>(now));
    ShuffleTable(numbers_, [this](int n) { return static_cast<int>(random_.Uniform(n)); });
    for (int i = 0; i < kTableCells; ++i)
        for (int j = 0; j < kTableCells; ++j)
            if (i != kTableCentre || j != kTableCentre)
                CellLabels[i][j]->setText(QString::fromStdString(numbers_[i][j]));

    timer_.Start(now);
    // The counter counts from the table, not from whenever the timer last fired.
    if (Timer2.isActive()) Timer2.start();
    if (finished && OnTableFinished) OnTableFinished(elapsed / 1000);
}

void TFormTables::LayoutTable(int size) {
    if (!lectorix::LayoutTable(size, width(), height(), LabelTime->width(), LabelTime->height(),
                               tableSize_, layout_))
        return;
    ApplyLayout();
}

void TFormTables::ApplyLayout() {
    LabelStatistic->setGeometry(0, 0, width(), kStatusHeight);
    for (int i = 0; i < kTableCells; ++i)
        for (int j = 0; j < kTableCells; ++j) {
            const QRect cell = ToQRect(layout_.Cell(i, j));
            CellShapes[i][j]->setGeometry(cell);
            QLabel* label = CellLabels[i][j];
            label->setGeometry(cell);
            QFont font = label->font();
            font.setPointSize(std::max(1, layout_.FontPoints));
            label->setFont(font);
            label->setText(QString::fromStdString(numbers_[i][j]));
        }
    CellLabels[kTableCentre][kTableCentre]->clear();
    ShapeGreenPoint->setGeometry(ToQRect(layout_.GreenPoint));
    LabelTime->setGeometry(ToQRect(layout_.LabelTime));
    ShapeTwoZone->setGeometry(ToQRect(layout_.TwoZone));
    update();
}

void TFormTables::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Laid out before the window had its full size: again at the size kept.
    LayoutTable(tableSize_);
}

void TFormTables::Timer1Timer() {
    const double now = clock_();
    if (now - lastMoveMs_ >= kPointerRestMs) setCursor(Qt::BlankCursor);
    if (timer_.LimitReached(now)) BitBtn1Click(NewTableCause::Limit);
}

void TFormTables::Timer2Timer() {
    LabelTime->setText(QString::number(timer_.WholeSeconds(clock_())));
}

bool TFormTables::PointerHidden() const {
    return testAttribute(Qt::WA_SetCursor) && cursor().shape() == Qt::BlankCursor;
}

void TFormTables::FormMouseMove() {
    lastMoveMs_ = clock_();
    setCursor(Qt::ArrowCursor);
    // Hidden 100 ms after the last move rather than at the next 100 ms tick after that.
    QTimer::singleShot(kPointerRestMs, this, [this] {
        if (clock_() - lastMoveMs_ >= kPointerRestMs) setCursor(Qt::BlankCursor);
    });
}

void TFormTables::mouseMoveEvent(QMouseEvent* event) {
    FormMouseMove();
    QDialog::mouseMoveEvent(event);
}

void TFormTables::keyPressEvent(QKeyEvent* event) {
    // The keys act on release; the dialog would close on Esc's press and accept on Enter's.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
        case Qt::Key_Escape:
        case Qt::Key_Up:
        case Qt::Key_Down:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void TFormTables::keyReleaseEvent(QKeyEvent* event) {
    const bool repeat = event->isAutoRepeat();
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            // A key held down renews one table, not one for every repeat.
            if (!repeat) BitBtn1Click(NewTableCause::User);
            break;
        case Qt::Key_Escape:
            if (!repeat) BitBtnExitClick();
            break;
        case Qt::Key_Up:
            LayoutTable(tableSize_ - 1);
            break;
        case Qt::Key_Down:
            LayoutTable(tableSize_ + 1);
            break;
        default:
            QDialog::keyReleaseEvent(event);
            return;
    }
    event->accept();
}

void TFormTables::wheelEvent(QWheelEvent* event) {
    // A notch is 120; touch pads send it in small parts.
    wheelDelta_ += event->angleDelta().y();
    while (wheelDelta_ <= -120) {
        wheelDelta_ += 120;
        LayoutTable(tableSize_ - 1);
    }
    while (wheelDelta_ >= 120) {
        wheelDelta_ -= 120;
        LayoutTable(tableSize_ + 1);
    }
    event->accept();
}

void TFormTables::contextMenuEvent(QContextMenuEvent* event) {
    setCursor(Qt::ArrowCursor);
    PopupMenu1->exec(event->globalPos());
}

}  // namespace lectorix
