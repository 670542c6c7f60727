// Plain-text greyscale pictures (PGM "P2") read into a layer.

#include "core/log.h"
#include "ui/layer.h"

#include <climits>
#include <fstream>
#include <sstream>

namespace {

const char kUnit[] = "layer";
constexpr long long kMaxImagePixels = 0x100000;
// 255 x a grey level overflows beyond this maximum; levels of a larger maximum are scaled in long
// double (no real picture has one, but a file may say so).
constexpr long long kExactScaleLimit = LLONG_MAX / 255;

// The next line that is not a comment; false at end of file.
bool nextLine(std::istream& in, std::string& line) {
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind('#', 0) != 0)
            return true;
    }
    return false;
}

} // namespace

bool Layer::loadPgm(const std::string& path, bool visibleLayer) {
    colour = 255;
    mode = kBlendCoverage;
    visible = visibleLayer;
    std::ifstream in(path);
    std::string line;
    if (!nextLine(in, line) || line != "P2") {
        LOG_MSG(LOG_ERR, kUnit, "%s: unsupported image type (magic='%s')", path.c_str(), line.c_str());
        return false;
    }
    long long width = 0, height = 0, maxGrey = 0;
    if (!nextLine(in, line) || !(std::istringstream(line) >> width >> height) || width < 0 || height < 0) {
        LOG_MSG(LOG_ERR, kUnit, "%s: bad image size '%s'", path.c_str(), line.c_str());
        return false;
    }
    // Each side is checked first so the product cannot overflow.
    if (width > kMaxImagePixels || height > kMaxImagePixels || width * height > kMaxImagePixels) {
        LOG_MSG(LOG_ERR, kUnit, "%s: image size too big (%lldx%lld)", path.c_str(), width, height);
        return false;
    }
    // A maximum of 0 cannot scale anything: such a file is as unusable as a wrong header.
    if (!nextLine(in, line) || !(std::istringstream(line) >> maxGrey) || maxGrey <= 0) {
        LOG_MSG(LOG_ERR, kUnit, "%s: bad maximum grey value in '%s'", path.c_str(), line.c_str());
        return false;
    }
    rect_ = Rect{0, static_cast<int32_t>(width), 0, static_cast<int32_t>(height)};
    pixels_.assign(static_cast<size_t>(width * height), 0);

    long long count = 0;
    while (nextLine(in, line)) {
        std::istringstream values(line);
        long long value = 0;
        while (values >> value) {
            if (count < width * height) {
                long long level = std::max(0LL, std::min(value, maxGrey));
                long long grey = maxGrey <= kExactScaleLimit
                                     ? 255 * level / maxGrey
                                     : static_cast<long long>(255.0L * static_cast<long double>(level) /
                                                              static_cast<long double>(maxGrey));
                pixels_[static_cast<size_t>(count)] = static_cast<uint8_t>(std::min(grey, 255LL));
            }
            ++count;
        }
    }
    if (count != width * height)
        LOG_MSG(LOG_ERR, kUnit, "%s: incorrect number of pixels (%lld != %lld x %lld)", path.c_str(), count,
                width, height);
    return true;
}
