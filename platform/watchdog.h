#pragma once
// The hardware watchdog: opened once, fed a keep-alive byte every loop pass, closed with the magic byte.

namespace platform {

class Watchdog {
public:
    virtual ~Watchdog() = default;

    // Opens the device write-only. Returns 0, or the errno value of the failed attempt.
    virtual int open() = 0;
    virtual bool isOpen() const = 0;
    virtual void write(char byte) = 0;
    virtual void close() = 0;
};

} // namespace platform
