#include "ui/horizontal_menu_item.h"

#include "core/registry.h"
#include "ui/display.h"

void HorizontalMenuItem::activate(int index) {
    if (gDisplay)
        gDisplay->showPage(index);
}

int32_t HorizontalMenuItem::pageOrigin() const {
    if (!gDisplay || index() < 0)
        return 0;
    return index() * gDisplay->width();
}
