#include "ui/journal_categories.h"

#include <cctype>
#include <pcrecpp.h>

const std::array<const char*, kJournalCategoryCount> kJournalCategoryNames = {
    "запуск программы",
    "переключатель режима работы",
    "аварии",
    "изменение настроек",
    "изменение числа качаний",
    "пометки неисправности",
    "текущее состояние привода",
    "все остальное",
};

namespace {

struct CategoryExpression {
    const char* expression;
    // A text every match contains: lines without it are not handed to the expression, which spares
    // most of the matching (an unanchored class or ".*" tries every position of the line).
    const char* required;
};

const std::array<CategoryExpression, kJournalOtherCategory> kExpressions = {{
    {"velkord started", "velkord started"},
    {"переключатель режима работы:", "переключатель режима работы:"},
    {"[Аа]вари", "вари"},
    {"Настройка '.*' изменена:", "' изменена:"},
    {"Изменено число качаний:", "Изменено число качаний:"},
    {"помечена как (не)?исправная", "помечена как "},
    {"I1=.* I2=.* F1=.* F2=", " F2="},
}};

constexpr int kLocationWord = 5;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '+';
}

// "name.ext:123:": a file name with an extension, a colon, a line number and a colon.
bool isSourceLocation(const std::string& word) {
    size_t colon = word.find(':');
    if (colon == std::string::npos || colon == 0 || word.back() != ':' || colon + 2 >= word.size())
        return false;
    size_t dot = word.rfind('.', colon);
    if (dot == std::string::npos || dot == 0 || dot + 1 == colon)
        return false;
    for (size_t i = 0; i < colon; ++i)
        if (i != dot && !isNameCharacter(word[i]) && word[i] != '.')
            return false;
    for (size_t i = colon + 1; i + 1 < word.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

} // namespace

JournalClassifier::JournalClassifier() {
    pcrecpp::RE_Options options;
    options.set_utf8(true);
    for (size_t n = 0; n < kExpressions.size(); ++n)
        expressions_[n] = std::make_unique<pcrecpp::RE>(kExpressions[n].expression, options);
}

JournalClassifier::~JournalClassifier() = default;

uint32_t JournalClassifier::categories(const std::string& line) const {
    uint32_t mask = 0;
    for (size_t n = 0; n < expressions_.size(); ++n)
        if (line.find(kExpressions[n].required) != std::string::npos && expressions_[n]->PartialMatch(line))
            mask |= uint32_t{1} << n;
    return mask != 0 ? mask : uint32_t{1} << kJournalOtherCategory;
}

uint32_t JournalClassifier::categoriesByExpressionsAlone(const std::string& line) const {
    uint32_t mask = 0;
    for (size_t n = 0; n < expressions_.size(); ++n)
        if (expressions_[n]->PartialMatch(line))
            mask |= uint32_t{1} << n;
    return mask != 0 ? mask : uint32_t{1} << kJournalOtherCategory;
}

JournalEntry JournalClassifier::entry(const std::string& line) const {
    return JournalEntry{withoutSourceLocation(line), categories(line)};
}

std::string withoutSourceLocation(const std::string& line) {
    size_t position = 0;
    for (int word = 1; position < line.size(); ++word) {
        while (position < line.size() && isBlank(line[position]))
            ++position;
        size_t end = position;
        while (end < line.size() && !isBlank(line[end]))
            ++end;
        if (word < kLocationWord) {
            position = end;
            continue;
        }
        if (end == position || !isSourceLocation(line.substr(position, end - position)))
            return line;
        if (end < line.size())
            ++end;
        return line.substr(0, position) + line.substr(end);
    }
    return line;
}
