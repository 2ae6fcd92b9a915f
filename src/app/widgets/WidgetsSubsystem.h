// The desktop widgets' side of the application: the widget summary written with each
// self-health record, and whether that worked.
#pragma once

#include "app/tick/Subsystem.h"
#include "app/widgets/WidgetPublisher.h"

namespace hollin {

class WidgetsSubsystem final : public Subsystem {
 public:
  // `folder`: the widgets' shared folder, absent when the session gives none.
  explicit WidgetsSubsystem(std::optional<std::string> folder) : publisher_(std::move(folder)) {}

  void recordWriting(const Moment& moment, const StatusTexts& shown) override;
  void record(nlohmann::json& record, const Moment& moment) const override;

 private:
  WidgetPublisher publisher_;
};

}  // namespace hollin
