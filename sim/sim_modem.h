#pragma once
// The simulated SIM5320 on the far end of the "/dev/ttyUSB2" pty: it answers AT commands as the module
// does (echo until "ATE0", "OK", "ERROR", "+CME ERROR:" on command), reports "+CSQ:" on its own and
// "+CPSI:" every 5 s once asked to, and streams $GPRMC and $GPGSV once a second with the simulated time
// and a position. Its controls make it silent or answer errors, drop or corrupt sentences, and bring
// "ppp0" up or down in the sandbox.

#include "core/epoller.h"
#include "core/timer_queue.h"
#include "platform/sim_modem_link.h"
#include "platform/unique_fd.h"

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

class SimModem : public EPoller {
public:
    enum class Reply { Ok, Error, CmeError, Silent };
    static constexpr uint32_t kSystemInfoPeriodMs = 5000;
    static constexpr uint32_t kSentencePeriodMs = 1000;
    // More than this without a carriage return is dropped.
    static constexpr size_t kMaxBuffered = 1024;

    // fd: the far end of the pty (not owned).
    SimModem(int fd, platform::SimModemLink& link);
    ~SimModem() override;

    void onEvents(uint32_t events) override;

    // How every command is answered from now on.
    void setReply(Reply reply) { reply_ = reply; }
    // Answers "ERROR" to the next `count` sendings of `command`, then as set.
    void failCommand(const std::string& command, int count);
    // rssi 0-31, or 99 (unknown); reported on its own once automatic reports are on.
    void setSignal(int rssi);
    void setOperator(const std::string& name) { operator_ = name; }
    // Fix or no fix; latitude "ddmm.mmmm" with N/S, longitude "dddmm.mmmm" with E/W.
    void setPosition(const std::string& latitude, char north, const std::string& longitude, char east);
    void setFix(bool fix) { fix_ = fix; }
    // The next `count` once-a-second bursts are not sent, or sent with a wrong checksum.
    void dropSentences(int count) { drop_ += count; }
    void corruptSentences(int count) { corrupt_ += count; }
    // Sends raw bytes, as a module misbehaving would.
    void sendRaw(const std::string& bytes) { send(bytes); }
    // "ppp0" of the sandbox.
    void setLink(bool up, const std::string& ipv4 = "10.64.1.17",
                 const std::string& ipv6Hex = "20010db8000000000000000000000011");

    // Bytes written to the line that its other end has not read yet. Bytes nobody reads (the daemon's port
    // is closed) stop counting after a few checks without progress. ptyPath: the daemon's side.
    bool inFlight();
    void watchDaemonSide(const std::string& ptyPath);

    // Commands the history keeps: a simulator that runs for days must not grow with every command.
    static constexpr size_t kHistoryKept = 1000;

    int commandsReceived() const { return commandsReceived_; }
    // The last kHistoryKept commands received, oldest first.
    const std::deque<std::string>& history() const { return history_; }
    const std::string& lastCommand() const { return lastCommand_; }
    int rssi() const { return rssi_; }

    // A sentence with its checksum: "$" + body + "*hh".
    static std::string withChecksum(const std::string& body);

private:
    void readInput();
    void answer(const std::string& command);
    void send(const std::string& text);
    void flush();
    void sendSystemInfo();
    void sendSentences();

    int fd_;
    platform::UniqueFd daemonSide_;
    int lastPending_ = 0;
    int stalledChecks_ = 0;
    platform::SimModemLink& link_;
    std::string input_;
    std::string output_;
    Reply reply_ = Reply::Ok;
    std::string failingCommand_;
    int failuresLeft_ = 0;
    bool echo_ = true;
    bool autoSignal_ = false;
    int rssi_ = 20;
    std::string operator_ = "MTS RUS";
    std::string latitude_ = "5545.1234";
    char north_ = 'N';
    std::string longitude_ = "03737.5678";
    char east_ = 'E';
    bool fix_ = true;
    int drop_ = 0;
    int corrupt_ = 0;
    std::deque<std::string> history_;
    int commandsReceived_ = 0;
    std::string lastCommand_;
    Timer systemInfoTimer_;
    Timer sentenceTimer_;
};
