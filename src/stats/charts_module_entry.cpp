// The module of the statistics window: ShowStatisticWindow with the program's help key.
#include "stats/charts_module.h"
#include "stats/form_statistic.h"

namespace lectorix {
namespace {

void Show(QWidget* parent, const StatisticTexts& texts, const std::vector<TableDay>& tables,
          HelpKeyInstaller help) {
    ShowStatisticWindow(parent, texts, tables, help);
}

}  // namespace
}  // namespace lectorix

extern "C" [[gnu::visibility("default")]] lectorix::ChartsModuleEntry lectorix_statistic_window() {
    return &lectorix::Show;
}
