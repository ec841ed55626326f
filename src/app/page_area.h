// The area the page is drawn on, right of the contents panel: copies the painter's composed page
// over a black ground and passes the pointer's moves and its own size changes to the window.
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

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    TFormBook& form_;
};

}  // namespace lectorix
