#pragma once
// The pages of the portable-media menu. Each talks to the worker through its Flash: it sends commands
// and gets the replies until it releases the worker; every action ends with "UMOUNT".

#include "ui/screen_item.h"

#include <ctime>
#include <string>
#include <vector>

class Flash;

// A full-screen page of text lines under the title, with an optional progress bar.
class FlashMessage : public ScreenItem {
public:
    explicit FlashMessage(std::string title = std::string()) : ScreenItem(std::move(title)) {}
    void activate(int index) override;
    // Shows the lines (and a bar for a percentage of 0 … 100).
    void showLines(std::vector<std::string> lines, int percent = -1);
    void hideMessage() { hide(); }
    const std::vector<std::string>& lines() const { return lines_; }
    int percent() const { return percent_; }

protected:
    void showOnScreen();
    void draw();
    std::vector<std::string> lines_;
    int percent_ = -1;
    // A marked row drawn inverted (-1 none).
    int marked_ = -1;
};

// The text after "ERROR ": "Ошибка:" and the message split at its "\r".
std::vector<std::string> errorLines(const std::string& reply);
// The percentage at the start of a progress text ("50% (1 из 2)"), -1 without one.
int progressPercent(const std::string& text);

class FlashPage : public FlashMessage {
public:
    FlashPage(std::string title, Flash& flash) : FlashMessage(std::move(title)), flash_(flash) {}
    virtual void processThreadResponse(const std::string& line) = 0;
    bool busy() const { return busy_; }

protected:
    // Sends a command with this page as the receiver of the replies.
    void send(const std::string& command);
    // Ends the action: "UMOUNT", then the result lines are shown.
    void unmount(std::vector<std::string> result);
    // The replies of "UMOUNT" after unmount(); true when the line was one.
    bool unmountReply(const std::string& line);
    void finish();
    bool closeOnCancel(int key, bool pressed);

    Flash& flash_;
    bool busy_ = false;
    bool unmounting_ = false;
    std::vector<std::string> result_;
};

class FlashSaveConfig : public FlashPage {
public:
    explicit FlashSaveConfig(Flash& flash) : FlashPage("Сохранить конфигурацию...", flash) {}
    void activate(int index) override;
    bool onKey(int key, bool pressed) override;
    void processThreadResponse(const std::string& line) override;
};

// The system log or the event journal between two dates.
class FlashSaveLog : public FlashPage {
public:
    static constexpr int kDefaultDays = 7;
    static constexpr long kDaySeconds = 86400;
    FlashSaveLog(Flash& flash, bool events);
    void activate(int index) override;
    bool onKey(int key, bool pressed) override;
    void processThreadResponse(const std::string& line) override;
    // The range's first and last day (midnight of each, local time), for tests.
    void setRange(time_t from, time_t to);
    time_t from() const { return from_; }
    time_t to() const { return to_; }

private:
    void drawDates();
    bool events_;
    time_t from_ = 0;
    time_t to_ = 0;
    // 0 edits "c:", 1 edits "по:"; 2 and on: copying.
    int field_ = 0;
    std::string mountPoint_;
};

class FlashFileCopy : public FlashPage {
public:
    static constexpr int kVisibleRows = 4;
    explicit FlashFileCopy(Flash& flash) : FlashPage("Копировать динамограммы...", flash) {}
    void activate(int index) override;
    bool onKey(int key, bool pressed) override;
    void processThreadResponse(const std::string& line) override;
    const std::vector<std::string>& files() const { return files_; }

private:
    enum class Step { kListing, kChoosing, kMounting, kCopying, kDone };
    void generate();
    Step step_ = Step::kListing;
    std::vector<std::string> files_;
    int selected_ = 0;
    std::string mountPoint_;
};

class FlashRestoreConfig : public FlashPage {
public:
    static constexpr int kVisibleRows = 4;
    explicit FlashRestoreConfig(Flash& flash) : FlashPage("Загрузить настройки...", flash) {}
    void activate(int index) override;
    bool onKey(int key, bool pressed) override;
    void processThreadResponse(const std::string& line) override;
    const std::vector<std::string>& entries() const { return entries_; }
    const std::string& directory() const { return directory_; }

private:
    enum class Step { kMounting, kListing, kChoosing, kCopying, kConfirm, kRefused, kRestarting };
    void generate();
    void list(const std::string& directory);
    void apply();
    Step step_ = Step::kMounting;
    std::string mountPoint_;
    std::string directory_;
    std::vector<std::string> entries_;
    int selected_ = 0;
};
