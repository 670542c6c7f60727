#pragma once
// ASCII frames: ":" + two upper-case hexadecimal digits per PDU byte + the LRC + "\r\n".

#include "fieldbus/bytes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The frame text of a PDU without ":" and "\r\n": the hexadecimal PDU followed by its LRC.
Bytes asciiFrame(const uint8_t* pdu, size_t length);

// Decodes pairs of hexadecimal digits of either case; false at the first other character.
bool decodeHexPairs(const std::string& text, Bytes& decoded);

// Cuts the received bytes of an ASCII line into messages, the text between ":" and "\r\n".
class AsciiMessageSplitter {
public:
    // A start without its end is given up, with a warning, once this many bytes wait.
    static constexpr size_t kMaxPending = 2048;
    using MessageHandler = std::function<void(const std::string& message)>;

    explicit AsciiMessageSplitter(MessageHandler onMessage) : onMessage_(std::move(onMessage)) {}

    // Appends received bytes and hands on every message they complete, in order.
    void append(const uint8_t* data, size_t length);
    size_t pending() const { return buffer_.size(); }

private:
    MessageHandler onMessage_;
    std::string buffer_;
};
