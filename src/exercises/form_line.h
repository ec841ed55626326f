// The word exercise: words of the dictionary flashed full screen, singly or building columns and
// herringbones, each for the time its characters take at the set speed.
#pragma once

#include <QDialog>
#include <QSpinBox>
#include <memory>

#include "exercises/random_generator.h"
#include "exercises/word_columns.h"
#include "exercises/word_dictionary.h"

class QAction;
class QLabel;
class QMenu;
class QRadioButton;
class QGroupBox;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace lectorix {

class TQvlThreadTimer;

// A spin edit whose value changes only through its buttons (and the arrow keys and wheel).
class TRxSpinEdit : public QSpinBox {
  public:
    TRxSpinEdit(QWidget* parent, int min, int max, int step, int value);
};

class TFormLine : public QDialog {
    Q_OBJECT

  public:
    // Words are drawn from `random`, the program's generator, without seeding it.
    TFormLine(QWidget* parent, RandomGenerator& random);
    ~TFormLine() override;

    // Shows the exercise modally on the built-in dictionary, the words in the reading font's
    // size and weight, and returns when it is closed.
    void ShowWordExercise(int readingFontSize, bool readingFontBold);

    // Each time the window is shown: the panel and its settings in view, the built-in
    // dictionary loaded again.
    void FormActivate();
    // The spin edits' maxima follow the dictionary's lengths.
    void LimitUpdate();
    void ActionOpenExecute();
    void ActionStartExecute();
    void ActionStopExecute();
    void ActionExitExecute();
    void ActionHideAllExecute();
    void PageControl1Change();
    // One tick of the exercise's clock.
    void QvlThreadTimer2Timer();

    // The settings as the controls hold them.
    WordSettings Settings() const;
    TQvlThreadTimer& QvlThreadTimer2() { return *timer2_; }

    WordDictionary Dictionary;
    WordColumns Exercise;

    QLabel* LabelWord = nullptr;
    QWidget* Panel1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QWidget* PanelParams = nullptr;
    TRxSpinEdit* RxSpinEditSpeed = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QRadioButton* RadioGroup1Line = nullptr;    // "Строка"
    QRadioButton* RadioGroup1Column = nullptr;  // "Столбик" or "Ёлочка"
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheetStandart = nullptr;
    QWidget* TabSheetPhyramid = nullptr;
    TRxSpinEdit* RxSpinEditWords = nullptr;
    TRxSpinEdit* RxSpinEditStolbik = nullptr;
    TRxSpinEdit* RxSpinEditBegin = nullptr;
    TRxSpinEdit* RxSpinEditEnd = nullptr;
    QLabel* Panel3 = nullptr;
    QWidget* Panel4 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction *ActionOpen = nullptr, *ActionStart = nullptr, *ActionStop = nullptr;
    QAction *ActionHideParams = nullptr, *ActionHideAll = nullptr;
    QAction *ActionExit = nullptr, *ActionExitBlack = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAction* AddAction(const char* caption, const char* const* icons);
    QWidget* CreateParams();
    void ShowLabelWord();
    void ShowPanel1();

    RandomGenerator& random_;
    std::unique_ptr<TQvlThreadTimer> timer2_;
};

}  // namespace lectorix
