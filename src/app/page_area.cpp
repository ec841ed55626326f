#include "app/page_area.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "app/form_book.h"
#include "book/text_helpers.h"

namespace lectorix {

PageArea::PageArea(TFormBook& form) : QWidget(&form), form_(form) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

QPoint PageArea::PageOrigin() const {
    const int x = static_cast<int>(RoundHalfEven(width() / 2.0 - form_.Painter().PageWidth / 2.0));
    return {std::max(0, x), kPageTop};
}

// The page shows neither the focus nor the window's activation. Qt's own handling of both
// repaints the whole area; sent to the X server, that is megabytes for nothing, and the copy Qt
// keeps for sending stays as large as the largest such repaint for the rest of the run.
bool PageArea::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            return true;  // the area has no child widgets to pass it on to
        default:
            return QWidget::event(event);
    }
}

void PageArea::focusInEvent(QFocusEvent*) {}

void PageArea::focusOutEvent(QFocusEvent*) {}

void PageArea::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const PagePainter& painter = form_.Painter();
    const QPoint origin = PageOrigin();
    const QRect page(origin, QSize(painter.PageWidth, painter.PageHeight));
    // The black ground around the page; the page itself is copied over, never painted twice.
    for (const QRect& r : event->region()) {
        if (!page.contains(r)) {
            QRegion ground(r);
            ground -= page;
            for (const QRect& g : ground)
                p.fillRect(g, Qt::black);
        }
        painter.Draw(p, origin, r.translated(-origin));
    }
    // The text found: tinted as a marker pen would (black letters stay black) and framed.
    for (const QRect& r : form_.FoundShown()) {
        const QRect at = r.translated(origin);
        p.setCompositionMode(QPainter::CompositionMode_Multiply);
        p.fillRect(at, QColor(255, 236, 120));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(QPen(painter.Colors().Title, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(at.adjusted(-1, -1, 0, 0));
    }
    const QString speed = form_.SpeedShown();
    if (!speed.isEmpty()) {
        const QRect box = SpeedRect();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 40, 40));  // opaque: the page number under it must not show through
        p.drawRoundedRect(box, 6, 6);
        p.setPen(Qt::white);
        p.setFont(SpeedFont());
        p.drawText(box, Qt::AlignCenter, speed);
    }
}

QFont PageArea::SpeedFont() const {
    QFont f = font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.4);
    return f;
}

QRect PageArea::SpeedRect() const {
    const PagePainter& painter = form_.Painter();
    const QFontMetrics metrics(SpeedFont());
    // Room for the widest speed the keys reach in practice.
    const QSize size(metrics.horizontalAdvance(QStringLiteral("88888 зн/мин")) + 20,
                     metrics.height() + 8);
    const QPoint o = PageOrigin();
    const QPoint centre(o.x() + painter.PageWidth / 2,
                        o.y() + painter.PageHeight - painter.BottomMargin / 2);
    return QRect(centre - QPoint(size.width() / 2, size.height() / 2), size);
}

void PageArea::wheelEvent(QWheelEvent* event) {
    // While the shutters move the wheel does nothing: a page turned under them is lost reading.
    if (form_.Engine().Reading()) {
        wheelAngle_ = 0;
        event->accept();
        return;
    }
    wheelAngle_ += event->angleDelta().y();
    // One page per notch (120); a touch pad's small steps add up to one.
    for (; wheelAngle_ <= -120; wheelAngle_ += 120)
        if (form_.ActionPageNext->isEnabled()) form_.ActionPageNext->trigger();
    for (; wheelAngle_ >= 120; wheelAngle_ -= 120)
        if (form_.ActionPageBack->isEnabled()) form_.ActionPageBack->trigger();
    event->accept();
}

void PageArea::contextMenuEvent(QContextMenuEvent* event) {
    form_.ShowPageMenu(event->globalPos());
    event->accept();
}

void PageArea::mouseMoveEvent(QMouseEvent* event) {
    form_.Engine().FormMouseMove();
    QWidget::mouseMoveEvent(event);
}

void PageArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    form_.RefitPage();
}

}  // namespace lectorix
