#pragma once
// Portable media ("Портативный носитель"): the panel menu of USB drive actions and its dialogs, the
// worker thread doing the file work behind two pipes, the uevent listener, the periodic look at
// "/proc/mounts" ("flash", every second), the hourly purge of old dynamograms ("purge"), and the
// software update from packages on a drive.

#include "core/timer_queue.h"
#include "periph/flash_netlink.h"
#include "periph/thread_client.h"
#include "platform/media.h"
#include "ui/vertical_menu.h"

#include <functional>
#include <memory>
#include <pthread.h>
#include <set>
#include <string>
#include <vector>

class Config;
class FlashPage;
class FlashMessage;
class FlashWorker;

// The indicator of portable media (discrete output 28) and the panel's wake-up (as input 27, the
// panel-enable input, at level 1).
class MediaIndicator {
public:
    enum class Mode { kOff, kOn, kBlink };
    virtual ~MediaIndicator() = default;
    virtual void setIndicator(Mode mode) = 0;
    virtual void wakePanel() = 0;
};

struct FlashServices {
    Config& config;
    platform::Media& media;
    MediaIndicator& indicator;
    // The suffix of the destination directory's name after the well name (the serial number).
    std::string boardName;
    // Restarts the daemon so that it reads its configuration anew.
    std::function<void()> restart;
};

class Flash : public VerticalMenu, public ThreadClient, public DiskListener {
public:
    static constexpr uint32_t kCheckMs = 1000;
    static constexpr uint32_t kFirstPurgeMs = 100000;
    static constexpr uint32_t kPurgeMs = 3600000;
    static constexpr size_t kWorkerStackBytes = 0x100000;
    static constexpr size_t kUpdateChunk = 256;
    static constexpr uint32_t kSecondsPerHour = 3600;

    // The dialogs' states; kIdle shows the menu.
    enum class State {
        kIdle,
        kAskUpdate,
        kAskCopy,
        kCopyingDynamograms,
        kCopyingLog,
        kUpdating,
        kUpdateDone,
        kUnmounting,
        kResult,
    };

    explicit Flash(FlashServices services);
    // Ends the worker ("EXIT"), cancels the timers, closes the update stream.
    ~Flash() override;

    // The root page set shows it as a page.
    void activate(int index) override;
    bool onKey(int key, bool pressed) override;
    void diskAdded(const std::string& disk, bool first) override;
    void diskRemoved(const std::string& disk, bool last) override;

    // A page sends a command on its own behalf: the replies go to it until it releases the worker.
    void send(const std::string& command, FlashPage* client = nullptr);
    void release(FlashPage* client);
    // The indicator blinks while an action runs.
    void actionStarted();
    void actionEnded();
    // The directory made on the drive for this well.
    std::string destinationName() const;
    Config& config() { return services_.config; }
    void restart();

    // For the simulator and tests.
    State state() const { return state_; }
    bool workerRunning() const { return workerStarted_; }
    const std::set<std::string>& disks() const { return netlink_->disks(); }
    const std::string& mountPoint() const { return mountPoint_; }
    const std::string& updateText() const { return updateText_; }
    std::vector<std::string> dialogTexts() const;
    pid_t lastPurgePid() const { return purgePid_; }
    const FlashMessage& dialog() const { return *message_; }
    // Runs the periodic check or the purge now.
    void checkMounts();
    void purge();

protected:
    void processThreadResponse(const std::string& line) override;

private:
    class UpdateStream : public EPoller {
    public:
        explicit UpdateStream(Flash& owner) : owner_(owner) {}
        void onEvents(uint32_t events) override { owner_.updateOutput(events); }

    private:
        Flash& owner_;
    };

    void startWorker();
    void offerForDrive(const std::string& mountPoint);
    void startAutomaticCopy();
    void startUpdate();
    void updateOutput(uint32_t events);
    void finishUpdate();
    void unmountAndClose(const std::string& text);
    void handleOwnResponse(const std::string& line);
    void showDialog(State state, std::vector<std::string> lines, int progressPercent = -1);
    void showMenu();
    void bringForward();
    void rearmCheck();

    FlashServices services_;
    std::unique_ptr<FlashMessage> message_;
    std::vector<std::unique_ptr<FlashPage>> pages_;
    platform::UniqueFd commandRead_;
    platform::UniqueFd commandWrite_;
    platform::UniqueFd responseRead_;
    platform::UniqueFd responseWrite_;
    std::unique_ptr<FlashWorker> workerBody_;
    pthread_t worker_{};
    bool workerStarted_ = false;
    bool answerYes_ = true;
    std::vector<std::string> resultLines_;
    std::unique_ptr<FlashNetlink> netlink_;
    FlashPage* client_ = nullptr;
    State state_ = State::kIdle;
    std::string mountPoint_;
    std::set<std::string> seenMounts_;
    std::vector<std::string> packages_;
    long copyStart_ = 0;
    bool cancelSent_ = false;
    UpdateStream update_{*this};
    platform::InstallerRun installer_;
    std::string updateText_;
    Timer checkTimer_;
    Timer purgeTimer_;
    pid_t purgePid_ = 0;
    int actions_ = 0;
};
