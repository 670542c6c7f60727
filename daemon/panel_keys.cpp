#include "daemon/panel_keys.h"

#include "ui/display.h"
#include "ui/menu_set.h"

void RootMenuKeys::onKey(int code, bool pressed) {
    rootMenu_.onKey(code, pressed);
}

void RootMenuKeys::onInactivity() {
    if (rootMenu_.currentItem())
        rootMenu_.currentItem()->close();
}

void PanelBlanking::setBlank(bool blank) {
    display_.setBlank(blank);
}
