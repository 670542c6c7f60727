#include "platform/sim_framebuffer.h"

#include <cstdio>
#include <memory>
#include <png.h>

namespace platform {

SimFramebuffer::SimFramebuffer(int width, int height, int bitsPerPixel) {
    info_.xres = width;
    info_.yres = height;
    info_.bitsPerPixel = bitsPerPixel;
    info_.lineLength = width * bitsPerPixel / 8;
    memory_.assign(static_cast<size_t>(info_.lineLength) * height, 0);
}

FramebufferError SimFramebuffer::open(int& error) {
    if (failStage_ != FramebufferError::None) {
        error = failError_;
        return failStage_;
    }
    open_ = true;
    return FramebufferError::None;
}

uint16_t SimFramebuffer::pixel(int x, int y) const {
    if (info_.bitsPerPixel != 16 || x < 0 || y < 0 || x >= info_.xres || y >= info_.yres)
        return 0;
    size_t offset = static_cast<size_t>(y) * info_.lineLength + static_cast<size_t>(x) * 2;
    return static_cast<uint16_t>(memory_[offset] | memory_[offset + 1] << 8);
}

bool SimFramebuffer::writePng(const std::string& path) const {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    // Everything with a destructor exists before setjmp, so an error jump leaks nothing.
    std::vector<png_byte> row(static_cast<size_t>(info_.xres) * 3);
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, info_.xres, info_.yres, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < info_.yres; ++y) {
        for (int x = 0; x < info_.xres; ++x) {
            uint16_t value = pixel(x, y);
            row[x * 3] = static_cast<png_byte>((value >> 11) << 3);
            row[x * 3 + 1] = static_cast<png_byte>(((value >> 5) & 0x3F) << 2);
            row[x * 3 + 2] = static_cast<png_byte>((value & 0x1F) << 3);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace platform
