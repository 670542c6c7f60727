#pragma once
// The newest lines of the event journal "/var/log/events", for the "journal" command.

#include <cstddef>
#include <string>
#include <vector>

// How many lines "journal" gives without "lines", and at most.
constexpr size_t kJournalLinesDefault = 200;
constexpr size_t kJournalLinesMax = 500;
// Only the journal's tail is read, so the loop is held up for one bounded read (the journal itself
// rotates at 1 MiB).
constexpr long kJournalTailBytes = 128 * 1024;

// Up to count lines, newest first; none when the journal cannot be read.
std::vector<std::string> journalTail(size_t count);
