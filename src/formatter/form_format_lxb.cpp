#include "formatter/form_format_lxb.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTextBlock>
#include <QVBoxLayout>
#include <climits>
#include <optional>

#include "book/file_save.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"
#include "formatter/heading_detector.h"
#include "gui/dialogs.h"
#include "gui/help_window.h"
#include "gui/text_codec.h"

namespace lectorix {
namespace {

// The wait cursor while an operation runs; a message afterwards is shown with the usual one.
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { Done(); }
    void Done() {
        if (on_) QApplication::restoreOverrideCursor();
        on_ = false;
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    bool on_ = true;
};

// An editor's text as CP1251 with CR LF: the editor keeps a line break as one character (LF,
// or U+2029 in a selection).
std::string EditorBytes(QString text) {
    text.replace(QChar(0x2029), QLatin1Char('\n'));
    const std::string lf = ToCp1251(text);
    std::string out;
    out.reserve(lf.size() + lf.size() / 16);
    for (const char c : lf) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

QString EditorText(std::string_view cp1251) {
    std::string lf;
    lf.reserve(cp1251.size());
    for (size_t i = 0; i < cp1251.size(); ++i)
        if (!(cp1251[i] == '\r' && i + 1 < cp1251.size() && cp1251[i + 1] == '\n')) lf += cp1251[i];
    return FromCp1251(lf);
}

QPushButton* Button(const char* caption, QWidget* parent) {
    return new QPushButton(QString::fromUtf8(caption), parent);
}

QSpinBox* Spin(int value, int max, QWidget* parent) {
    auto* s = new QSpinBox(parent);
    s->setRange(0, max);
    s->setValue(value);
    return s;
}

}  // namespace

TFormFormatLXB::TFormFormatLXB(QWidget* parent, ProgressWindow::MsClock clock)
    : QDialog(parent, Qt::Window), clock_(std::move(clock)) {
    setObjectName(QStringLiteral("FormFormatLXB"));
    setWindowTitle(QStringLiteral("Форматировать текст"));
    setModal(true);
    CreateControls();
    resize(1000, 700);
    setWindowState(Qt::WindowMaximized);
    InstallHelpKey(this, help_context::kFormatTool);
}

TFormFormatLXB::~TFormFormatLXB() = default;

void TFormFormatLXB::CreateControls() {
    auto* top = new QWidget(this);
    auto* grid = new QGridLayout(top);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);

    Button1 = Button("Выпрямить", top);
    Button2 = Button("Enter", top);
    SpinEdit1 = Spin(2, 1000, top);
    Button4 = Button("разделитель", top);
    CheckBox1 = new QCheckBox(QStringLiteral("Больше"), top);
    CheckBox1->setChecked(true);
    CheckBox2 = new QCheckBox(QStringLiteral("Равно"), top);
    ButtonAutoHeadings = Button("Автооглавление", top);
    ButtonAutoHeadings->setToolTip(QStringLiteral(
        "Найти заголовки (части, главы, номера, * * *) и отделить их пустой строкой; "
        "отступ заголовка задаёт его уровень в содержании"));
    CheckBoxLevels = new QCheckBox(QStringLiteral("Уровни по отступам"), top);
    CheckBoxLevels->setToolTip(QStringLiteral(
        "«Оглавление» берёт уровень записи из отступа заголовка: 5 пробелов — второй уровень, "
        "7 — третий"));
    Button5 = Button("Оглавление", top);
    Button7 = Button("Откатить", top);
    Button7->setEnabled(false);
    Button10 = Button("страницы", top);
    Button6 = Button("Сохранить", top);
    Button11 = Button("Save As", top);
    SpinEdit3 = Spin(2, 1000, top);
    Button12 = Button("Add Пробелы", top);
    Button18 = Button("Без точки+5", top);
    Button13 = Button("Очистить", top);
    Button14 = Button("Анализ", top);
    Button3 = Button("Найти", top);
    Button9 = Button("Финальный", top);
    Button9->setEnabled(false);
    Label1 = new QLabel(QStringLiteral("Удалить строки содержащие"), top);
    Edit2 = new QLineEdit(top);
    Button15 = Button("Удалить", top);
    Edit3 = new QLineEdit(QStringLiteral("  X"), top);
    Edit4 = new QLineEdit(QStringLiteral("  \"X"), top);
    CheckBox3 = new QCheckBox(QStringLiteral("Заменить с вопросом"), top);
    CheckBoxEnterNew = new QCheckBox(QStringLiteral("CR LF"), top);
    CheckBoxEnterNew->setToolTip(QStringLiteral("Перевод строки после замены"));
    Button16 = Button("Заменить", top);
    SpinEdit2 = Spin(0, INT_MAX, top);
    Button8 = Button("Перейти", top);
    Edit5 = new QLineEdit(QStringLiteral("X"), top);
    Button17 = Button("Найти", top);

    auto row = [grid](int r, std::initializer_list<QWidget*> widgets) {
        auto* line = new QHBoxLayout;
        line->setSpacing(4);
        for (QWidget* w : widgets)
            line->addWidget(w);
        line->addStretch(1);
        grid->addLayout(line, r, 0);
    };
    row(0, {Button1, Button2, SpinEdit1, Button4, CheckBox1, CheckBox2});
    row(1, {ButtonAutoHeadings, CheckBoxLevels, Button5, Button7, Button10, Button6, Button11});
    row(2, {SpinEdit3, Button12, Button18, Button13, Button14, Button3, Button9});
    row(3, {Label1, Edit2, Button15, Edit3, Edit4, CheckBox3, CheckBoxEnterNew, Button16});
    row(4, {SpinEdit2, Button8, Edit5, Button17});

    // The nine header fields, in a box of their own that scrolls when the panel is low.
    ScrollBox1 = new QScrollArea(top);
    ScrollBox1->setWidgetResizable(true);
    auto* fields = new QWidget(ScrollBox1);
    auto* form = new QFormLayout(fields);
    form->setContentsMargins(4, 2, 4, 2);
    form->setVerticalSpacing(2);
    auto field = [&](const char* label) {
        auto* e = new QLineEdit(fields);
        form->addRow(QString::fromUtf8(label), e);
        return e;
    };
    EditAutor = field("Автор");
    EditTextName = field("Название книги");
    EditAUTORFIRSTNAME = field("Имя автора");
    EditAUTORLASTNAME = field("Фмилия автора");
    EditGENRE = field("Жанр");
    EditSUBGENRE = field("Субжанр");
    EditCOPYRIGHT = field("COPYRIGHT");
    EditSOURCE = field("Источник");
    EditBOOKID = field("ID");
    ScrollBox1->setWidget(fields);
    ScrollBox1->setMinimumWidth(320);
    grid->addWidget(ScrollBox1, 0, 1, 5, 1);
    grid->setColumnStretch(0, 1);
    top->setMaximumHeight(top->sizeHint().height());

    auto memo = [this](const char* name) {
        auto* m = new QPlainTextEdit(this);
        m->setObjectName(QString::fromUtf8(name));
        m->setLineWrapMode(QPlainTextEdit::NoWrap);
        m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        // Indents are what the operations look at: a fixed-width font shows them.
        m->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        // The selection stays visible while another control has the keyboard: "Перейти" and
        // the questions of "Удалить" show where they are.
        QPalette p = m->palette();
        p.setColor(QPalette::Inactive, QPalette::Highlight,
                   p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   p.color(QPalette::Active, QPalette::HighlightedText));
        m->setPalette(p);
        return m;
    };
    Memo1 = memo("Memo1");
    Memo4 = memo("Memo4");
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->addWidget(Memo1);
    Splitter1->addWidget(Memo4);
    Splitter1->setStretchFactor(0, 3);
    Splitter1->setStretchFactor(1, 1);

    PopupMenu1 = new QMenu(this);
    connect(PopupMenu1->addAction(QStringLiteral("Найти")), &QAction::triggered, this,
            [this] { N1Click(); });
    connect(PopupMenu1->addAction(QStringLiteral("Del")), &QAction::triggered, this,
            [this] { Del1Click(); });
    Memo4->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo4, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(Memo4->viewport()->mapToGlobal(at)); });
    Memo4->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(top);
    layout->addWidget(Splitter1, 1);

    auto on = [this](QPushButton* b, void (TFormFormatLXB::*handler)()) {
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    on(Button1, &TFormFormatLXB::Button1Click);
    on(Button2, &TFormFormatLXB::Button2Click);
    on(Button4, &TFormFormatLXB::Button4Click);
    on(Button5, &TFormFormatLXB::Button5Click);
    on(ButtonAutoHeadings, &TFormFormatLXB::ButtonAutoHeadingsClick);
    on(Button7, &TFormFormatLXB::Button7Click);
    on(Button10, &TFormFormatLXB::Button10Click);
    on(Button6, &TFormFormatLXB::Button6Click);
    on(Button11, &TFormFormatLXB::Button11Click);
    on(Button12, &TFormFormatLXB::Button12Click);
    on(Button18, &TFormFormatLXB::Button18Click);
    on(Button13, &TFormFormatLXB::Button13Click);
    on(Button14, &TFormFormatLXB::Button14Click);
    on(Button15, &TFormFormatLXB::Button15Click);
    on(Button16, &TFormFormatLXB::Button16Click);
    on(Button8, &TFormFormatLXB::Button8Click);
    on(Button17, &TFormFormatLXB::Button17Click);
    on(Button3, &TFormFormatLXB::Button3Click);
    Button9->setAutoDefault(false);
}

bool TFormFormatLXB::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Memo4->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        Memo4->setTextCursor(Memo4->cursorForPosition(mouse->position().toPoint()));
        Del1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormFormatLXB::OpenFormatTool(const Opening& opening) {
    SetMemoText(opening.Text);
    ShowTrailer(opening.Text);
    const BookHeader& h = opening.Header;
    EditAutor->setText(FromCp1251(h.BookAuthor));
    EditTextName->setText(FromCp1251(h.BookTitle));
    EditAUTORFIRSTNAME->setText(FromCp1251(h.BookAuthorFirstName));
    EditAUTORLASTNAME->setText(FromCp1251(h.BookAuthorLastName));
    EditGENRE->setText(FromCp1251(h.BookGenre));
    EditSUBGENRE->setText(FromCp1251(h.BookSubgenre));
    EditBOOKID->setText(FromCp1251(h.BookId));
    EditCOPYRIGHT->setText(FromCp1251(h.BookCopyright));
    EditSOURCE->setText(FromCp1251(h.BookSource));
    fileName_ = opening.FileName;
    charsPerLine_ = opening.CharsPerLine;
    linesPerPage_ = opening.LinesPerPage;
    undo_.clear();
    Button7->setEnabled(false);
}

std::string TFormFormatLXB::MemoText() const {
    return EditorBytes(Memo1->toPlainText());
}

void TFormFormatLXB::SetMemoText(const std::string& cp1251) {
    Memo1->setPlainText(EditorText(cp1251));
}

Lines TFormFormatLXB::MemoLines() const {
    return SplitLines(MemoText());
}

void TFormFormatLXB::SetMemoLines(const Lines& lines) {
    SetMemoText(JoinLines(lines));
}

BookHeader TFormFormatLXB::Header() const {
    BookHeader h;
    h.BookAuthor = ToCp1251(EditAutor->text());
    h.BookTitle = ToCp1251(EditTextName->text());
    h.BookAuthorFirstName = ToCp1251(EditAUTORFIRSTNAME->text());
    h.BookAuthorLastName = ToCp1251(EditAUTORLASTNAME->text());
    h.BookGenre = ToCp1251(EditGENRE->text());
    h.BookSubgenre = ToCp1251(EditSUBGENRE->text());
    h.BookId = ToCp1251(EditBOOKID->text());
    h.BookCopyright = ToCp1251(EditCOPYRIGHT->text());
    h.BookSource = ToCp1251(EditSOURCE->text());
    return h;
}

std::string TFormFormatLXB::TextWithEditedTrailer() const {
    std::string text = MemoText();
    const std::string trailer = EditorBytes(Memo4->toPlainText());
    if (Trim(trailer).empty()) return text;
    return WithTrailer(text, trailer);
}

void TFormFormatLXB::ShowTrailer(const std::string& text) {
    Memo4->setPlainText(EditorText(TrailerOf(text)));
}

void TFormFormatLXB::KeepUndo(std::string text) {
    undo_ = std::move(text);
    undoLevels_ = CheckBoxLevels->isChecked();
    Button7->setEnabled(true);
}

void TFormFormatLXB::SelectInMemo1(TextPoint at, size_t length) {
    QTextDocument* doc = Memo1->document();
    const QTextBlock block = doc->findBlockByNumber(static_cast<int>(at.Line));
    if (!block.isValid()) return;
    QTextCursor c(doc);
    c.setPosition(block.position() + static_cast<int>(std::min<size_t>(at.Column, INT_MAX)));
    c.setPosition(std::min(c.position() + static_cast<int>(std::min<size_t>(length, INT_MAX)),
                           doc->characterCount() - 1),
                  QTextCursor::KeepAnchor);
    Memo1->setTextCursor(c);
    Memo1->ensureCursorVisible();
}

TextPoint TFormFormatLXB::Memo1Caret() const {
    const QTextCursor c = Memo1->textCursor();
    return {static_cast<size_t>(c.blockNumber()), static_cast<size_t>(c.positionInBlock())};
}

void TFormFormatLXB::Button1Click() {
    WaitCursor wait;
    Lines lines = MemoLines();
    JoinWrappedLines(lines);
    SetMemoLines(lines);
}

void TFormFormatLXB::Button2Click() {
    WaitCursor wait;
    Lines lines = MemoLines();
    DeleteEmptyLines(lines);
    SetMemoLines(lines);
}

void TFormFormatLXB::Button4Click() {
    WaitCursor wait;
    Lines lines = MemoLines();
    InsertSeparators(lines, {SpinEdit1->value(), CheckBox1->isChecked(), CheckBox2->isChecked()});
    SetMemoLines(lines);
}

void TFormFormatLXB::Button5Click() {
    std::string text = MemoText();
    if (!HasLineLongerThan(text, 80) &&
        !AskOkCancel(this, QStringLiteral("Возможно ошибочное действие."),
                     QStringLiteral("Возможно текст не нуждается в этом форматировании.\r\n"
                                    "Продолжить?")))
        return;
    std::string book;
    if (!ReportUserError(this, [&] {
            WaitCursor wait;
            book = BuildBookStructure(
                text, Header(),
                CheckBoxLevels->isChecked() ? HeadingLevels::FromIndent : HeadingLevels::Flat);
        }))
        return;
    KeepUndo(std::move(text));
    SetMemoText(book);
    ShowTrailer(book);
    QTextCursor c = Memo1->textCursor();
    c.setPosition(0);
    Memo1->setTextCursor(c);
}

void TFormFormatLXB::ButtonAutoHeadingsClick() {
    WaitCursor wait;
    std::string text = MemoText();
    Lines lines = SplitLines(text);
    const HeadingsFound found = MarkHeadings(lines);
    if (found.Headings == 0) {
        wait.Done();
        ShowWarning(this, QStringLiteral("Заголовков не найдено: текст остался как был."));
        return;
    }
    KeepUndo(std::move(text));
    SetMemoLines(lines);
    // "Оглавление" takes the levels from the headings' indents.
    CheckBoxLevels->setChecked(true);
    setWindowTitle(QStringLiteral("Автооглавление: заголовков %1, уровней %2")
                       .arg(found.Headings)
                       .arg(found.Levels));
}

void TFormFormatLXB::Button7Click() {
    WaitCursor wait;
    SetMemoText(undo_);
    ShowTrailer(undo_);
    // The text before "Автооглавление" has no levels in its indents.
    CheckBoxLevels->setChecked(undoLevels_);
    Button7->setEnabled(false);
}

void TFormFormatLXB::Button10Click() {
    std::string text = TextWithEditedTrailer();
    WaitCursor wait;
    const double started = clock_();
    bool counted = false;
    int pages = 0;
    std::string failure;
    try {
        ProgressWindow progress(this, clock_);
        progress.ShowProgressWindow(1000, QStringLiteral("Подсчёт строк"));
        counted = ComputeBookLineCounts(text, [&progress](int done, int total) {
            progress.SetProgress(static_cast<int>(1000LL * done / std::max(total, 1)));
        });
    } catch (const UserError& e) {
        failure = e.what();
    }
    const double seconds = (clock_() - started) / 1000;
    if (counted) {
        SetMemoText(text);
        ShowTrailer(text);
        // The pages of the book at the reader's page size; a book the reader would refuse (a hand
        // edit gone wrong) says why at once.
        try {
            BookContents book;
            std::string copy = text;
            ParseBookTrailer(copy, book);
            pages = ComputeChapterPages(book, charsPerLine_, linesPerPage_);
        } catch (const UserError& e) {
            failure = e.what();
        }
    }
    wait.Done();
    if (!failure.empty()) {
        ShowWarning(this, QString::fromUtf8(failure));
    } else if (!counted) {
        ShowWarning(this, QStringLiteral("В тексте нет содержания: сначала нажмите «Оглавление»."));
    } else {
        setWindowTitle(QStringLiteral("%1 с  %2").arg(seconds, 0, 'f', 2).arg(pages));
    }
}

bool TFormFormatLXB::Save(const QString& suggested) {
    QString name = AskSaveFileName(this, suggested, QtFileFilter(QString::fromUtf8(kSaveFilter)));
    if (name.isEmpty()) return false;
    if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".lxb");
    const std::string text = TextWithEditedTrailer();
    if (TrailerLacksLineCounts(text) &&
        AskQuestion(this, QStringLiteral("Сохранение"),
                    QStringLiteral("Строки для страниц не подсчитаны (кнопка «страницы»): "
                                   "программа не откроет такую книгу. Сохранить всё равно?"),
                    false) != Answer::Yes)
        return false;
    if (text != MemoText()) SetMemoText(text);
    if (!ReportUserError(this, [&] {
            WriteFileBytes(QFile::encodeName(name).toStdString(), MemoFileBytes(text));
        }))
        return false;
    fileName_ = name;
    return true;
}

void TFormFormatLXB::Button6Click() {
    Save(QString::fromStdString(BookFileName(QFile::encodeName(fileName_).toStdString())));
}

void TFormFormatLXB::Button11Click() {
    Save(QString::fromStdString(AuthorTitleFileName(QFile::encodeName(fileName_).toStdString(),
                                                    EditAutor->text().toStdString(),
                                                    EditTextName->text().toStdString())));
}

void TFormFormatLXB::Button12Click() {
    QTextCursor c = Memo1->textCursor();
    if (!c.hasSelection()) return;
    const std::string added =
        AddBlanksAfterBreaks(EditorBytes(c.selectedText()), SpinEdit3->value());
    c.insertText(EditorText(added));
    Memo1->setTextCursor(c);
}

void TFormFormatLXB::Button18Click() {
    WaitCursor wait;
    Lines lines = MemoLines();
    IndentUnpunctuatedLines(lines);
    SetMemoLines(lines);
}

void TFormFormatLXB::Button13Click() {
    const std::string text = MemoText();
    if (!text.empty()) KeepUndo(text);
    EditAutor->clear();
    EditTextName->clear();
    Memo1->clear();
    Memo4->clear();
}

void TFormFormatLXB::Button14Click() {
    setWindowTitle(FromCp1251(LeadingBlanksReport(MemoLines())));
}

namespace {
Decision AskAboutSelection(QWidget* parent, const QString& question) {
    switch (AskQuestion(parent, QString(), question, true)) {
        case Answer::Yes:
            return Decision::Yes;
        case Answer::No:
            return Decision::No;
        case Answer::Cancel:
            break;
    }
    return Decision::Stop;
}
}  // namespace

void TFormFormatLXB::Button15Click() {
    Lines lines = MemoLines();
    const size_t removed =
        DeleteLinesContaining(lines, ToCp1251(Edit2->text()), [this](TextPoint at, size_t length) {
            SelectInMemo1(at, length);
            return AskAboutSelection(this, QStringLiteral("удалить?"));
        });
    if (removed > 0) SetMemoLines(lines);
}

void TFormFormatLXB::Button16Click() {
    std::string with = ToCp1251(Edit4->text());
    if (CheckBoxEnterNew->isChecked()) with += "\r\n";
    Lines lines = MemoLines();
    AskAbout ask;
    if (CheckBox3->isChecked()) {
        ask = [this](TextPoint at, size_t length) {
            SelectInMemo1(at, length);
            return AskAboutSelection(this, QStringLiteral("Заменить?"));
        };
    }
    // Questions are asked with the usual cursor.
    std::optional<WaitCursor> wait;
    if (!ask) wait.emplace();
    if (ReplaceInLines(lines, ToCp1251(Edit3->text()), with, ask) > 0) SetMemoLines(lines);
}

void TFormFormatLXB::Button8Click() {
    Memo1->setFocus();
    const Lines lines = MemoLines();
    const long long from = SpinEdit2->value();
    const TextPoint start = PointOfOffset(lines, from);
    const TextPoint end = PointOfOffset(lines, from + 20);
    QTextDocument* doc = Memo1->document();
    auto position = [doc](TextPoint p) {
        const QTextBlock b = doc->findBlockByNumber(static_cast<int>(p.Line));
        return b.isValid() ? b.position() + static_cast<int>(p.Column) : 0;
    };
    QTextCursor c(doc);
    c.setPosition(position(start));
    c.setPosition(position(end), QTextCursor::KeepAnchor);
    Memo1->setTextCursor(c);
    Memo1->ensureCursorVisible();
}

void TFormFormatLXB::Button17Click() {
    QTextCursor c = Memo1->textCursor();
    c.setPosition(c.selectionEnd());
    Memo1->setTextCursor(c);
    const std::string what = ToCp1251(Edit5->text());
    const std::optional<TextPoint> at = FindFromCaret(MemoLines(), Memo1Caret(), what);
    if (!at) {
        if (!what.empty())
            ShowWarning(this,
                        QStringLiteral("Текст «%1» дальше не встречается.").arg(Edit5->text()));
        return;
    }
    SelectInMemo1(*at, what.size());
}

void TFormFormatLXB::Button3Click() {
    const std::optional<QString> text =
        AskText(this, QStringLiteral("Найти"), QStringLiteral("Найти в тексте:"), findText_,
                QStringLiteral("Найти"));
    if (!text || text->isEmpty()) return;
    findText_ = *text;
    if (!Memo1->find(findText_))
        ShowWarning(this, QStringLiteral("Текст «%1» дальше не встречается.").arg(findText_));
}

void TFormFormatLXB::N1Click() {
    Edit5->setText(Memo4->textCursor().selectedText());
    Button17Click();
}

void TFormFormatLXB::Del1Click() {
    const int entry = Memo4->textCursor().blockNumber();
    Lines text = MemoLines();
    Lines trailer = SplitLines(EditorBytes(Memo4->toPlainText()));
    const Withdrawal w =
        WithdrawContentsEntry(text, trailer, static_cast<size_t>(entry), Memo1Caret());
    if (!w.Removed) return;
    Edit5->setText(FromCp1251(w.Title));
    if (w.Heading) {
        // Only the heading's first blank goes: the rest of a long text stays where it is.
        const QTextBlock block =
            Memo1->document()->findBlockByNumber(static_cast<int>(w.Heading->Line));
        QTextCursor c(block);
        c.deleteChar();
        SelectInMemo1(*w.Heading, text[w.Heading->Line].size());
    }
    const int scrolled = Memo4->verticalScrollBar()->value();
    Memo4->setPlainText(EditorText(JoinLines(trailer)));
    const QTextBlock next =
        Memo4->document()->findBlockByNumber(std::min(entry, Memo4->document()->blockCount() - 1));
    Memo4->setTextCursor(QTextCursor(next));
    Memo4->verticalScrollBar()->setValue(scrolled);
}

}  // namespace lectorix
