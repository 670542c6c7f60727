// The log viewer's reading and classification of a full journal: a 1 MiB "/var/log/events" of the
// daemon's kinds of entries (each with its parameter line, as "Подробное" journalling writes them) is
// read and classified in one pass with every expression on every line, in one pass as the viewer
// classifies (an expression only on lines holding its required text), and in the viewer's slices.
// Prints the passes, the longest and the mean slice, whether all give the same entries, and the
// entries per category.
//
//   build/log-viewer-bench [RUNS]     (default 5)

#include "ui/journal_categories.h"
#include "ui/journal_reader.h"
#include "ui/log_viewer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kJournalBytes = 1048576;

const char* const kEvents[] = {
    "velkord started",
    "НУ1: переключатель режима работы: автомат",
    "Авария привода: Обрыв датчика нижнего положения НУ1",
    "Снятие аварии: Обрыв датчика нижнего положения НУ1",
    "Настройка 'Число качаний' изменена: 5.00 --> 6.00",
    "Изменено число качаний: 6.000000 --> 6.100000, Kнаполн=0.930000",
    "НУ2: помечена как неисправная",
    "АПВ НУ1",
    "Сброс счетчика АПВ",
    "Опция 'ДД' настройки 'Контроль работы' изменена: 'выкл' --> 'вкл'",
};

std::string parameterLine(int n) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "P=%.1f атм. G=%.1f кгс I1=%.1f A I2=н/д F1=%.1f Гц F2=н/д T=%.1f°C ЭК1=выкл ЭК2=выкл "
                  "ДВ=неактивен ДН=активен",
                  40.0 + n % 7, 3100.0 + n % 97, 12.0 + n % 5 / 10.0, 48.0 + n % 3, 41.5);
    return text;
}

// Entries until the file passes 1 MiB, as the journal does just before it is rotated.
size_t writeJournal(const std::string& path) {
    std::ofstream out(path);
    long written = 0;
    size_t lines = 0;
    for (int n = 0; written <= kJournalBytes; ++n) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "Dec %02d %02d:%02d:%02d ", 1 + n / 3000 % 28, n / 120 % 24,
                      n / 2 % 60, n % 60);
        std::string event = std::string(stamp) + kEvents[n % (sizeof kEvents / sizeof *kEvents)] + "\n";
        std::string parameters = std::string(stamp) + parameterLine(n) + "\n";
        out << event << parameters;
        written += static_cast<long>(event.size() + parameters.size());
        lines += 2;
    }
    return lines;
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Pass {
    double totalMs = 0;
    double longestSliceMs = 0;
    size_t slices = 0;
    std::vector<JournalEntry> entries;
};

Pass readPass(const std::string& path, size_t linesPerSlice, bool expressionsAlone) {
    Pass pass;
    JournalClassifier classifier;
    JournalReader reader;
    Clock::time_point start = Clock::now();
    if (!reader.open(path))
        return pass;
    std::vector<std::string> lines;
    for (;;) {
        Clock::time_point sliceStart = Clock::now();
        lines.clear();
        JournalReader::Status status = reader.read(linesPerSlice, lines);
        for (const std::string& line : lines) {
            if (!expressionsAlone) {
                pass.entries.push_back(classifier.entry(line));
                continue;
            }
            pass.entries.push_back(
                JournalEntry{withoutSourceLocation(line), classifier.categoriesByExpressionsAlone(line)});
        }
        pass.longestSliceMs = std::max(pass.longestSliceMs, msSince(sliceStart));
        ++pass.slices;
        if (status != JournalReader::Status::More)
            break;
    }
    pass.totalMs = msSince(start);
    return pass;
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs <= 0) {
        std::fprintf(stderr, "usage: log-viewer-bench [RUNS]\n");
        return 2;
    }
    char directory[] = "/tmp/log-viewer-bench-XXXXXX";
    if (!mkdtemp(directory)) {
        std::perror("mkdtemp");
        return 1;
    }
    std::string path = std::string(directory) + "/events";
    size_t lines = writeJournal(path);
    std::printf("journal: %zu lines\n", lines);

    struct Figures {
        double best = 1e9;
        double worst = 0;
        void add(double ms) {
            best = std::min(best, ms);
            worst = std::max(worst, ms);
        }
    };
    Figures plain;
    Figures whole;
    Figures longestSlice;
    double meanSlice = 0;
    Pass reference;
    Pass viewer;
    Pass sliced;
    for (int run = 0; run < runs; ++run) {
        reference = readPass(path, lines + 1, true);
        viewer = readPass(path, lines + 1, false);
        sliced = readPass(path, LogViewer::kLinesPerSlice, false);
        plain.add(reference.totalMs);
        whole.add(viewer.totalMs);
        longestSlice.add(sliced.longestSliceMs);
        meanSlice = sliced.totalMs / static_cast<double>(sliced.slices);
    }
    std::printf("one pass, every expression on every line: best %.1f ms, worst %.1f ms (%d runs)\n",
                plain.best, plain.worst, runs);
    std::printf("one pass, as the viewer classifies: best %.1f ms, worst %.1f ms\n", whole.best, whole.worst);
    std::printf("in slices of %zu lines: %zu slices, longest %.2f ms (best run) %.2f ms (worst run), "
                "mean %.2f ms\n",
                LogViewer::kLinesPerSlice, sliced.slices, longestSlice.best, longestSlice.worst, meanSlice);
    auto equal = [](const Pass& a, const Pass& b) {
        return a.entries.size() == b.entries.size() &&
               std::equal(a.entries.begin(), a.entries.end(), b.entries.begin(),
                          [](const JournalEntry& x, const JournalEntry& y) {
                              return x.text == y.text && x.categories == y.categories;
                          });
    };
    bool same = equal(reference, viewer) && equal(reference, sliced);
    std::printf("same entries all three ways: %s\n", same ? "yes" : "NO");
    const Pass& counted = reference;
    for (int category = 0; category < kJournalCategoryCount; ++category) {
        size_t count =
            std::count_if(counted.entries.begin(), counted.entries.end(),
                          [category](const JournalEntry& e) { return (e.categories >> category & 1) != 0; });
        std::printf("  %-30s %zu\n", kJournalCategoryNames[category], count);
    }
    unlink(path.c_str());
    rmdir(directory);
    return same ? 0 : 1;
}
