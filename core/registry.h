#pragma once
// The process-wide registry of shared objects. `main` owns them; everyone else reaches them here.

#include "platform/platform.h"

#include <string>

class TimerQueue;
class Config;
class Display;
class MenuSet;
class SMBus;
class Controller;
class DiscreteIO;

extern TimerQueue* gTimers;
extern std::string gSerialNumber;
extern Config* gConfig;
extern Display* gDisplay;
extern MenuSet* gRootMenu;
extern SMBus* gDriveBus;
extern Controller* gController;
extern DiscreteIO* gDiscreteIO;
// The board or its simulation; see platform/platform.h.
using platform::gPlatform;
