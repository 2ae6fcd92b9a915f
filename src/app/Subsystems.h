#pragma once

namespace hollin {

class AppController;
struct Services;

// Every subsystem, registered with the controller in the order of the tick.
void registerSubsystems(AppController& controller, const Services& services, bool watchPressure);

}  // namespace hollin
