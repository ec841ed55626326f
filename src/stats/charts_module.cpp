#include "stats/charts_module.h"

#include <dlfcn.h>

#include <QString>

#include "formatter/document_module.h"
#include "gui/dialogs.h"
#include "gui/help_window.h"

namespace lectorix {

void ShowStatisticWindowFromModule(QWidget* parent, const StatisticTexts& texts,
                                   const std::vector<TableDay>& tables) {
    static ChartsModuleEntry entry = nullptr;
    static QString failure;
    if (!entry && failure.isEmpty()) {
        const OpenedModule opened =
            OpenModule(ModulePath(ThisProgramPath(), kChartsModuleFile),
                       RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE, kChartsModuleSymbol);
        if (opened.Entry) entry = reinterpret_cast<ChartsModuleEntry (*)()>(opened.Entry)();
        const QString why = QString::fromStdString(opened.Why);
        if (!entry)
            failure = QStringLiteral(
                          "Статистика не показана: модуль графиков %1 %2. "
                          "Переустановите программу.")
                          .arg(QString::fromLatin1(kChartsModuleFile), why);
    }
    if (!entry) {
        ShowWarning(parent, failure);
        return;
    }
    entry(parent, texts, tables,
          [](QWidget* window, int context) { InstallHelpKey(window, context); });
}

}  // namespace lectorix
