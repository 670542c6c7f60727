#include "ui/edit_checkbox_group.h"

#include "config/config_flags_group.h"
#include "core/registry.h"
#include "ui/display.h"

namespace {

constexpr int kBaseline = 11;

} // namespace

EditCheckboxGroup::EditCheckboxGroup(ConfigFlagsGroup& setting) : EditRadio(setting), flags_(setting) {}

void EditCheckboxGroup::confirm() {
    unsigned flag = static_cast<unsigned>(cursor_);
    flags_.setFlag(flag, !flags_.isOn(flag));
    draw();
}

void EditCheckboxGroup::drawRow(int option, int y) {
    Font& font = gDisplay->font(FontFace::Arial);
    page_.drawText(font, "[", 3, y + kBaseline, 255);
    page_.drawText(font, "]", 14, y + kBaseline, 255);
    if (flags_.isOn(static_cast<unsigned>(option)))
        page_.drawText(font, "x", 7, y + kBaseline, 255);
    page_.drawText(font, flags_.optionText(option), 24, y + kBaseline, 255);
}
