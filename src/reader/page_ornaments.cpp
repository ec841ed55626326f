#include "reader/page_ornaments.h"

#include <QPainter>
#include <QPainterPath>

namespace lectorix {
namespace {

QImage Canvas(int width, int height, qreal dpr) {
    QImage image(qRound(width * dpr), qRound(height * dpr), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

// A top-left corner: a double rule along both edges that ends in a small curl, and a diamond
// where the rules meet. The other corners are its mirror images.
QImage CornerImage(int position, const QColor& ink, qreal dpr) {
    QImage image = Canvas(kCornerSize, kCornerSize, dpr);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = kCornerSize;
    QTransform mirror;
    switch (position) {
        case 1:  // top right
            mirror = QTransform(-1, 0, 0, 1, s, 0);
            break;
        case 2:  // bottom right
            mirror = QTransform(-1, 0, 0, -1, s, s);
            break;
        case 3:  // bottom left
            mirror = QTransform(1, 0, 0, -1, 0, s);
            break;
        default:
            break;
    }
    p.setTransform(mirror);
    p.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath outer;
    outer.moveTo(2.5, 25.5);
    outer.lineTo(2.5, 2.5);
    outer.lineTo(25.5, 2.5);
    p.drawPath(outer);
    QPainterPath inner;
    inner.moveTo(6.5, 19);
    inner.lineTo(6.5, 6.5);
    inner.lineTo(19, 6.5);
    p.drawPath(inner);
    // Curls at the ends of the inner rule.
    p.drawArc(QRectF(6.5, 17, 5, 5), 180 * 16, 200 * 16);
    p.drawArc(QRectF(17, 6.5, 5, 5), 90 * 16, 200 * 16);
    // The diamond.
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPolygonF diamond;
    diamond << QPointF(11.5, 8.5) << QPointF(14.5, 11.5) << QPointF(11.5, 14.5)
            << QPointF(8.5, 11.5);
    p.drawPolygon(diamond);
    return image;
}

// A rule broken by a diamond in the middle, with a dot at each end.
QImage ChapterEndImage(const QColor& ink, qreal dpr) {
    QImage image = Canvas(kChapterEndWidth, kChapterEndHeight, dpr);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal mid = kChapterEndHeight / 2.0;
    const qreal centre = kChapterEndWidth / 2.0;
    p.setPen(QPen(ink, 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, mid), QPointF(centre - 8, mid));
    p.drawLine(QPointF(centre + 8, mid), QPointF(kChapterEndWidth - 8, mid));
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPolygonF diamond;
    diamond << QPointF(centre, mid - 4.5) << QPointF(centre + 4.5, mid)
            << QPointF(centre, mid + 4.5) << QPointF(centre - 4.5, mid);
    p.drawPolygon(diamond);
    p.drawEllipse(QPointF(4, mid), 1.8, 1.8);
    p.drawEllipse(QPointF(kChapterEndWidth - 4, mid), 1.8, 1.8);
    return image;
}

}  // namespace

void PageOrnaments::Render(qreal devicePixelRatio, const QColor& ink, const QColor& shutterInk) {
    if (devicePixelRatio == dpr_ && ink == ink_ && shutterInk == shutterInk_) return;
    dpr_ = devicePixelRatio;
    ink_ = ink;
    shutterInk_ = shutterInk;
    const QColor spare((ink.red() + shutterInk.red()) / 2, (ink.green() + shutterInk.green()) / 2,
                       (ink.blue() + shutterInk.blue()) / 2);
    const QColor inks[3] = {ink, spare, shutterInk};
    for (int k = 0; k < 12; ++k)
        corners_[static_cast<size_t>(k)] = CornerImage(k % 4, inks[k / 4], dpr_);
    chapterEnds_[0] = ChapterEndImage(inks[0], dpr_);
    chapterEnds_[1] = ChapterEndImage(inks[2], dpr_);
}

}  // namespace lectorix
