// The one seam for message boxes, questions and file dialogs, so headless tests can answer them
// instead of being blocked by a modal window.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

namespace lectorix {

// Shows a warning with the program's title. While a test handler is set, it gets the text
// instead and nothing is shown.
void ShowWarning(QWidget* parent, const QString& text);

// Runs an action at a window's action boundary: a UserError it throws is shown as a warning
// over `parent`, or written to the log when `parent` is null (no window is left to say it in).
// Returns false when the action threw.
bool ReportUserError(QWidget* parent, const std::function<void()>& action);

// How wide a window must be for the window manager to show `title` whole in its frame.
int TitleWidth(const QWidget& window, const QString& title);

// The room a box over `parent` is centred on when the owner's own frame cannot be trusted: the
// screen's work area for a maximized window, the whole screen for a full-screen one, nothing
// (the owner's frame, as usual) otherwise.
std::optional<QRect> OwnerArea(const QWidget* parent);

using WarningHandler = std::function<void(const QString&)>;
void SetWarningHandler(WarningHandler handler);

enum class Answer { Yes, No, Cancel };

// A Yes/No (or Yes/No/Cancel) question box with a question icon.
Answer AskQuestion(QWidget* parent, const QString& title, const QString& text, bool withCancel);

// An OK/Cancel question box with a question icon, Cancel preselected (a step that may be a
// mistake); true for OK. A test's script answers it with Yes for OK.
bool AskOkCancel(QWidget* parent, const QString& title, const QString& text);

// The open and save dialogs; an empty name means the user cancelled.
QString AskOpenFileName(QWidget* parent, const QString& directory, const QString& filter);
QString AskSaveFileName(QWidget* parent, const QString& suggested, const QString& filter);
// Their size and columns: every column of the file list shown whole, within the window they
// open over, and the kinds of files named in Russian.
QSize FileDialogSize(const QWidget* parent);
void FitFileDialog(QFileDialog& dialog, const QWidget* parent);

// A small input box for a whole number in min..max, or for a line of text, with Russian buttons
// (`accept` names the OK button); nothing when the user cancelled.
std::optional<int> AskNumber(QWidget* parent, const QString& title, const QString& label, int value,
                             int min, int max, const QString& accept);
std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& label,
                               const QString& text, const QString& accept);

// What a test answers in place of the user. While a script is set, questions take its answers
// in order (No once it runs out) and file dialogs its names (cancelled once they run out); every
// question asked is recorded as "title: text". Input boxes take `inputs` in order (cancelled once
// they run out, or for a number that does not read or lies outside the box's range) and record
// "title: label" in `prompts`.
struct DialogScript {
    std::deque<Answer> answers;
    std::deque<QString> fileNames;
    std::deque<QString> inputs;
    QStringList asked;
    QStringList prompts;
    QStringList filters;  // the filter of every file dialog shown
};
void SetDialogScript(DialogScript* script);

// For a program asked to end (SIGTERM at log-out), where nobody is left to answer: every modal
// window open now (message boxes, questions, file dialogs, input boxes and the program's own
// windows alike) is closed as Esc closes it, and so are the menus; from then on the questions
// of this seam answer their default (No) without showing, file dialogs and input boxes are
// cancelled, warnings go to the log, and any other modal window is closed as soon as it shows.
void EndAllDialogs();
bool DialogsEnded();
// Back to normal, for the tests that end the dialogs.
void ResumeDialogs();

// Turns a filter written as pairs "description|masks|description|masks" (masks separated by
// ";") into Qt's form, each mask in lower and upper case, since Linux names are case-sensitive.
QString QtFileFilter(const QString& pairs);

}  // namespace lectorix
