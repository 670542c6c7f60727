#pragma once
// Writing a configuration file so that a crash at any moment leaves a file that loads: the new content
// goes to a temporary file first, is flushed to disk, and only then replaces the file, whose previous
// version becomes the backup (path + ".bak").

#include <libxml/tree.h>
#include <string>

void saveWithBackup(xmlDoc* document, const std::string& path);
