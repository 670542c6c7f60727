// The holding registers of the slave: settings read and written in their register encodings, the
// texts through scratch copies, the high word of a 32-bit pair held until its low word arrives.

#include "fieldbus/smbus_slave.h"

#include "config/config.h"
#include "config/storable_text.h"
#include "core/log.h"
#include "core/registry.h"
#include "fieldbus/register_map.h"
#include "fieldbus/register_values.h"

#include <variant>

namespace {

const char kUnit[] = "smbus";

// Registers of the two texts.
constexpr int kNameFirst = 0;
constexpr int kCommentFirst = 128;
constexpr int kTextsEnd = 256;

template <typename Setting> Setting* settingOf(const HoldingRegisterRow& row) {
    SettingPtr setting = row.member(*gConfig);
    Setting* const* held = std::get_if<Setting*>(&setting);
    return held ? *held : nullptr;
}

uint16_t textPair(const std::string& text, size_t position) {
    uint8_t high = position < text.size() ? static_cast<uint8_t>(text[position]) : 0;
    uint8_t low = position + 1 < text.size() ? static_cast<uint8_t>(text[position + 1]) : 0;
    return static_cast<uint16_t>(high << 8 | low);
}

// A zero byte ends the text there; any other is stored, the text growing with zero bytes to reach it.
void editTextByte(std::string& text, size_t position, uint8_t byte) {
    if (byte == 0) {
        if (position < text.size())
            text.resize(position);
        return;
    }
    if (text.size() <= position)
        text.resize(position + 1, '\0');
    text[position] = static_cast<char>(byte);
}

// What a written text scratch becomes: the text up to its first zero byte, as the file, the journal
// and every reader of the text see it.
std::string finishedText(const std::string& scratch) {
    return scratch.substr(0, scratch.find('\0'));
}

float fromHundredths(int32_t raw) {
    return static_cast<float>(raw) / 100.0f;
}

// An X100 register carries the low word of the ×100 value; its high word is kept from the value in
// force. Where the range reaches below zero the register is a signed 16-bit number instead, so a value
// can change sign (the ranges of those settings fit in it).
int32_t x100Written(const ConfigFloat& setting, uint16_t value) {
    if (setting.minValue < 0)
        return static_cast<int16_t>(value);
    return withLowWord(hundredths(setting.value), value);
}

} // namespace

uint16_t SMBusSlave::holdingRegister(const HoldingRegisterRow& row, int reg) {
    if (row.encoding == RegisterEncoding::Reserved)
        return 0;
    if (row.encoding == RegisterEncoding::Text) {
        const ConfigString* text = settingOf<ConfigString>(row);
        return text ? textPair(text->value, 2 * static_cast<size_t>(reg - row.first)) : 0;
    }
    if (row.encoding == RegisterEncoding::U16) {
        const ConfigSelect* select = settingOf<ConfigSelect>(row);
        return select ? lowWord(select->current) : 0;
    }
    const ConfigFloat* number = settingOf<ConfigFloat>(row);
    if (!number)
        return 0;
    switch (row.encoding) {
    case RegisterEncoding::Int:
        return lowWord(truncatedToInt(number->value));
    case RegisterEncoding::X100:
        return lowWord(hundredths(number->value));
    default: {
        int32_t raw = hundredths(number->value);
        return reg == row.first ? highWord(raw) : lowWord(raw);
    }
    }
}

int SMBusSlave::writeRegister(int reg, uint16_t value, bool last) {
    const HoldingRegisterRow* row = holdingRegisterRow(reg);
    if (!row)
        return kIllegalDataAddress;
    switch (row->encoding) {
    case RegisterEncoding::Reserved:
        return 0;
    case RegisterEncoding::Text: {
        std::string& scratch = row->first == kNameFirst ? nameScratch_ : commentScratch_;
        size_t position = 2 * static_cast<size_t>(reg - row->first);
        editTextByte(scratch, position, static_cast<uint8_t>(value >> 8));
        editTextByte(scratch, position + 1, static_cast<uint8_t>(value & 0xFF));
        return 0;
    }
    case RegisterEncoding::U16:
        if (ConfigSelect* select = settingOf<ConfigSelect>(*row))
            select->set(value);
        return 0;
    default:
        return writeSettingRegister(reg, value, last);
    }
}

int SMBusSlave::writeSettingRegister(int reg, uint16_t value, bool last) {
    const HoldingRegisterRow& row = *holdingRegisterRow(reg);
    ConfigFloat* number = settingOf<ConfigFloat>(row);
    if (!number)
        return 0;
    switch (row.encoding) {
    case RegisterEncoding::Int:
        // Integer registers read the integer and take it back as written.
        number->set(static_cast<float>(value));
        return 0;
    case RegisterEncoding::X100:
        number->set(fromHundredths(x100Written(*number, value)));
        return 0;
    default:
        break;
    }
    if (reg == row.first) {
        int32_t raw = withHighWord(hundredths(number->value), value);
        if (last) {
            number->set(fromHundredths(raw));
            return 0;
        }
        pendingPair_ = row.first;
        pendingValue_ = raw;
        return 0;
    }
    int32_t base = pendingPair_ == row.first ? pendingValue_ : hundredths(number->value);
    pendingPair_ = -1;
    number->set(fromHundredths(withLowWord(base, value)));
    return 0;
}

void SMBusSlave::beginWrite(int start, int count) {
    pendingPair_ = -1;
    if (start < kCommentFirst)
        nameScratch_ = gConfig->wellName.value;
    if (start < kTextsEnd && start + count > kCommentFirst)
        commentScratch_ = gConfig->wellComment.value;
}

int SMBusSlave::endWrite(int start, int count, int exceptionCode) {
    pendingPair_ = -1;
    if (exceptionCode != 0)
        return exceptionCode;
    bool name = start < kCommentFirst;
    bool comment = start < kTextsEnd && start + count > kCommentFirst;
    // Refused before either text changes; numbers written by the same request stay written.
    if ((name && !storableScratch(gConfig->wellName, nameScratch_, start, count)) ||
        (comment && !storableScratch(gConfig->wellComment, commentScratch_, start, count)))
        return kIllegalDataValue;
    if (name)
        gConfig->wellName.set(finishedText(nameScratch_));
    if (comment)
        gConfig->wellComment.set(finishedText(commentScratch_));
    return 0;
}

bool SMBusSlave::storableScratch(const ConfigString& text, const std::string& scratch, int start, int count) {
    if (isStorableText(finishedText(scratch)))
        return true;
    LOG_MSG(LOG_WARNING, kUnit,
            "refusing text of '%s' written to registers %d-%d: not UTF-8 or holds a control character",
            text.label.c_str(), start, start + count - 1);
    return false;
}
