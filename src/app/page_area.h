// The area the page is drawn on, right of the contents panel: has the painter draw the page
// over a black ground, shows a new speed over it for a moment, and passes the pointer's moves,
// the wheel, the right click and its own size changes to the window.
#pragma once

#include <QWidget>

namespace lectorix {

class TFormBook;

// The page's distance from the top of the area.
inline constexpr int kPageTop = 10;

class PageArea : public QWidget {
  public:
    explicit PageArea(TFormBook& form);
    QPoint PageOrigin() const;
    // Where a new speed is shown: over the middle of the page's bottom margin.
    QRect SpeedRect() const;

  protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    QFont SpeedFont() const;

    TFormBook& form_;
    int wheelAngle_ = 0;  // eighths of a degree not yet turned into a page
};

}  // namespace lectorix
