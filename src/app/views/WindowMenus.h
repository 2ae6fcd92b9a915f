#pragma once

#include <functional>

#include "app/views/Presenter.h"

namespace hollin {

class AnalysisWindow;

// The analysis window's menu bar: the application, edit, view, window and help menus with
// their shortcuts. `choose` selects a tab from the View menu.
void buildWindowMenus(AnalysisWindow& window, const ViewSetup& setup, const PresenterActions& actions,
                      std::function<void(AnalysisTab)> choose);

}  // namespace hollin
