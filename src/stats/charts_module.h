// The statistics window lives in a module of its own with Qt Charts and the OpenGL libraries
// that come with it (a megabyte of memory), opened the first time the window is asked for.
#pragma once

#include <vector>

#include "stats/statistics_reports.h"
#include "stats/table_records.h"

class QWidget;

namespace lectorix {

// ShowStatisticWindow's signature; the main window is handed one.
using StatisticWindowShower = void (*)(QWidget* parent, const StatisticTexts& texts,
                                       const std::vector<TableDay>& tables);
// How the window gets its F1: the program's own help window, not the module's copy of it.
using HelpKeyInstaller = void (*)(QWidget* window, int context);
// The module's entry, by this name: it returns a ChartsModuleEntry.
using ChartsModuleEntry = void (*)(QWidget* parent, const StatisticTexts& texts,
                                   const std::vector<TableDay>& tables, HelpKeyInstaller help);
inline constexpr const char* kChartsModuleSymbol = "lectorix_statistic_window";
inline constexpr const char* kChartsModuleFile = "lectorix-charts.so";

// A StatisticWindowShower through the module beside this program. The module stays open once
// opened: Qt keeps the types it registers. Without it a warning says to reinstall.
void ShowStatisticWindowFromModule(QWidget* parent, const StatisticTexts& texts,
                                   const std::vector<TableDay>& tables);

}  // namespace lectorix
