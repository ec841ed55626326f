// The formatting tool: a raw text cleaned with line operations, its contents built and counted,
// its header filled in, saved as a book. The operations themselves are in format_operations.h
// and book_writer.h; the window moves the text in and out.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "book/book_trailer.h"
#include "formatter/format_operations.h"
#include "gui/form_rar.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QSplitter;

namespace lectorix {

class TFormFormatLXB : public QDialog {
  public:
    // The filter of the save dialog (description and masks in pairs).
    static constexpr const char* kSaveFilter = "Формат скорочтения|*.LXB|Текстовый документ|*.TXT";

    // What the window opens with: the reader's text (a book with its trailer), its header, the
    // file it came from (empty for a pasted text) and the reader's page, for the page count
    // "страницы" shows. `clock` times "страницы" and its progress window (tests hand in one
    // that stands still).
    struct Opening {
        std::string Text;
        BookHeader Header;
        QString FileName;
        int CharsPerLine = 22;
        int LinesPerPage = 25;
    };
    explicit TFormFormatLXB(QWidget* parent = nullptr,
                            ProgressWindow::MsClock clock = ProgressWindow::SteadyMs());
    ~TFormFormatLXB() override;

    // Fills the window: the text in Memo1, a book's trailer in Memo4, the header in the nine
    // fields; the undo snapshot starts empty.
    void OpenFormatTool(const Opening& opening);
    // The name the next "Сохранить" starts from: the reader's file, then the file saved last.
    const QString& FileName() const { return fileName_; }
    // Memo1's text in CP1251 with CR LF, and back.
    std::string MemoText() const;
    void SetMemoText(const std::string& cp1251);

    void Button1Click();             // "Выпрямить"
    void Button2Click();             // "Enter"
    void Button4Click();             // "разделитель"
    void Button5Click();             // "Оглавление"
    void ButtonAutoHeadingsClick();  // "Автооглавление"
    void Button7Click();             // "Откатить"
    void Button10Click();            // "страницы"
    void Button6Click();             // "Сохранить"
    void Button11Click();            // "Save As"
    void Button12Click();            // "Add Пробелы"
    void Button18Click();            // "Без точки+5"
    void Button13Click();            // "Очистить"
    void Button14Click();            // "Анализ"
    void Button15Click();            // "Удалить"
    void Button16Click();            // "Заменить"
    void Button8Click();             // "Перейти"
    void Button17Click();            // "Найти"
    void Button3Click();             // the find dialog
    void N1Click();                  // Memo4's "Найти"
    void Del1Click();                // Memo4's "Del" and double-click

    QPushButton *Button1, *Button2, *Button4, *Button5, *ButtonAutoHeadings, *Button7, *Button10,
        *Button6, *Button11, *Button12, *Button18, *Button13, *Button14, *Button15, *Button16,
        *Button8, *Button17, *Button3, *Button9;
    QSpinBox *SpinEdit1, *SpinEdit2, *SpinEdit3;
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBoxEnterNew, *CheckBoxLevels;
    QLabel* Label1;
    QLineEdit *Edit2, *Edit3, *Edit4, *Edit5;
    QLineEdit *EditAutor, *EditTextName, *EditAUTORFIRSTNAME, *EditAUTORLASTNAME, *EditGENRE,
        *EditSUBGENRE, *EditCOPYRIGHT, *EditSOURCE, *EditBOOKID;
    QScrollArea* ScrollBox1;
    QPlainTextEdit *Memo1, *Memo4;
    QSplitter* Splitter1;
    QMenu* PopupMenu1;  // Memo4's: "Найти", "Del"

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    Lines MemoLines() const;
    void SetMemoLines(const Lines& lines);
    BookHeader Header() const;
    // The text with Memo4's trailer in place of its own: Memo4 is where the trailer is edited.
    std::string TextWithEditedTrailer() const;
    void ShowTrailer(const std::string& text);
    void KeepUndo(std::string text);
    // Selects `length` bytes of Memo1 from `at` (a place in its lines).
    void SelectInMemo1(TextPoint at, size_t length);
    TextPoint Memo1Caret() const;
    bool Save(const QString& suggested);

    ProgressWindow::MsClock clock_;
    std::string undo_;  // Memo1 before the last "Оглавление" ("Автооглавление", "Очистить")
    bool undoLevels_ = false;  // "Уровни по отступам" then
    QString fileName_;
    int charsPerLine_ = 22;
    int linesPerPage_ = 25;
    QString findText_;  // the find dialog's text
};

}  // namespace lectorix
