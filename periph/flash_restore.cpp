// Restoring the configuration from a drive: walk its folders, copy the chosen file beside the working
// configuration, check that it loads, and only then put it in place (the old one kept as ".bak") and
// restart.

#include "config/config_check.h"
#include "config/config_restore.h"
#include "core/log.h"
#include "periph/flash.h"
#include "periph/flash_pages.h"
#include "platform/platform.h"
#include "ui/keys.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

const char kUnit[] = "flash";
const char kConfigFile[] = "/etc/velkord";
const char kRestoredConfig[] = "/etc/velkord.tmp";

} // namespace

void FlashRestoreConfig::activate(int) {
    step_ = Step::kMounting;
    mountPoint_.clear();
    entries_.clear();
    flash_.actionStarted();
    marked_ = -1;
    showLines({"Монтируем файловую систему..."});
    send("MOUNT");
}

void FlashRestoreConfig::list(const std::string& directory) {
    directory_ = directory;
    entries_.clear();
    selected_ = 0;
    step_ = Step::kListing;
    send("READDIR " + directory);
}

void FlashRestoreConfig::generate() {
    if (step_ != Step::kChoosing) {
        LOG_MSG(LOG_ERR, kUnit, "FlashRestoreConfig::generate() called in unexpected state %d",
                static_cast<int>(step_));
        return;
    }
    int top = std::max(0, selected_ - kVisibleRows + 1);
    std::vector<std::string> lines;
    for (int i = top; i < static_cast<int>(entries_.size()) && i < top + kVisibleRows; ++i) {
        const std::string& entry = entries_[i];
        lines.push_back((entry[0] == 'D' ? "[" + entry.substr(1) + "]" : entry.substr(1)));
    }
    marked_ = entries_.empty() ? -1 : selected_ - top + 1;
    showLines(lines);
}

void FlashRestoreConfig::apply() {
    if (int error =
            putRestoredConfigInPlace(platform::rootPath(kRestoredConfig), platform::rootPath(kConfigFile))) {
        unmount({"Ошибка:", "не могу применить настройки", strerror(error)});
        return;
    }
    LOG_MSG(LOG_INFO, kUnit, "configuration restored from the drive, restarting");
    step_ = Step::kRestarting;
    marked_ = -1;
    showLines({"Выполняется рестарт..."});
    send("UMOUNT");
}

bool FlashRestoreConfig::onKey(int key, bool pressed) {
    if (!isShown() || !isPanelKey(key))
        return false;
    if (!pressed)
        return true;
    switch (step_) {
    case Step::kChoosing:
        if ((key == kKeyUp || key == kKeyDown) && !entries_.empty()) {
            int count = static_cast<int>(entries_.size());
            selected_ = (selected_ + (key == kKeyDown ? 1 : count - 1)) % count;
            generate();
        } else if (key == kKeyEnter && !entries_.empty()) {
            const std::string& entry = entries_[selected_];
            std::string name = entry.substr(1);
            if (entry[0] == 'D' && name == "..") {
                // Never above the drive.
                if (directory_ != mountPoint_)
                    list(directory_.substr(0, directory_.rfind('/')));
            } else if (entry[0] == 'D') {
                list(directory_ + "/" + name);
            } else {
                step_ = Step::kCopying;
                marked_ = -1;
                showLines({"Копирование файла настроек..."});
                send("RESTORECONFIG " + directory_ + "/" + name);
            }
        } else if (key == kKeyCancel) {
            unmount({});
        }
        return true;
    case Step::kConfirm:
        if (key == kKeyEnter)
            apply();
        else if (key == kKeyCancel) {
            ::unlink(platform::rootPath(kRestoredConfig).c_str());
            step_ = Step::kChoosing;
            generate();
        }
        return true;
    case Step::kRefused:
        if (key == kKeyCancel || key == kKeyEnter) {
            step_ = Step::kChoosing;
            generate();
        }
        return true;
    default:
        if (key == kKeyCancel && !busy_)
            close();
        return true;
    }
}

void FlashRestoreConfig::processThreadResponse(const std::string& line) {
    if (step_ == Step::kRestarting) {
        if (line == "OK" || line.compare(0, 6, "ERROR ") == 0) {
            finish();
            flash_.restart();
        }
        return;
    }
    if (unmountReply(line)) {
        if (!unmounting_ && result_.empty())
            close();
        return;
    }
    bool progress = line.compare(0, 9, "PROGRESS ") == 0;
    bool failed = line.compare(0, 6, "ERROR ") == 0;
    switch (step_) {
    case Step::kMounting:
        if (progress) {
            mountPoint_ = line.substr(9);
            return;
        }
        if (failed || mountPoint_.empty()) {
            if (!failed)
                LOG_MSG(LOG_ERR, kUnit,
                        "FlashRestoreConfig::processThreadResponse(): не получена точка монтирования!");
            step_ = Step::kChoosing;
            unmount({"Файловая система не найдена"});
            return;
        }
        list(mountPoint_);
        return;
    case Step::kListing:
        if (progress) {
            entries_.push_back(line.substr(9));
            return;
        }
        step_ = Step::kChoosing;
        busy_ = false;
        if (failed) {
            step_ = Step::kRefused;
            showLines(errorLines(line.substr(6)));
            return;
        }
        generate();
        return;
    case Step::kCopying: {
        if (progress)
            return;
        busy_ = false;
        if (failed) {
            step_ = Step::kRefused;
            std::vector<std::string> lines = errorLines(line.substr(6));
            lines.push_back("ОТМ - продолжить.");
            showLines(lines);
            return;
        }
        std::string reason;
        if (!checkMainConfigFile(platform::rootPath(kRestoredConfig), reason)) {
            LOG_MSG(LOG_WARNING, kUnit, "the chosen file is not a configuration: %s", reason.c_str());
            ::unlink(platform::rootPath(kRestoredConfig).c_str());
            step_ = Step::kRefused;
            showLines({"Файл не принят:", reason, "ОТМ - продолжить."});
            return;
        }
        step_ = Step::kConfirm;
        showLines({"Файл настроек скопирован.", "ВВОД - применить и рестарт;", "ОТМ - продолжить."});
        return;
    }
    default:
        return;
    }
}
