#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QWidget>

#include "app/views/Presenter.h"

namespace hollin {

// The settings tab's panel: the permission line, the set-up buttons, the login and sharing
// switches and the button that ends monitoring for this account.
class SettingsPanel : public QWidget {
  Q_OBJECT
 public:
  SettingsPanel(const ViewSetup& setup, const PresenterActions& actions, QWidget* parent = nullptr);
  void display(const Screen& screen);
  QLabel* permissions() const { return permissions_; }

 private:
  QLabel* permissions_;
  QCheckBox* loginBox_;
  QCheckBox* shareBox_;
};

}  // namespace hollin
