#include "app/page_area.h"

#include <QPaintEvent>
#include <QPainter>
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
        painter.DrawComposed(p, origin, r.translated(-origin));
    }
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
