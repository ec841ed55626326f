// The reading window: the page, the reading actions and their keys, the status line.
#pragma once

#include <QMainWindow>
#include <QWidget>
#include <map>
#include <memory>

#include "reader/clock.h"
#include "reader/page_painter.h"
#include "reader/reader_view.h"
#include "reader/reading_engine.h"

class QAction;
class QTreeWidget;
class QTreeWidgetItem;
class QSplitter;

namespace lectorix {

class TQvlThreadTimer;
class TFormBook;

// The area the page is drawn on, right of the contents panel.
class PageArea : public QWidget {
  public:
    explicit PageArea(TFormBook& form);
    QPoint PageOrigin() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    TFormBook& form_;
};

class TFormBook : public QMainWindow, public ReaderView {
  public:
    explicit TFormBook(QWidget* parent = nullptr);
    ~TFormBook() override;

    // Opens a file; shows a message and keeps the current text when it cannot be read.
    bool OpenFile(const QString& path);
    void OpenText(std::string cp1251);

    ReadingEngine& Engine() { return engine_; }
    PagePainter& Painter() { return painter_; }
    TQvlThreadTimer& QvlThreadTimer1() { return *timer_; }
    QAction* Action(ReaderAction a) const { return actions_.at(a); }
    QAction* ActionSpeedBeack = nullptr;
    QAction* ActionSpeedNext = nullptr;
    PageArea* Area() const { return area_; }
    QTreeWidget* TreeView1 = nullptr;  // the contents of a book
    QWidget* Panel1 = nullptr;         // the contents panel

    // ReaderView
    void SetCaption(const std::string& utf8) override;
    void SetActionEnabled(ReaderAction action, bool enabled) override;
    void SetActionShortcut(ReaderAction action, bool on) override;
    void SetActionChecked(ReaderAction action, bool checked) override;
    void PreparePageLines() override;
    void PaintPage(bool full) override;
    void SetPointerHidden(bool hidden) override;
    void SetClockEnabled(bool enabled) override;
    void SetClockInterval(double ms) override;
    double ClockInterval() const override;
    void PostToUi(std::function<void()> call) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateActions();
    void CreateContentsPanel();
    void FillContents();
    void TreeView1Click(QTreeWidgetItem* item);
    void ApplyDisplaySettings();

    SteadyClock clock_;
    ReadingEngine engine_;
    PagePainter painter_;
    std::unique_ptr<TQvlThreadTimer> timer_;
    std::map<ReaderAction, QAction*> actions_;
    PageArea* area_ = nullptr;
    QSplitter* Splitter1 = nullptr;
};

// The built-in welcome book, shown when no file is given.
std::string WelcomeText();

}  // namespace lectorix
