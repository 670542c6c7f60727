#include "platform/local_serial_line.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/epoll.h>

namespace platform {

class LocalSerialLine::End : public SerialDevice, public LocalSource {
public:
    End(LocalSerialLine* line, bool port) : line_(line), port_(port) {}
    ~End() override {
        watch(0, nullptr);
        if (line_ && port_)
            line_->portClosed(this);
    }

    int descriptor() const override { return -1; }

    int getAttributes(termios& settings) override {
        if (!line_)
            return EIO;
        settings = line_->settings_;
        return 0;
    }

    int setAttributes(const termios& settings) override {
        if (!line_)
            return EIO;
        // Input that has arrived and was not read is dropped; characters still on the wire come.
        uint64_t now = line_->events_.nowUs();
        while (!input_.empty() && input_.front().arrivalUs <= now)
            input_.pop_front();
        line_->settings_ = settings;
        return 0;
    }

    ssize_t read(uint8_t* buffer, size_t size) override {
        if (!line_) {
            errno = EIO;
            return -1;
        }
        uint64_t now = line_->events_.nowUs();
        size_t count = 0;
        while (count < size && !input_.empty() && input_.front().arrivalUs <= now) {
            Burst& burst = input_.front();
            size_t taken = std::min(size - count, burst.bytes.size() - burst.readOffset);
            std::memcpy(buffer + count, burst.bytes.data() + burst.readOffset, taken);
            count += taken;
            burst.readOffset += taken;
            if (burst.readOffset == burst.bytes.size())
                input_.pop_front();
        }
        if (count == 0) {
            errno = EAGAIN;
            return -1;
        }
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const uint8_t* data, size_t size) override {
        if (!line_) {
            errno = EIO;
            return -1;
        }
        line_->transmit(*this, data, size);
        return static_cast<ssize_t>(size);
    }

    void watch(uint32_t events, ReadyHandler handler) override {
        watched_ = events;
        handler_ = std::move(handler);
        if (!line_)
            return;
        if (watched_ != 0 && handler_)
            line_->events_.add(this);
        else
            line_->events_.remove(this);
    }

    uint32_t readyEvents(uint64_t nowUs) override {
        uint32_t ready = watched_ & EPOLLOUT;
        if ((watched_ & EPOLLIN) && !input_.empty() && input_.front().arrivalUs <= nowUs)
            ready |= EPOLLIN;
        return ready;
    }

    uint64_t nextReadyUs() override {
        if (!(watched_ & EPOLLIN) || input_.empty())
            return kNever;
        return input_.front().arrivalUs;
    }

    void deliver(uint32_t events) override {
        // The handler may replace itself; it is kept alive for the call.
        ReadyHandler handler = handler_;
        if (handler)
            handler(events);
    }

    void receive(uint64_t arrivalUs, const uint8_t* data, size_t size) {
        input_.push_back(Burst{arrivalUs, std::vector<uint8_t>(data, data + size), 0});
    }

    void detach() {
        watch(0, nullptr);
        line_ = nullptr;
    }

private:
    struct Burst {
        uint64_t arrivalUs;
        std::vector<uint8_t> bytes;
        size_t readOffset;
    };

    LocalSerialLine* line_;
    const bool port_;
    uint32_t watched_ = 0;
    ReadyHandler handler_;
    std::deque<Burst> input_;
};

LocalSerialLine::LocalSerialLine(std::string devicePath, LocalEvents& events)
    : devicePath_(std::move(devicePath)), events_(events), far_(std::make_unique<End>(this, false)) {
    ::cfmakeraw(&settings_);
    ::cfsetispeed(&settings_, B9600);
    ::cfsetospeed(&settings_, B9600);
}

LocalSerialLine::~LocalSerialLine() {
    if (port_)
        port_->detach();
    far_->detach();
}

std::unique_ptr<SerialDevice> LocalSerialLine::openPort() {
    if (port_)
        port_->detach();
    auto port = std::make_unique<End>(this, true);
    port_ = port.get();
    return port;
}

SerialDevice& LocalSerialLine::farEnd() {
    return *far_;
}

void LocalSerialLine::portClosed(End* port) {
    if (port_ == port)
        port_ = nullptr;
}

void LocalSerialLine::transmit(End& from, const uint8_t* data, size_t size) {
    if (size == 0)
        return;
    uint64_t start = std::max(events_.nowUs(), busyUntilUs_);
    busyUntilUs_ = start + size * characterTimeUs(settings_);
    if (&from == far_.get()) {
        if (port_)
            port_->receive(busyUntilUs_, data, size);
        return;
    }
    far_->receive(busyUntilUs_, data, size);
    from.receive(busyUntilUs_, data, size);
}

} // namespace platform
