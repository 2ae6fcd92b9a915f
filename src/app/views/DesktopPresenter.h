#pragma once

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/views/AnalysisWindow.h"
#include "app/views/DocumentWindow.h"
#include "app/views/HelpWindow.h"
#include "app/views/Presenter.h"
#include "app/views/StatusMenu.h"

namespace hollin {

// The presenter of a desktop session: the tray icon with its status menu and the analysis
// window, each built once and only updated afterwards; the window when it is first wanted, so
// a start with a tray costs no window. Without a tray the window stands in for the icon, and
// the presenter keeps looking for a tray, which a panel may bring later.
class DesktopPresenter final : public QObject, public Presenter {
  Q_OBJECT
 public:
  DesktopPresenter(const ViewSetup& setup, PresenterActions actions);
  ~DesktopPresenter() override;

  // Shows the icon, or the window while there is no tray.
  void start();
  void display(const Screen& screen) override;
  void showAnalysis() override;
  void showDocument(const std::string& id, const DocumentView& document) override;
  std::optional<int> ask(const AlertView& alert) override;
  // The user guide (its window built on first use), at its start or at `section`.
  void showHelp(std::optional<int> section);

  // The analysis window, built on first use.
  AnalysisWindow* window();
  StatusMenu* statusMenu() const { return menu_.get(); }
  // The help window, or null before it was first shown.
  HelpWindow* help() const { return help_.get(); }
  // The document window of `id`, or null before it was first shown.
  DocumentWindow* document(const std::string& id) const;

  static constexpr std::chrono::milliseconds trayLookInterval{2000};

 private:
  bool lookForTray();

  ViewSetup setup_;
  PresenterActions actions_;
  std::unique_ptr<AnalysisWindow> window_;
  std::unique_ptr<StatusMenu> menu_;
  std::map<std::string, std::unique_ptr<DocumentWindow>> documents_;
  std::unique_ptr<HelpWindow> help_;
  QTimer trayLook_;
  std::optional<Screen> last_;
};

}  // namespace hollin
