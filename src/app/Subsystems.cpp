// The registration: one line per subsystem, in the order the tick walks them.
#include "app/Subsystems.h"

#include "app/AppController.h"
#include "app/accounts/AccountsSubsystem.h"
#include "app/crash/CrashSubsystem.h"
#include "app/early/EarlySubsystem.h"
#include "app/memory/MemorySubsystem.h"
#include "app/notify/NotificationsSubsystem.h"
#include "app/response/ResponseSubsystem.h"
#include "app/ssd/SSDSubsystem.h"
#include "app/widgets/WidgetsSubsystem.h"

namespace hollin {

void registerSubsystems(AppController& controller, const Services& services, bool watchPressure) {
  controller.add(std::make_unique<NotificationsSubsystem>(services));
  controller.add(std::make_unique<MemorySubsystem>(services, watchPressure));
  // The accounts' reports carry the response verdicts, so those are contributed first.
  controller.add(std::make_unique<ResponseSubsystem>(services, liveResponseSources()));
  controller.add(std::make_unique<AccountsSubsystem>(services));
  controller.add(std::make_unique<SSDSubsystem>(services, liveSSDSources()));
  controller.add(std::make_unique<EarlySubsystem>(services, EarlyWatch::liveSources()));
  controller.add(std::make_unique<WidgetsSubsystem>(services.widgetFolder));
  controller.add(std::make_unique<CrashSubsystem>(services, CrashReceiver::liveSources(services.dataFolder, services.uid)));
}

}  // namespace hollin
