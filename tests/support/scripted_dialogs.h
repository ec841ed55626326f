// The dialog seam held for one test: questions and file dialogs answered by a script, warnings
// caught instead of shown. Each guard takes its seam down again however the test leaves, so a
// failed check never leaves the seam pointing at a dead stack frame for the next test.
#pragma once

#include <QStringList>

#include "gui/dialogs.h"

namespace lectorix::test {

class ScriptedDialogs : public DialogScript {
  public:
    ScriptedDialogs() { SetDialogScript(this); }
    ~ScriptedDialogs() { SetDialogScript(nullptr); }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;
};

class CaughtWarnings {
  public:
    CaughtWarnings() {
        SetWarningHandler([this](const QString& text) { told << text; });
    }
    ~CaughtWarnings() { SetWarningHandler({}); }
    CaughtWarnings(const CaughtWarnings&) = delete;
    CaughtWarnings& operator=(const CaughtWarnings&) = delete;

    QStringList told;  // every warning, in order
};

}  // namespace lectorix::test
