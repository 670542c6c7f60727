#pragma once
// Putting a checked configuration file (one restored from a drive) in place of the working one, which
// becomes the backup as at every save, so that a crash at any moment leaves a file that loads.

#include <string>

// Renames restored over path, the working file becoming path + ".bak" unless it does not load (then
// the backup, which the loader fell back to, stays); 0, or the errno of the rename that failed (the
// working file is then as it was).
int putRestoredConfigInPlace(const std::string& restored, const std::string& path);
