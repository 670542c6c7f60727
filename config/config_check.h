#pragma once
// Whether a file can stand as the main configuration: it loads as the configuration loader reads the
// main file (well-formed, within the size limit, no entity declarations), its root is "config", and it
// holds at least one of the main file's setting groups. A file that fails would be replaced by the
// backup or by defaults at the next start, so it must not be put in place of the working one.

#include <string>

bool checkMainConfigFile(const std::string& path, std::string& reason);
