#include "core/registry.h"

TimerQueue* gTimers = nullptr;
std::string gSerialNumber;
