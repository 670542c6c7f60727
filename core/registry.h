#pragma once
// The process-wide registry of what every layer shares: the timer queue, the board's serial number and
// the platform. Each layer above declares its own entries beside their classes (gConfig in
// config/config.h, gDriveBus in fieldbus/smbus.h, gDiscreteIO in drive/discrete_io.h, gDisplay and
// gRootMenu in ui/), and the daemon its own (daemon/registry.h); start-up sets them all.

#include "platform/platform.h"

#include <string>

class TimerQueue;

extern TimerQueue* gTimers;
extern std::string gSerialNumber;
// The board or its simulation; see platform/platform.h.
using platform::gPlatform;
