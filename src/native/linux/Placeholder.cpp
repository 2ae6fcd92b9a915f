// Replaced by the Linux readers.
#include "native/NativeMetrics.h"
