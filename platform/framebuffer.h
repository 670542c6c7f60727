#pragma once
// The LCD's framebuffer device: screen information and the mapped pixel memory.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

struct FramebufferInfo {
    int xres = 0;
    int yres = 0;
    int bitsPerPixel = 0;
    int xoffset = 0;
    int yoffset = 0;
    int lineLength = 0; // bytes per row
};

// Which step of opening failed; the daemon reports it and ends with the step's exit status.
enum class FramebufferError { None, Open, FixedInfo, VariableInfo, Map };

class FramebufferDevice {
public:
    virtual ~FramebufferDevice() = default;

    // Opens the device, reads its screen information and maps its memory. On failure `error` holds
    // errno of the failing call.
    virtual FramebufferError open(int& error) = 0;
    virtual FramebufferInfo info() const = 0;
    // The mapped memory: bitsPerPixel * xres * yres / 8 bytes.
    virtual uint8_t* memory() = 0;
    virtual size_t size() const = 0;
    // Told after a whole frame has been written into memory().
    virtual void presented() {}
    virtual void close() = 0;
};

} // namespace platform
