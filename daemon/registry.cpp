#include "daemon/registry.h"

Controller* gController = nullptr;
