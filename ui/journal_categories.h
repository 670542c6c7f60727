#pragma once
// The categories of journal lines the log viewer filters by, found by partial matches of fixed
// expressions, and the text it shows for a line.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace pcrecpp {
class RE;
}

constexpr int kJournalCategoryCount = 8;
// The last category holds the lines no expression matches.
constexpr int kJournalOtherCategory = kJournalCategoryCount - 1;

// The category names, in flag order.
extern const std::array<const char*, kJournalCategoryCount> kJournalCategoryNames;

struct JournalEntry {
    std::string text;
    uint32_t categories = 0;
};

class JournalClassifier {
public:
    JournalClassifier();
    ~JournalClassifier();
    JournalClassifier(const JournalClassifier&) = delete;
    JournalClassifier& operator=(const JournalClassifier&) = delete;

    // Bit i for every expression i that matches anywhere in the line; the last bit when none does.
    uint32_t categories(const std::string& line) const;
    // The same without the check for each expression's required text, for comparison.
    uint32_t categoriesByExpressionsAlone(const std::string& line) const;
    // The line classified, with the text the viewer shows.
    JournalEntry entry(const std::string& line) const;

private:
    std::array<std::unique_ptr<pcrecpp::RE>, kJournalOtherCategory> expressions_;
};

// The line without its fifth word when that word is a source location ("file.cpp:123:"), as the
// entries written with a "%s:%d: " prefix carry it; the blank after the word goes with it.
std::string withoutSourceLocation(const std::string& line);
