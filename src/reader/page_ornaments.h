// The page's decorations: twelve corner images (28 x 28) and two chapter-end images (88 x 10),
// drawn as vector shapes at the screen's pixel ratio so they stay crisp on high-density screens.
#pragma once

#include <QColor>
#include <QImage>
#include <array>

namespace lectorix {

inline constexpr int kCornerSize = 28;
inline constexpr int kCornerInset = 3;  // from the page's left and top edges
inline constexpr int kChapterEndWidth = 88;
inline constexpr int kChapterEndHeight = 10;

class PageOrnaments {
  public:
    // Images 0-3 belong to the text page, 8-11 to the shutter page (top-left, top-right,
    // bottom-right, bottom-left); 4-7 are a spare set. Chapter end 0 is the text page's, 1 the
    // shutter page's. Transparent where the page shows through. Drawn in `ink` on the page and
    // `shutterInk` on the shutters; the spare set in between.
    void Render(qreal devicePixelRatio, const QColor& ink, const QColor& shutterInk);
    const QImage& Corner(int k) const { return corners_.at(static_cast<size_t>(k)); }
    const QImage& ChapterEnd(int k) const { return chapterEnds_.at(static_cast<size_t>(k)); }
    qreal DevicePixelRatio() const { return dpr_; }

  private:
    std::array<QImage, 12> corners_;
    std::array<QImage, 2> chapterEnds_;
    qreal dpr_ = 0;
    QColor ink_, shutterInk_;
};

}  // namespace lectorix
