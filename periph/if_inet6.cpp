#include "periph/if_inet6.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>

namespace {

constexpr unsigned kDeprecatedFlag = 0x20;
constexpr unsigned kScopeGlobal = 0;
constexpr unsigned kScopeLinkLocal = 0x20;
constexpr size_t kHexDigits = 32;

std::string findWithScope(const std::string& listingPath, const std::string& interface, unsigned scope) {
    FILE* file = std::fopen(listingPath.c_str(), "re");
    if (!file)
        return std::string();
    char address[33];
    char name[21];
    unsigned index, prefix, lineScope, flags;
    std::string found;
    while (std::fscanf(file, "%32s %02x %02x %02x %02x %20s\n", address, &index, &prefix, &lineScope, &flags,
                       name) == 6) {
        if (interface == name && (flags & kDeprecatedFlag) == 0 && lineScope == scope) {
            found = address;
            break;
        }
    }
    std::fclose(file);
    return found;
}

} // namespace

std::string interfaceIpv6Hex(const std::string& listingPath, const std::string& interface) {
    std::string global = findWithScope(listingPath, interface, kScopeGlobal);
    if (!global.empty())
        return global;
    return findWithScope(listingPath, interface, kScopeLinkLocal);
}

std::string ipv6Text(const std::string& hex) {
    if (hex.size() != kHexDigits)
        return std::string();
    in6_addr address;
    for (size_t i = 0; i < sizeof address.s6_addr; ++i) {
        unsigned byte = 0;
        if (std::sscanf(hex.c_str() + 2 * i, "%2x", &byte) != 1)
            return std::string();
        address.s6_addr[i] = static_cast<unsigned char>(byte);
    }
    char text[INET6_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET6, &address, text, sizeof text))
        return std::string();
    return text;
}
