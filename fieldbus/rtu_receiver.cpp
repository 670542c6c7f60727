#include "fieldbus/rtu_receiver.h"

#include "core/log.h"

#include <algorithm>

namespace {

const char kUnit[] = "smbus";

} // namespace

RtuReceiver::RtuReceiver(const std::string& device, size_t capacity, FrameHandler onFrame)
    : device_(device), capacity_(capacity), onFrame_(std::move(onFrame)) {
    buffer_.reserve(capacity_);
}

void RtuReceiver::append(const uint8_t* data, size_t length) {
    size_t kept = std::min(length, capacity_ - buffer_.size());
    buffer_.insert(buffer_.end(), data, data + kept);
    droppedBytes_ += length - kept;
    frameEnd_.start("rtu_timeout", kFrameEndMs, [this] { frameEnded(); });
}

void RtuReceiver::frameEnded() {
    Bytes frame;
    frame.swap(buffer_);
    buffer_.reserve(capacity_);
    if (droppedBytes_ > 0) {
        LOG_MSG(LOG_WARNING, kUnit, "%s: discarded %zu received bytes without a pause (at most %zu expected)",
                device_.c_str(), frame.size() + droppedBytes_, capacity_);
        droppedBytes_ = 0;
        ++overlongBursts_;
        return;
    }
    onFrame_(std::move(frame));
}
