#pragma once
// "Просмотр журнала": the event journal six lines at a time, classified once per opening into the
// categories the operator filters by with check boxes. The file is read and classified in slices from
// a zero-delay timer, so that a full journal never holds up the loop.

#include "config/config_flags_group.h"
#include "core/timer_queue.h"
#include "ui/edit_checkbox_group.h"
#include "ui/journal_categories.h"
#include "ui/journal_reader.h"
#include "ui/screen_item.h"

#include <string>
#include <vector>

class LogViewer : public ScreenItem {
public:
    static constexpr int kShownLines = 6;
    static constexpr int kScrollStep = 20;
    // Lines read and classified per slice: a fraction of a millisecond on a PC, a few on the board,
    // whose 10 ms I/O exchange waits meanwhile.
    static constexpr size_t kLinesPerSlice = 100;

    // The journal at journalPath (in the board's file system) is read at each opening.
    explicit LogViewer(std::string journalPath);
    ~LogViewer() override;

    bool onKey(int key, bool pressed) override;
    void activate(int index) override;
    void deactivate() override;

    // True from the opening until the last line is classified.
    bool isLoading() const { return reader_.isOpen(); }
    bool failed() const { return failed_; }
    const std::vector<JournalEntry>& entries() const { return entries_; }
    int firstShown() const { return first_; }
    int offset() const { return offset_; }
    ConfigFlagsGroup& filter() { return filter_; }
    const EditCheckboxGroup& filterEditor() const { return editor_; }

private:
    void readSlice();
    void showError();
    void drawList();
    bool passes(int entry) const;
    // The first shown entry moved back, where needed, so that kShownLines passing entries are visible.
    void fillScreen();
    void scrollDown();
    void scrollUp();

    std::string path_;
    JournalClassifier classifier_;
    JournalReader reader_;
    Timer sliceTimer_;
    std::vector<std::string> lines_;
    std::vector<JournalEntry> entries_;
    int first_ = 0;
    int offset_ = 0;
    bool failed_ = false;
    ConfigFlagsGroup filter_;
    EditCheckboxGroup editor_;
};
