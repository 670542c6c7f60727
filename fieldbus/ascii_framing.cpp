#include "fieldbus/ascii_framing.h"

#include "core/log.h"
#include "fieldbus/modbus_lrc.h"

namespace {

const char kUnit[] = "smbus";
const char kHexDigits[] = "0123456789ABCDEF";

void appendHex(Bytes& text, uint8_t byte) {
    text.push_back(static_cast<uint8_t>(kHexDigits[byte >> 4]));
    text.push_back(static_cast<uint8_t>(kHexDigits[byte & 0x0F]));
}

int hexValue(char digit) {
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    return -1;
}

} // namespace

Bytes asciiFrame(const uint8_t* pdu, size_t length) {
    Bytes text;
    text.reserve(2 * length + 2);
    for (size_t i = 0; i < length; ++i)
        appendHex(text, pdu[i]);
    appendHex(text, modbusLrc(pdu, length));
    return text;
}

bool decodeHexPairs(const std::string& text, Bytes& decoded) {
    decoded.clear();
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        int high = hexValue(text[i]);
        int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        decoded.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return true;
}

void AsciiMessageSplitter::append(const uint8_t* data, size_t length) {
    buffer_.append(reinterpret_cast<const char*>(data), length);
    // Every complete message is handed on: an echo and its answer may arrive in one read.
    for (;;) {
        size_t start = buffer_.find(':');
        if (start == std::string::npos) {
            buffer_.clear();
            return;
        }
        size_t end = buffer_.find("\r\n", start + 1);
        if (end == std::string::npos) {
            if (buffer_.size() > kMaxPending) {
                LOG_MSG(LOG_WARNING, kUnit, "message too long");
                buffer_.clear();
            }
            return;
        }
        std::string message = buffer_.substr(start + 1, end - start - 1);
        buffer_.erase(0, end + 2);
        onMessage_(message);
    }
}
