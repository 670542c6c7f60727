#include "daemon/registry.h"

Controller* gController = nullptr;
const DriveView* gDriveView = nullptr;
