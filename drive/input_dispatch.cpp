// Every accepted change of a discrete input, routed by its number to the handler of what is wired
// there. At start-up the levels found by the first exchange are taken as they are.

#include "core/registry.h"
#include "drive/controller.h"
#include "drive/discrete_inputs.h"

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
    {kInputTopSensor1, InputGroup::TopPair1},
    {kInputTopSensor1High, InputGroup::TopPair1},
    {kInputBottomSensor1, InputGroup::BottomPair1},
    {kInputBottomSensor1High, InputGroup::BottomPair1},
    {kInputTopSensor2, InputGroup::TopPair2},
    {kInputTopSensor2High, InputGroup::TopPair2},
    {kInputBottomSensor2, InputGroup::BottomPair2},
    {kInputBottomSensor2High, InputGroup::BottomPair2},
    {kInputOilLevel, InputGroup::OilLevel},
    {kInputOilLevelHigh, InputGroup::OilLevel},
    {kInputCoolingPumpFeedback, InputGroup::CoolingPumpFeedback},
    {kInputContactManometer, InputGroup::ContactManometer},
    {kInputFanFeedback, InputGroup::FanFeedback},
    {kInputValve1Current, InputGroup::Valve1Current},
    {kInputValve2Current, InputGroup::Valve2Current},
    {kInputModeSwitch1High, InputGroup::ModeSwitch1},
    {kInputModeSwitch1Low, InputGroup::ModeSwitch1},
    {kInputModeSwitch2Low, InputGroup::ModeSwitch2},
    {kInputModeSwitch2High, InputGroup::ModeSwitch2},
    {kInputUnit1Up, InputGroup::Unit1Up},
    {kInputUnit1Down, InputGroup::Unit1Down},
    {kInputUnit2Up, InputGroup::Unit2Up},
    {kInputUnit2Down, InputGroup::Unit2Down},
    {kInputPanelEnable, InputGroup::PanelEnable},
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
        positions_.pairChanged(1, true);
        return;
    case InputGroup::BottomPair1:
        positions_.pairChanged(1, false);
        return;
    case InputGroup::TopPair2:
        positions_.pairChanged(2, true);
        return;
    case InputGroup::BottomPair2:
        positions_.pairChanged(2, false);
        return;
    case InputGroup::OilLevel:
        oilLevel_.inputsChanged(inputOn(kInputOilLevel), inputOn(kInputOilLevelHigh));
        return;
    case InputGroup::CoolingPumpFeedback:
        cooling_.onFeedback(true);
        return;
    case InputGroup::ContactManometer:
        manometer_.onInput(inputOn(kInputContactManometer));
        return;
    case InputGroup::FanFeedback:
        cooling_.onFeedback(false);
        return;
    case InputGroup::Valve1Current:
        valveCheck_.feedbackChanged(1);
        return;
    case InputGroup::Valve2Current:
        valveCheck_.feedbackChanged(2);
        return;
    case InputGroup::ModeSwitch1:
        onModeSwitchInput(1);
        return;
    case InputGroup::ModeSwitch2:
        onModeSwitchInput(2);
        return;
    case InputGroup::PanelEnable:
        onPanelEnable(inputOn(kInputPanelEnable));
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
