#pragma once
// The portable-media worker: runs on its own thread, reads command lines from one pipe and answers on
// another ("PROGRESS " + text, "OK", "ERROR " + message + ":\r" + detail). It touches only files, the
// platform's mounting, and the two pipes; never a panel object.

#include "platform/media.h"

#include <ctime>
#include <deque>
#include <string>

class FlashWorker {
public:
    static constexpr size_t kCopyBlockBytes = 16384;
    static constexpr size_t kReadChunk = 1024;
    static constexpr int kFirstLogIndex = 100;

    FlashWorker(int commandFd, int responseFd, platform::Media& media)
        : commandFd_(commandFd), responseFd_(responseFd), media_(media) {}

    // Serves commands until "EXIT" or the command pipe closes.
    void run();

    // One command line without its line end; false for "EXIT".
    bool execute(const std::string& line);

private:
    bool nextCommand(std::string& line);
    bool readCommands(int timeoutMs);
    // True when a "CANCEL" is waiting (taken) or "EXIT" (left for the loop); other commands that
    // arrived meanwhile wait their turn.
    bool cancelRequested();

    void reply(const std::string& line);
    void progress(const std::string& text) { reply("PROGRESS " + text); }
    void error(const std::string& message, const std::string& detail) {
        reply("ERROR " + message + ":\r" + detail);
    }

    // Mounts the first usable partition; the mount point, or empty.
    std::string mountFirst();
    // Unmounts every drive under "/run/media/"; 0 or the first errno, with its mount point.
    int unmountAll(std::string& failed);

    void mount();
    void umount();
    void copyDynamograms(const std::string& argument);
    void copyLog(const std::string& argument);
    void copyLogByDates(const std::string& argument, bool events);
    void listDynamograms();
    void copyDynamogram(const std::string& name);
    void readDirectory(const std::string& directory);
    void saveConfig(const std::string& directory);
    void restoreConfig(const std::string& file);

    // Makes a board directory with mode 0755 when missing; 0 or the errno.
    int makeDirectory(const std::string& directory);
    // A path the command gave, resolved on the drive and made there when missing; 0 or the errno
    // (EACCES for a path that leaves the drive).
    int makeDirectoryOnDrive(const std::string& given, std::string& resolved);
    // Copies in blocks, checking for "CANCEL" between blocks when asked; 0, or the errno, or -1 when
    // cancelled. Paths are on the host.
    int copyFile(const std::string& from, int toFd, bool cancellable, bool& cancelled);

    int commandFd_;
    int responseFd_;
    platform::Media& media_;
    std::deque<std::string> pending_;
    std::string input_;
    bool closed_ = false;
    // Destination directory of copies (a board path), set by "DGPREFIX".
    std::string prefix_;
};
