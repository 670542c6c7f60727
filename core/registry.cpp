#include "core/registry.h"

TimerQueue* gTimers = nullptr;
std::string gSerialNumber;
Config* gConfig = nullptr;
Display* gDisplay = nullptr;
MenuSet* gRootMenu = nullptr;
SMBus* gDriveBus = nullptr;
Controller* gController = nullptr;
DiscreteIO* gDiscreteIO = nullptr;
