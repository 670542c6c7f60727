// The panel's PGM loader: any file is refused or read into a layer of its stated size, holding exactly
// width x height pixels, without harm (a huge or hostile header cannot make it allocate much).

#include "tests/fuzz/fuzz_board.h"
#include "ui/layer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBoard& board = FuzzBoard::get();
    board.clearLog();
    std::string path = board.path("/usr/share/velkord/img/fuzz.pgm");
    writeWholeFile(path, std::string(reinterpret_cast<const char*>(data), size));
    Layer layer;
    if (!layer.loadPgm(path, true)) {
        FUZZ_CHECK(!board.logLines().empty(), "refused without a log line");
        return 0;
    }
    size_t pixels = static_cast<size_t>(layer.width()) * static_cast<size_t>(layer.height());
    FUZZ_CHECK(layer.pixels().size() == pixels, "pixels do not fill the picture");
    FUZZ_CHECK(pixels <= 0x100000, "a picture larger than the limit");
    return 0;
}
