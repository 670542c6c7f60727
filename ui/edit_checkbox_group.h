#pragma once
// The flags editor: each flag of a group as a box that ВВОД ticks or clears; only ОТМ closes it.

#include "ui/edit_radio.h"

class ConfigFlagsGroup;

class EditCheckboxGroup : public EditRadio {
public:
    explicit EditCheckboxGroup(ConfigFlagsGroup& setting);

protected:
    void confirm() override;
    void drawRow(int option, int y) override;

private:
    ConfigFlagsGroup& flags_;
};
