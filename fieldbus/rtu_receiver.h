#pragma once
// Frame-end detection of an RTU line: received bytes are gathered until the line has been silent for
// 50 ms (the timer "rtu_timeout"), then handed on as one frame.

#include "core/timer_queue.h"
#include "fieldbus/bytes.h"

#include <cstddef>
#include <functional>
#include <string>

class RtuReceiver {
public:
    static constexpr uint32_t kFrameEndMs = 50;
    // The longest RTU frame.
    static constexpr size_t kMaxFrameBytes = 256;
    using FrameHandler = std::function<void(Bytes frame)>;

    // `device` is the port's own name, followed as the port changes it: it must outlive the receiver.
    // A burst longer than `capacity` bytes cannot be what the line expects: the excess is not kept,
    // and at its end the whole burst is discarded with a warning naming `device`. So a line that never
    // falls silent (noise, a babbling device) costs no more memory than one burst.
    RtuReceiver(const std::string& device, size_t capacity, FrameHandler onFrame);

    void append(const uint8_t* data, size_t length);

    // Bytes kept of the burst being received, and all of its bytes, kept or not.
    size_t buffered() const { return buffer_.size(); }
    size_t burstLength() const { return buffer_.size() + droppedBytes_; }
    // Bursts discarded for their length since construction.
    uint32_t overlongBursts() const { return overlongBursts_; }

private:
    void frameEnded();

    const std::string& device_;
    const size_t capacity_;
    FrameHandler onFrame_;
    Bytes buffer_;
    size_t droppedBytes_ = 0;
    uint32_t overlongBursts_ = 0;
    Timer frameEnd_;
};
