// Writes the Modbus register map document (docs/modbus-map.md) to standard output.

#include "fieldbus/register_map_doc.h"

#include <cstdio>

int main() {
    std::string text = registerMapMarkdown();
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
