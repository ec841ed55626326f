#include "gui/dialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QTreeView>
#include <QtGlobal>

#include "book/text_loader.h"

namespace lectorix {
namespace {
WarningHandler& Handler() {
    static WarningHandler handler;
    return handler;
}
DialogScript*& Script() {
    static DialogScript* script = nullptr;
    return script;
}
// A message box that stands in the middle of its owner's window also while that window is
// maximized (or full screen) but not yet given its size: a question at start-up comes before
// the window system has answered, and the box would sit over the window's first, small frame.
class OwnedMessageBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        if (event->spontaneous()) return;
        const std::optional<QRect> area = OwnerArea(parentWidget());
        if (!area) return;
        QRect frame = frameGeometry();
        frame.moveCenter(area->center());
        move(frame.topLeft());
    }
};
bool& Ended() {
    static bool ended = false;
    return ended;
}

// Closes a window as Esc would: a dialog is rejected, so that its exec returns.
void CloseAsEsc(QWidget* window) {
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->reject();
    } else {
        window->close();
    }
}

// Once the dialogs are ended, closes every modal window or menu that shows, when its own event
// loop runs.
class LateModalCloser : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!Ended() || event->type() != QEvent::Show || !watched->isWidgetType()) return false;
        auto* window = static_cast<QWidget*>(watched);
        if (!window->isWindow() || !(window->isModal() || window->windowType() == Qt::Popup))
            return false;
        const QPointer<QWidget> alive(window);
        QTimer::singleShot(0, this, [alive] {
            if (alive && alive->isVisible()) CloseAsEsc(alive);
        });
        return false;
    }
};

QString NextFileName(const QString& filter) {
    DialogScript& s = *Script();
    s.filters << filter;
    if (s.fileNames.empty()) return {};
    QString name = s.fileNames.front();
    s.fileNames.pop_front();
    return name;
}
}  // namespace

void ShowWarning(QWidget* parent, const QString& text) {
    if (Handler()) {
        Handler()(text);
        return;
    }
    if (Ended()) {
        qWarning("%s", qUtf8Printable(text));
        return;
    }
    OwnedMessageBox box(QMessageBox::Warning, QStringLiteral("Lectorix"), text, QMessageBox::Ok,
                        parent);
    box.exec();
}

int TitleWidth(const QWidget& window, const QString& title) {
    // The frame shows the program's name after the title, as the window system formats it.
    QString shown = title;
    const QString program = QGuiApplication::applicationDisplayName();
    if (!program.isEmpty() && title != program) shown += QStringLiteral(" — ") + program;
    // The frame's font is bold and often larger; the icon and the buttons take the rest.
    return window.fontMetrics().horizontalAdvance(shown) * 6 / 5 + 120;
}

std::optional<QRect> OwnerArea(const QWidget* parent) {
    const QWidget* owner = parent ? parent->window() : nullptr;
    if (!owner) return std::nullopt;
    const QScreen* screen = owner->screen();
    if (!screen) return std::nullopt;
    if (owner->windowState() & Qt::WindowFullScreen) return screen->geometry();
    if (owner->windowState() & Qt::WindowMaximized) return screen->availableGeometry();
    return std::nullopt;
}

bool ReportUserError(QWidget* parent, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const UserError& e) {
        if (parent) {
            ShowWarning(parent, QString::fromUtf8(e.what()));
        } else {
            qWarning("%s", e.what());
        }
        return false;
    }
}

void SetWarningHandler(WarningHandler handler) {
    Handler() = std::move(handler);
}

Answer AskQuestion(QWidget* parent, const QString& title, const QString& text, bool withCancel) {
    if (DialogScript* s = Script()) {
        s->asked << title + QStringLiteral(": ") + text;
        if (s->answers.empty()) return Answer::No;
        const Answer a = s->answers.front();
        s->answers.pop_front();
        return a;
    }
    // The default answer keeps everything as it is: no bookmark added, nothing opened.
    if (Ended()) return Answer::No;
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (withCancel) buttons |= QMessageBox::Cancel;
    OwnedMessageBox box(QMessageBox::Question, title, text, buttons, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    if (withCancel) box.button(QMessageBox::Cancel)->setText(QStringLiteral("Отмена"));
    const int answer = box.exec();
    if (Ended()) return Answer::No;
    switch (answer) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            // Closing the box with Esc or its title button is a refusal.
            return withCancel ? Answer::Cancel : Answer::No;
    }
}

bool AskOkCancel(QWidget* parent, const QString& title, const QString& text) {
    if (Script()) return AskQuestion(parent, title, text, false) == Answer::Yes;
    OwnedMessageBox box(QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                        parent);
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Отмена"));
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

QSize FileDialogSize(const QWidget* parent) {
    // Wide enough for the name, size, type and date columns; never larger than the window it
    // opens over (or the screen).
    QSize room(1366, 768);
    if (parent && parent->window()->isVisible()) {
        room = parent->window()->size();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        room = screen->availableSize();
    }
    return QSize(900, 560).boundedTo(room * 9 / 10).expandedTo(QSize(640, 400));
}

namespace {
// Qt's translation lacks the word for a folder in the file list's type column.
class RussianFileKinds : public QFileIconProvider {
  public:
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) return QStringLiteral("Папка");
        return QFileIconProvider::type(info);
    }
};

QString RunFileDialog(QWidget* parent, const QString& title, const QString& start,
                      const QString& filter, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, title, start, filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    FitFileDialog(dialog, parent);
    if (Ended() || dialog.exec() != QDialog::Accepted || Ended()) return {};
    return dialog.selectedFiles().value(0);
}
}  // namespace

void FitFileDialog(QFileDialog& dialog, const QWidget* parent) {
    static RussianFileKinds kinds;
    dialog.resize(FileDialogSize(parent));
    dialog.setIconProvider(&kinds);
    // Qt's own dialog (there is no desktop one here): the name takes the room the size, type
    // and date leave, and those show whole.
    auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!list) return;
    QHeaderView* header = list->header();
    const QFontMetrics m = list->fontMetrics();
    const int pad = 2 * m.averageCharWidth() + 16;
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->resizeSection(1, m.horizontalAdvance(QStringLiteral("999,9 КиБ")) + pad);
    header->resizeSection(2, m.horizontalAdvance(QStringLiteral("Текстовый документ")) + pad);
    const QDateTime late(QDate(2026, 12, 28), QTime(23, 59, 59));
    header->resizeSection(
        3, m.horizontalAdvance(QLocale::system().toString(late, QLocale::ShortFormat)) + pad);
}

QString AskOpenFileName(QWidget* parent, const QString& directory, const QString& filter) {
    if (Script()) return NextFileName(filter);
    return RunFileDialog(parent, QStringLiteral("Открыть"), directory, filter,
                         QFileDialog::AcceptOpen);
}

QString AskSaveFileName(QWidget* parent, const QString& suggested, const QString& filter) {
    if (Script()) return NextFileName(filter);
    return RunFileDialog(parent, QStringLiteral("Сохранить как"), suggested, filter,
                         QFileDialog::AcceptSave);
}

namespace {
// The next scripted input, or nothing once the script has run out.
std::optional<QString> NextInput(const QString& title, const QString& label) {
    DialogScript& s = *Script();
    s.prompts << title + QStringLiteral(": ") + label;
    if (s.inputs.empty()) return std::nullopt;
    QString text = s.inputs.front();
    s.inputs.pop_front();
    return text;
}

void SetUpInput(QInputDialog& box, const QString& title, const QString& label,
                const QString& accept) {
    box.setWindowTitle(title);
    box.setLabelText(label);
    box.setOkButtonText(accept);
    box.setCancelButtonText(QStringLiteral("Отмена"));
    // Wide enough for its title, which a window manager would otherwise cut short; the box
    // sizes itself to its layout, so the width goes to the label.
    if (auto* text = box.findChild<QLabel*>()) text->setMinimumWidth(TitleWidth(box, title));
}
}  // namespace

std::optional<int> AskNumber(QWidget* parent, const QString& title, const QString& label, int value,
                             int min, int max, const QString& accept) {
    if (Script()) {
        const std::optional<QString> text = NextInput(title, label);
        bool ok = false;
        const int n = text ? text->trimmed().toInt(&ok) : 0;
        if (!ok || n < min || n > max) return std::nullopt;
        return n;
    }
    QInputDialog box(parent);
    box.setInputMode(QInputDialog::IntInput);
    box.setIntRange(min, max);
    box.setIntValue(value);
    SetUpInput(box, title, label, accept);
    if (Ended() || box.exec() != QDialog::Accepted || Ended()) return std::nullopt;
    return box.intValue();
}

std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& label,
                               const QString& text, const QString& accept) {
    if (Script()) return NextInput(title, label);
    QInputDialog box(parent);
    box.setInputMode(QInputDialog::TextInput);
    box.setTextValue(text);
    SetUpInput(box, title, label, accept);
    if (Ended() || box.exec() != QDialog::Accepted || Ended()) return std::nullopt;
    return box.textValue();
}

void EndAllDialogs() {
    Ended() = true;
    static LateModalCloser* closer = [] {
        auto* c = new LateModalCloser;
        qApp->installEventFilter(c);
        return c;
    }();
    (void)closer;
    // A menu first: it holds the input over whatever it opened from.
    for (int i = 0; i < 100 && QApplication::activePopupWidget(); ++i)
        QApplication::activePopupWidget()->close();
    // Every one of them, nested ones too: each exec returns once its own loop is reached again.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->isModal()) CloseAsEsc(window);
}

bool DialogsEnded() {
    return Ended();
}

void ResumeDialogs() {
    Ended() = false;
}

void SetDialogScript(DialogScript* script) {
    Script() = script;
}

QString QtFileFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList masks;
        for (const QString& raw : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString mask = raw.trimmed();
            if (mask.isEmpty()) continue;
            for (const QString& m : {mask.toLower(), mask.toUpper()})
                if (!masks.contains(m)) masks << m;
        }
        filters << parts[i].trimmed() + QStringLiteral(" (") + masks.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace lectorix
