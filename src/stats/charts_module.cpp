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
        const std::string path = ModulePath(ThisProgramPath(), kChartsModuleFile);
        void* handle =
            path.empty() ? nullptr : ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        QString why = QStringLiteral("не найден");
        if (handle) {
            if (const auto get =
                    reinterpret_cast<ChartsModuleEntry (*)()>(::dlsym(handle, kChartsModuleSymbol)))
                entry = get();
            else
                why = QStringLiteral("не той версии");
        } else if (!path.empty()) {
            why = QString::fromLocal8Bit(::dlerror());
        }
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
