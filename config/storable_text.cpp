#include "config/storable_text.h"

#include <libxml/chvalid.h>
#include <libxml/xmlstring.h>

namespace {

// The length of the shortest UTF-8 form of a code point.
int shortestLength(int codePoint) {
    if (codePoint < 0x80)
        return 1;
    if (codePoint < 0x800)
        return 2;
    return codePoint < 0x10000 ? 3 : 4;
}

} // namespace

bool isStorableText(const std::string& text) {
    if (text.size() > kMaxSettingTextBytes)
        return false;
    const auto* bytes = reinterpret_cast<const xmlChar*>(text.data());
    size_t at = 0;
    while (at < text.size()) {
        int length = static_cast<int>(text.size() - at);
        int codePoint = xmlGetUTF8Char(bytes + at, &length);
        // The decoder takes overlong forms, which the parser refuses; XML has no surrogates,
        // U+FFFE or U+FFFF.
        if (codePoint < 0x20 || length != shortestLength(codePoint) || !xmlIsCharQ(codePoint))
            return false;
        at += static_cast<size_t>(length);
    }
    return true;
}
