#include "app/notify/Notifier.h"

namespace hollin {

// Out of line, so the interface's vtable and signals have one home.
Notifier::~Notifier() = default;

}  // namespace hollin
