// The menu's support rows: asking whether a newer version is out, and handing the user a
// feedback draft to send from their own mail program. Main thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/support/FeedbackReport.h"
#include "core/support/UpdateCheck.h"

class QAction;

namespace hollin {

class UpdateChecker;

class SupportActions : public QObject {
  Q_OBJECT
 public:
  struct Setup {
    std::string language;
    std::string updateHost;
    std::chrono::milliseconds timeout{static_cast<int>(UpdateCheck::timeoutSeconds * 1000)};
    // A modal alert: the index of the button chosen, or nothing where none can be shown.
    std::function<std::optional<int>(const AlertView&)> ask;
  };

  explicit SupportActions(Setup setup, QObject* parent = nullptr);
  ~SupportActions() override;

  bool isCheckingUpdate() const { return checker_ != nullptr; }
  // Asks for the latest version and shows what came of it; does nothing while a check runs.
  // The menu row (may be null) reads "アップデートを確認中…" meanwhile.
  void checkForUpdate(const std::string& currentVersion, QAction* menuItem);
  // Shows what the draft holds and leaves out, then opens it or copies its text.
  void sendFeedback(const FeedbackReport::Environment& environment);

 private:
  void copyReport(const FeedbackReport::Environment& environment);
  std::optional<int> ask(const AlertView& alert) const;

  Setup setup_;
  std::unique_ptr<UpdateChecker> checker_;
  QPointer<QAction> menuItem_;
  QString menuTitle_;
};

// Whether the desktop names a program for mailto: links (xdg-mime's answer).
bool mailHandlerAvailable();

}  // namespace hollin
