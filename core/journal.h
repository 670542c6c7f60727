#pragma once
// The event journal "/var/log/events": stamped operator events, rotated into 20 history files.

#include <functional>
#include <string>

// Past this size the journal is moved to "/var/log/events.0".
constexpr long kJournalRotateBytes = 1048576;
constexpr int kJournalHistoryFiles = 20;

// One journal entry; also sent to syslog. Priority 6 for events, 3 for drive alarms.
void journalPrintf(int priority, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Source of the detailed parameter line written after each entry. It returns the text after the
// stamp (without the line end), or an empty text when no such line is due (the controller decides from its
// settings).
using JournalParameterLine = std::function<std::string()>;
void setJournalParameterLine(JournalParameterLine source);

// Closes the journal descriptor, for shutdown and tests.
void journalClose();
