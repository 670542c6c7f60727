// Every accepted change of a discrete input, routed by its number to the handler of what is wired
// there. At start-up the levels found by the first exchange are taken as they are.

#include "core/registry.h"
#include "drive/controller.h"

namespace {

enum class InputGroup {
    TopPair1,
    BottomPair1,
    TopPair2,
    BottomPair2,
    OilLevel,
    CoolingPumpFeedback,
    ContactManometer,
    FanFeedback,
    Valve1Current,
    Valve2Current,
    ModeSwitch1,
    ModeSwitch2,
    Unit1Up,
    Unit1Down,
    Unit2Up,
    Unit2Down,
    PanelEnable,
    Key,
};

struct InputRoute {
    int input;
    InputGroup group;
};

// Input 13 (the second contact of the manometer) is not used.
constexpr InputRoute kInputRoutes[] = {
    {1, InputGroup::TopPair1},
    {20, InputGroup::TopPair1},
    {2, InputGroup::BottomPair1},
    {3, InputGroup::BottomPair1},
    {4, InputGroup::TopPair2},
    {5, InputGroup::TopPair2},
    {6, InputGroup::BottomPair2},
    {7, InputGroup::BottomPair2},
    {9, InputGroup::OilLevel},
    {10, InputGroup::OilLevel},
    {11, InputGroup::CoolingPumpFeedback},
    {14, InputGroup::ContactManometer},
    {15, InputGroup::FanFeedback},
    {17, InputGroup::Valve1Current},
    {18, InputGroup::Valve2Current},
    {26, InputGroup::ModeSwitch1},
    {30, InputGroup::ModeSwitch1},
    {28, InputGroup::ModeSwitch2},
    {29, InputGroup::ModeSwitch2},
    {25, InputGroup::Unit1Up},
    {31, InputGroup::Unit1Down},
    {39, InputGroup::Unit2Up},
    {16, InputGroup::Unit2Down},
    {27, InputGroup::PanelEnable},
    {33, InputGroup::Key},
    {34, InputGroup::Key},
    {35, InputGroup::Key},
    {36, InputGroup::Key},
    {37, InputGroup::Key},
    {38, InputGroup::Key},
};

// The groups whose present state counts at start-up (push buttons and keys are events only). The
// mode switches come last, so that a drive starting in automatic knows where the rod is.
constexpr InputGroup kStateGroups[] = {
    InputGroup::TopPair1,
    InputGroup::BottomPair1,
    InputGroup::TopPair2,
    InputGroup::BottomPair2,
    InputGroup::OilLevel,
    InputGroup::ContactManometer,
    InputGroup::CoolingPumpFeedback,
    InputGroup::FanFeedback,
    InputGroup::Valve1Current,
    InputGroup::Valve2Current,
    InputGroup::PanelEnable,
    InputGroup::ModeSwitch2,
    InputGroup::ModeSwitch1,
};

const InputRoute* routeOf(int input) {
    for (const InputRoute& route : kInputRoutes)
        if (route.input == input)
            return &route;
    return nullptr;
}

int firstInputOf(InputGroup group) {
    for (const InputRoute& route : kInputRoutes)
        if (route.group == group)
            return route.input;
    return -1;
}

} // namespace

void Controller::inputChanged(int n, bool state) {
    const InputRoute* route = routeOf(n);
    if (!route)
        return;
    switch (route->group) {
    case InputGroup::Unit1Up:
        onManualButton(1, true, state);
        return;
    case InputGroup::Unit1Down:
        onManualButton(1, false, state);
        return;
    case InputGroup::Unit2Up:
        onManualButton(2, true, state);
        return;
    case InputGroup::Unit2Down:
        onManualButton(2, false, state);
        return;
    case InputGroup::Key:
        keypad_->onKeyInput(n, state);
        return;
    default:
        dispatchInput(n);
        return;
    }
}

void Controller::dispatchInput(int n) {
    const InputRoute* route = routeOf(n);
    if (!route)
        return;
    switch (route->group) {
    case InputGroup::TopPair1:
        onPositionPair(1, true);
        return;
    case InputGroup::BottomPair1:
        onPositionPair(1, false);
        return;
    case InputGroup::TopPair2:
        onPositionPair(2, true);
        return;
    case InputGroup::BottomPair2:
        onPositionPair(2, false);
        return;
    case InputGroup::OilLevel:
        onOilLevelInputs();
        return;
    case InputGroup::CoolingPumpFeedback:
        onCoolingFeedback(true);
        return;
    case InputGroup::ContactManometer:
        onEcmInput(inputOn(14));
        return;
    case InputGroup::FanFeedback:
        onCoolingFeedback(false);
        return;
    case InputGroup::Valve1Current:
        onValveFeedback(1);
        return;
    case InputGroup::Valve2Current:
        onValveFeedback(2);
        return;
    case InputGroup::ModeSwitch1:
        onModeSwitchInput(1);
        return;
    case InputGroup::ModeSwitch2:
        onModeSwitchInput(2);
        return;
    case InputGroup::PanelEnable:
        onPanelEnable(inputOn(27));
        return;
    default:
        return;
    }
}

void Controller::discreteIoStarted() {
    applyOutputs();
    for (InputGroup group : kStateGroups)
        dispatchInput(firstInputOf(group));
}
