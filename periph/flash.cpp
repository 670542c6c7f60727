#include "periph/flash.h"

#include "config/config.h"
#include "core/log.h"
#include "core/registry.h"
#include "periph/flash_files.h"
#include "periph/flash_pages.h"
#include "periph/flash_worker.h"
#include "platform/platform.h"
#include "ui/display.h"
#include "ui/keys.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

const char kUnit[] = "flash";
const char kTitle[] = "Портативный носитель";
const char kSpool[] = "/var/spool";
// The option of copyConfirmation that copies without asking.
constexpr int32_t kCopyWithoutAsking = 1;

void* workerMain(void* worker) {
    static_cast<FlashWorker*>(worker)->run();
    return nullptr;
}

bool makePipe(platform::UniqueFd& readEnd, platform::UniqueFd& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        LOG_MSG(LOG_ERR, kUnit, "pipe() error: %s", strerror(errno));
        return false;
    }
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    return true;
}

} // namespace

Flash::Flash(FlashServices services) : VerticalMenu(kTitle), services_(std::move(services)) {
    setConsumesLeftRight(false);
    setCancelCloses(false);
    message_ = std::make_unique<FlashMessage>(kTitle);
    pages_.push_back(std::make_unique<FlashSaveConfig>(*this));
    pages_.push_back(std::make_unique<FlashSaveLog>(*this, false));
    pages_.push_back(std::make_unique<FlashSaveLog>(*this, true));
    pages_.push_back(std::make_unique<FlashFileCopy>(*this));
    pages_.push_back(std::make_unique<FlashRestoreConfig>(*this));
    for (auto& page : pages_)
        addMenuItem(page.get());

    bool pipes = makePipe(commandRead_, commandWrite_) && makePipe(responseRead_, responseWrite_);
    if (pipes) {
        ::fcntl(responseRead_.get(), F_SETFL, ::fcntl(responseRead_.get(), F_GETFL) | O_NONBLOCK);
        ThreadClient::watch(responseRead_.get(), EPOLLIN);
    }
    netlink_ = std::make_unique<FlashNetlink>(services_.media, *this);
    bool present = !netlink_->disks().empty();
    enabled_ = present;
    services_.indicator.setIndicator(present ? MediaIndicator::Mode::kOn : MediaIndicator::Mode::kOff);

    rearmCheck();
    purgeTimer_.start("purge", kFirstPurgeMs, [this] { purge(); });
    if (pipes)
        startWorker();
}

Flash::~Flash() {
    checkTimer_.cancel();
    purgeTimer_.cancel();
    if (workerStarted_) {
        static const char kExit[] = "EXIT\n";
        if (::write(commandWrite_.get(), kExit, sizeof kExit - 1) < 0)
            commandWrite_.reset();
        pthread_join(worker_, nullptr);
    }
    update_.watch(-1, 0);
    ThreadClient::watch(-1, 0);
    message_->hideMessage();
}

void Flash::startWorker() {
    workerBody_ = std::make_unique<FlashWorker>(commandRead_.get(), responseWrite_.get(), services_.media);
    pthread_attr_t attributes;
    int result = pthread_attr_init(&attributes);
    if (result != 0) {
        LOG_MSG(LOG_ERR, kUnit, "pthread_attr_init() error: %d (%s)", result, strerror(result));
        return;
    }
    result = pthread_attr_setstacksize(&attributes, kWorkerStackBytes);
    if (result != 0)
        LOG_MSG(LOG_ERR, kUnit, "pthread_attr_setstacksize() error: %d (%s)", result, strerror(result));
    result = pthread_create(&worker_, &attributes, workerMain, workerBody_.get());
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        LOG_MSG(LOG_ERR, kUnit, "pthread_create() error: %d (%s)", result, strerror(result));
        return;
    }
    workerStarted_ = true;
    if (!services_.media.idleWorker())
        return;
    sched_param parameter{};
    parameter.sched_priority = sched_get_priority_min(SCHED_IDLE);
    result = pthread_setschedparam(worker_, SCHED_IDLE, &parameter);
    if (result != 0)
        LOG_MSG(LOG_ERR, kUnit, "pthread_setschedparam() error: %s", strerror(result));
}

void Flash::rearmCheck() {
    checkTimer_.start("flash", kCheckMs, [this] {
        checkMounts();
        rearmCheck();
    });
}

std::string Flash::destinationName() const {
    return safeDirectoryName(services_.config.wellName.value, services_.boardName);
}

void Flash::send(const std::string& command, FlashPage* client) {
    if (client)
        client_ = client;
    std::string line = command + "\n";
    if (!commandWrite_ ||
        ::write(commandWrite_.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        LOG_MSG(LOG_ERR, kUnit, "cannot send '%s' to the worker: %s", command.c_str(), strerror(errno));
}

void Flash::release(FlashPage* client) {
    if (client_ == client)
        client_ = nullptr;
}

void Flash::actionStarted() {
    if (actions_++ == 0)
        services_.indicator.setIndicator(MediaIndicator::Mode::kBlink);
}

void Flash::actionEnded() {
    if (actions_ == 0 || --actions_ > 0)
        return;
    services_.indicator.setIndicator(netlink_->disks().empty() ? MediaIndicator::Mode::kOff
                                                               : MediaIndicator::Mode::kOn);
}

void Flash::restart() {
    if (services_.restart)
        services_.restart();
}

void Flash::activate(int index) {
    if (gDisplay) {
        gDisplay->showPage(index);
        setPageOrigin(index * gDisplay->width());
    }
    VerticalMenu::activate(index);
    if (state_ != State::kIdle)
        message_->activate(index);
}

void Flash::bringForward() {
    if (MenuSet* set = parent())
        if (set->current() != index())
            set->activate(index());
}

void Flash::diskAdded(const std::string&, bool first) {
    services_.indicator.setIndicator(actions_ > 0 ? MediaIndicator::Mode::kBlink : MediaIndicator::Mode::kOn);
    services_.indicator.wakePanel();
    if (first)
        setEnabled(true);
}

void Flash::diskRemoved(const std::string&, bool last) {
    if (!last)
        return;
    services_.indicator.setIndicator(MediaIndicator::Mode::kOff);
    // A question asked for the drive ends its action with it: the worker has nothing of it to answer.
    if (state_ == State::kAskCopy || state_ == State::kAskUpdate)
        actionEnded();
    if (state_ != State::kIdle && state_ != State::kUpdating) {
        message_->hideMessage();
        state_ = State::kIdle;
    }
    setEnabled(false);
}

std::vector<std::string> Flash::dialogTexts() const {
    return state_ == State::kIdle ? std::vector<std::string>() : message_->lines();
}

void Flash::showDialog(State state, std::vector<std::string> lines, int percent) {
    state_ = state;
    bringForward();
    message_->showLines(std::move(lines), percent);
}

void Flash::showMenu() {
    state_ = State::kIdle;
    message_->hideMessage();
}

void Flash::checkMounts() {
    if (!services_.media.mountTableChanged())
        return;
    std::vector<std::string> points = readMediaMountPoints();
    std::set<std::string> now(points.begin(), points.end());
    for (const std::string& point : points) {
        if (seenMounts_.count(point))
            continue;
        seenMounts_.insert(point);
        // A mount made for an action under way is that action's.
        if (state_ != State::kIdle || client_ || actions_ > 0)
            continue;
        offerForDrive(point);
    }
    for (auto it = seenMounts_.begin(); it != seenMounts_.end();)
        it = now.count(*it) ? std::next(it) : seenMounts_.erase(it);
}

void Flash::offerForDrive(const std::string& mountPoint) {
    mountPoint_ = mountPoint;
    LOG_MSG(LOG_INFO, kUnit, "drive mounted at %s", mountPoint.c_str());
    actionStarted();
    packages_.clear();
    int error = 0;
    if (!findPackages(mountPoint, packages_, error))
        LOG_MSG(LOG_ERR, kUnit, "cannot open '%s': %s", mountPoint.c_str(), strerror(error));
    if (!packages_.empty()) {
        answerYes_ = true;
        showDialog(State::kAskUpdate, {"Обновить ПО?", "> Да", "  Нет"});
        return;
    }
    if (services_.config.timeIntAutoCopy.value <= 0) {
        unmountAndClose("Подождите...");
        resultLines_.clear();
        return;
    }
    if (services_.config.copyConfirmation.current == kCopyWithoutAsking) {
        startAutomaticCopy();
        return;
    }
    answerYes_ = true;
    showDialog(State::kAskCopy, {"Копировать динамограммы?", "> Да", "  Нет"});
}

void Flash::startAutomaticCopy() {
    long now = static_cast<long>(gPlatform->clock().wallTime().tv_sec);
    copyStart_ = now - static_cast<long>(services_.config.timeIntAutoCopy.value * kSecondsPerHour);
    cancelSent_ = false;
    send("DGPREFIX " + mountPoint_ + "/" + destinationName());
    send("COPYDG " + std::to_string(copyStart_));
    showDialog(State::kCopyingDynamograms, {"Копирование динамограмм:", "", "ОТМ - прервать копирование"}, 0);
}

void Flash::unmountAndClose(const std::string& text) {
    showDialog(State::kUnmounting, {text, "Размонтирование ФС..."});
    send("UMOUNT");
}

void Flash::processThreadResponse(const std::string& line) {
    if (client_) {
        client_->processThreadResponse(line);
        return;
    }
    handleOwnResponse(line);
}

void Flash::handleOwnResponse(const std::string& line) {
    bool ok = line == "OK";
    bool failed = line.compare(0, 6, "ERROR ") == 0;
    std::string progress = line.compare(0, 9, "PROGRESS ") == 0 ? line.substr(9) : std::string();
    switch (state_) {
    case State::kCopyingDynamograms:
    case State::kCopyingLog:
        if (failed) {
            resultLines_ = errorLines(line.substr(6));
            unmountAndClose("Подождите, размонтируем...");
            return;
        }
        if (!progress.empty()) {
            int percent = progressPercent(progress);
            std::vector<std::string> lines = message_->lines();
            if (lines.size() > 1)
                lines[1] = progress;
            message_->showLines(lines, percent >= 0 ? percent : message_->percent());
            return;
        }
        if (!ok)
            return;
        if (state_ == State::kCopyingDynamograms && !cancelSent_) {
            send("COPYLOG " + std::to_string(copyStart_));
            showDialog(State::kCopyingLog, {"Копирование журнала:", "", "ОТМ - прервать копирование"});
            return;
        }
        resultLines_ = cancelSent_
                           ? std::vector<std::string>{"Копирование прервано."}
                           : std::vector<std::string>{"Динамограммы и журнал", "записаны на носитель"};
        unmountAndClose("Подождите, размонтируем...");
        return;
    case State::kUnmounting:
        if (!ok && !failed)
            return;
        actionEnded();
        if (failed)
            resultLines_ = errorLines(line.substr(6));
        if (resultLines_.empty()) {
            showMenu();
            return;
        }
        showDialog(State::kResult, resultLines_);
        return;
    default:
        // A reply nobody waits for (its page was left): the worker is idle again.
        return;
    }
}

bool Flash::onKey(int key, bool pressed) {
    if (state_ == State::kIdle)
        return VerticalMenu::onKey(key, pressed);
    if (!isPanelKey(key))
        return false;
    if (key == kKeyLeft || key == kKeyRight)
        return true;
    if (!pressed)
        return true;
    switch (state_) {
    case State::kAskUpdate:
    case State::kAskCopy: {
        const char* question = state_ == State::kAskUpdate ? "Обновить ПО?" : "Копировать динамограммы?";
        if (key == kKeyUp || key == kKeyDown) {
            answerYes_ = !answerYes_;
            message_->showLines({question, answerYes_ ? "> Да" : "  Да", answerYes_ ? "  Нет" : "> Нет"});
            return true;
        }
        bool yes = key == kKeyEnter && answerYes_;
        if (key != kKeyEnter && key != kKeyCancel)
            return true;
        if (!yes) {
            resultLines_.clear();
            unmountAndClose("Подождите...");
        } else if (state_ == State::kAskUpdate) {
            startUpdate();
        } else {
            startAutomaticCopy();
        }
        return true;
    }
    case State::kCopyingDynamograms:
    case State::kCopyingLog:
        if (key == kKeyCancel && !cancelSent_) {
            cancelSent_ = true;
            send("CANCEL");
        }
        return true;
    case State::kUpdateDone:
    case State::kResult:
        if (key == kKeyCancel || key == kKeyEnter) {
            if (state_ == State::kUpdateDone) {
                resultLines_.clear();
                unmountAndClose("Подождите, размонтируем...");
            } else {
                showMenu();
            }
        }
        return true;
    default:
        return true;
    }
}

void Flash::startUpdate() {
    updateText_.clear();
    int error = 0;
    installer_ = services_.media.startInstaller(packages_, error);
    if (!installer_.output) {
        LOG_MSG(LOG_ERR, kUnit, "Не могу выполнить opkg install");
        resultLines_ = {"Не могу выполнить opkg install"};
        unmountAndClose("Подождите, размонтируем...");
        return;
    }
    LOG_MSG(LOG_INFO, kUnit, "installing %zu package(s) from %s", packages_.size(), mountPoint_.c_str());
    update_.watch(installer_.output.get(), EPOLLIN);
    showDialog(State::kUpdating, {"Обновление ПО..."});
}

void Flash::updateOutput(uint32_t events) {
    char chunk[kUpdateChunk];
    ssize_t length = ::read(installer_.output.get(), chunk, sizeof chunk);
    if (length > 0) {
        updateText_.append(chunk, static_cast<size_t>(length));
        return;
    }
    if (length < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return;
        LOG_MSG(LOG_ERR, kUnit, "error reading opkg output: %s", strerror(errno));
    }
    (void)events;
    finishUpdate();
}

void Flash::finishUpdate() {
    update_.watch(-1, 0);
    installer_.output.reset();
    installer_.pid = 0;
    updateText_ += "\nОбновление завершено.";
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t end; (end = updateText_.find('\n', begin)) != std::string::npos; begin = end + 1)
        lines.push_back(updateText_.substr(begin, end - begin));
    lines.push_back(updateText_.substr(begin));
    showDialog(State::kUpdateDone, lines);
}

void Flash::purge() {
    purgeTimer_.start("purge", kPurgeMs, [this] { purge(); });
    pid_t child = 0;
    if (startDynamogramPurge(platform::rootPath(kSpool), kDynamogramsKept, child) != 0) {
        LOG_MSG(LOG_ERR, kUnit, "fork error");
        return;
    }
    purgePid_ = child;
}
