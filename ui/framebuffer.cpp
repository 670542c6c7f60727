#include "ui/framebuffer.h"

#include <algorithm>

#include <cstdio>
#include <cstring>

int Framebuffer::open() {
    int error = 0;
    switch (device_.open(error)) {
    case platform::FramebufferError::None:
        break;
    case platform::FramebufferError::Open:
        std::fprintf(stderr, "Error: cannot open framebuffer device: %s\n", strerror(error));
        return 1;
    case platform::FramebufferError::FixedInfo:
        std::fprintf(stderr, "Error reading fixed information: %s\n", strerror(error));
        return 1;
    case platform::FramebufferError::VariableInfo:
        std::fprintf(stderr, "Error reading variable information: %s\n", strerror(error));
        return 1;
    case platform::FramebufferError::Map:
        std::fprintf(stderr, "Error: failed to map framebuffer device to memory: %s\n", strerror(error));
        return 4;
    }
    info_ = device_.info();
    std::printf("%dx%d, %dbpp\n", info_.xres, info_.yres, info_.bitsPerPixel);
    rect_ = Rect{0, info_.xres, 0, info_.yres};
    open_ = true;
    return 0;
}

void Framebuffer::close() {
    if (!open_)
        return;
    std::memset(device_.memory(), 0, device_.size());
    device_.presented();
    device_.close();
    open_ = false;
}

void Framebuffer::present(const Layer& layer, int32_t firstRow, int32_t endRow) {
    firstRow = std::max<int32_t>(firstRow, 0);
    endRow = std::min<int32_t>(endRow, rect_.height());
    if (!open_ || firstRow >= endRow)
        return;
    // The screen's own layer is kept between frames: no allocation per frame.
    if (work_.rect() == rect_)
        work_.clear();
    else
        work_ = Layer(rect_, true, kBlendOpaque);
    layer.compose(work_);
    const Layer& work = work_;
    if (info_.bitsPerPixel != 16) {
        std::fprintf(stderr, "Error: %d bits per pixel is not supported\n", info_.bitsPerPixel);
        return;
    }
    // A screen whose offsets or row length reach past the mapped memory is not written at all.
    size_t start =
        static_cast<size_t>(info_.xoffset) * 2 + static_cast<size_t>(info_.yoffset) * info_.lineLength;
    size_t end = start + static_cast<size_t>(rect_.height() - 1) * info_.lineLength + rect_.width() * 2;
    if (info_.xoffset < 0 || info_.yoffset < 0 || info_.lineLength < rect_.width() * 2 ||
        end > device_.size()) {
        std::fprintf(stderr, "Error: the screen does not fit the mapped framebuffer memory\n");
        return;
    }
    uint8_t* base = device_.memory() + start;
    for (int y = firstRow; y < endRow; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(base + y * info_.lineLength);
        const uint8_t* grey = &work.pixels()[static_cast<size_t>(y) * rect_.width()];
        for (int x = 0; x < rect_.width(); ++x)
            row[x] = rgb565FromGrey(grey[x]);
    }
    device_.presented();
}
