#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "app/views/Presenter.h"
#include "core/setup/SetupGuide.h"

namespace hollin {

// The first-launch guide: a welcome, the three optional cards with their buttons and status
// lines, and the way on to help or the analysis window. Its window is built on first showing
// and kept when closed; what the buttons do is the owner's.
class SetupGuide final {
 public:
  // `action` runs a card's or the help button's wish; `finish` the last button's.
  SetupGuide(ViewSetup setup, std::function<void(SetupAction)> action, std::function<void()> finish);
  ~SetupGuide();

  // Builds the window when needed and brings it to the front.
  void show();
  // The three status lines and the first card's button.
  void update(const SetupGuideView& view);
  void close();

  QWidget* window() const { return window_.get(); }
  const std::array<QLabel*, 3>& statusLabels() const { return statusLabels_; }
  QPushButton* notificationButton() const { return notificationButton_; }

 private:
  void build();

  ViewSetup setup_;
  std::function<void(SetupAction)> action_;
  std::function<void()> finish_;
  std::unique_ptr<QWidget> window_;
  std::array<QLabel*, 3> statusLabels_{};
  QPushButton* notificationButton_ = nullptr;
};

}  // namespace hollin
