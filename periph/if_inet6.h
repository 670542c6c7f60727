#pragma once
// The IPv6 address of an interface from a "/proc/net/if_inet6" listing: the first global address that
// is not deprecated, else the first such link-local one.

#include <string>

// The address as 32 hex digits in the listing's form, or empty text.
std::string interfaceIpv6Hex(const std::string& listingPath, const std::string& interface);
// "fe800000000000000000000000000001" -> "fe80::1"; empty stays empty.
std::string ipv6Text(const std::string& hex);
