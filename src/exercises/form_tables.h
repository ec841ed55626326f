// The table exercise "Упражнение таблицы Тарвина": a 5 x 5 table of 1 to 24 around a green point,
// full screen, renewed by the user or after a minute.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>

#include "exercises/random_generator.h"
#include "exercises/table_exercise.h"

class QLabel;
class QMenu;
class QAction;

namespace lectorix {

// A rectangle or rounded rectangle, outlined and optionally filled.
class TShape : public QWidget {
  public:
    explicit TShape(QWidget* parent, bool rounded);
    void SetPen(const QColor& color);    // an invalid colour: no outline
    void SetBrush(const QColor& color);  // an invalid colour: not filled
    QColor Pen() const { return pen_; }
    QColor Brush() const { return brush_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool rounded_;
    QColor pen_, brush_;
};

class TFormTables : public QDialog {
    Q_OBJECT

  public:
    // The window's clock in milliseconds; only differences of it are used. The system's
    // monotonic clock when none is given.
    using MsClock = std::function<double()>;
    // `random` is the program's generator, seeded from the clock at every new table.
    TFormTables(QWidget* parent, RandomGenerator& random, MsClock clock = {});

    // Opens the exercise at size 8 with a fresh table and returns when it is closed. The seconds
    // counter is drawn at half the reading font's size.
    void ShowTableExercise(int readingFontSize);

    // A table the user finished within the minute, with its seconds.
    std::function<void(double seconds)> OnTableFinished;

    // New table (Enter, Space, the menu, the minute, opening).
    void BitBtn1Click(NewTableCause cause = NewTableCause::User);
    void BitBtnExitClick() { close(); }
    // Lays the table out for a size; outside 5 to 20 the size stays at the bound and nothing moves.
    void LayoutTable(int size);
    // Every 100 ms: the pointer hidden once the mouse has rested 100 ms, the minute's table.
    void Timer1Timer();
    // Every second: the seconds counter.
    void Timer2Timer();
    // The window shown: the clock restarts with a new table.
    void FormActivate();

    int TableSize() const { return tableSize_; }
    const TableNumbers& CellNumbers() const { return numbers_; }
    const TableLayout& Layout() const { return layout_; }
    bool PointerHidden() const;

    QLabel* LabelStatistic = nullptr;
    QLabel* LabelTime = nullptr;
    TShape* ShapeGreenPoint = nullptr;
    TShape* ShapeTwoZone = nullptr;
    std::array<std::array<QLabel*, kTableCells>, kTableCells> CellLabels{};
    std::array<std::array<TShape*, kTableCells>, kTableCells> CellShapes{};
    QTimer Timer1, Timer2;
    QMenu* PopupMenu1 = nullptr;
    QAction *ItemRenew = nullptr, *ItemClose = nullptr;

    static const QColor CellTextColor;
    static const QColor CellPenColor;

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void FormMouseMove();
    void ApplyLayout();

    RandomGenerator& random_;
    MsClock clock_;
    TableNumbers numbers_ = InitialTableNumbers();
    TableTimer timer_;
    int tableSize_ = kOpeningTableSize;
    TableLayout layout_;
    double lastMoveMs_ = 0;
    int wheelDelta_ = 0;  // eighths of a degree not yet turned into a step
};

}  // namespace lectorix
