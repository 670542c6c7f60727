#pragma once
// The SIM5320 cellular modem and GPS receiver on "/dev/ttyUSB2": power key, AT command queue with its
// time-out and retries, the PPP service, signal, network mode and operator, NMEA decoding, GPS time for
// the NTP daemon, and the panel page that shows it all. Every failure ends in a power cycle; it never
// gives up.

#include "core/epoller.h"
#include "core/sysfs_file.h"
#include "core/timer_queue.h"
#include "periph/nmea.h"
#include "platform/modem_link.h"
#include "ui/horizontal_menu_item.h"
#include "ui/layer.h"

#include <deque>
#include <string>
#include <vector>

class Config;
class Display;

class Sim5320 : public EPoller, public HorizontalMenuItem {
public:
    static constexpr uint32_t kPowerOnPulseMs = 65;
    static constexpr uint32_t kStartUpWaitMs = 15000;
    static constexpr uint32_t kPowerOffPulseMs = 650;
    static constexpr uint32_t kPowerOffPauseMs = 2000;
    static constexpr uint32_t kCommandTimeoutMs = 10000;
    static constexpr uint32_t kPppTimeoutMs = 300000;
    static constexpr int kMaxErrors = 10;
    static constexpr size_t kReadChunk = 256;
    // More than this without a line feed is noise: the buffer is dropped, so a module streaming
    // without line ends costs no memory.
    static constexpr size_t kMaxInputBuffered = 4096;
    static constexpr int kNoIcon = -1;

    // The page is built and the module powered on; display may be null (no panel).
    Sim5320(Config& config, platform::ModemLink& link, Display* display);
    // Cancels the timers, closes the port and switches the module off with a 650 ms pulse.
    ~Sim5320() override;

    void onEvents(uint32_t events) override;
    void activate(int index) override;
    // Down (35) shows the GPS half of the page, up (36) the network half.
    bool onKey(int key, bool pressed) override;

    // What the page shows, for the simulator and tests.
    const std::string& networkMode() const { return networkMode_; }
    const std::string& operatorName() const { return operator_; }
    int signalDbm() const { return signalDbm_; }
    std::string signalText() const;
    int antennaIcon() const { return iconIndex(signalDbm_); }
    bool connected() const { return connected_; }
    const std::string& ipv4() const { return ipv4_; }
    const std::string& ipv6() const { return ipv6_; }
    // The GPS area's texts: "Нет данных..." or time, date, latitude, longitude.
    const std::vector<std::string>& gpsTexts() const { return gpsTexts_; }
    const Layer& layer() const { return layer_; }
    bool iconVisible(int antenna) const { return antennas_[antenna].visible; }
    bool connectedIconVisible() const { return connectedIcon_.visible; }

    // The command queue, head first; the head is in flight.
    const std::deque<std::string>& commands() const { return commands_; }
    int errorCount() const { return errors_; }
    size_t inputBuffered() const { return input_.size(); }
    // Satellites' bars kept from $GPGSV messages: four a message, at most nine messages.
    size_t satelliteBarsKept() const { return bars_.size(); }
    bool portOpen() const { return port_ >= 0; }
    long smoothedSeconds() const { return receiveClock_.seconds(); }
    long smoothedMicroseconds() const { return receiveClock_.microseconds(); }

    // The area of the GPS half where the satellites' bars stand, in layer coordinates.
    static constexpr int kBarsTop = 64 + 33;
    static constexpr int kBarHeight = 25;

private:
    void powerOn();
    void powerOff();
    void openPort();
    void closePort();
    void startInit();
    void startPpp();
    void queueCommand(const std::string& command);
    // Queues `command` unless the same command already waits behind the one on the line.
    void queueUnlessWaiting(const std::string& command);
    void sendCommand();
    void writeOutput();
    void readInput();
    void processLine(const std::string& line);
    bool configurationChanged() const;
    void onOk();
    void onError();
    void onSignal(const std::string& line);
    void onSystemInfo(const std::string& line);
    void onNetworkMode(const std::string& line);
    void onOperator(const std::string& line);
    void onSatellites(const std::string& line);
    void onRecommendedMinimum(const std::string& line, bool checksumValid);
    void passTimeToNtp(const std::string& time, const std::string& date, const timeval& arrival);
    void checkPppLink();

    static int iconIndex(int dbm);
    void loadIcons();
    void drawPage();
    void placeLayers();
    void refresh();

    Config& config_;
    platform::ModemLink& link_;
    Display* display_;
    int port_ = -1;
    SysfsValueFile powerKey_;
    Timer stepTimer_;
    Timer pppTimer_;
    std::deque<std::string> commands_;
    std::string output_;
    std::string input_;
    int errors_ = 0;
    int signalDbm_ = 0;
    std::string apnInUse_;
    std::string pdpTypeInUse_;
    std::string ipv4_;
    std::string ipv6_;
    bool connected_ = false;
    ReceiveClock receiveClock_;

    std::string networkMode_;
    std::string operator_;
    std::vector<std::string> gpsTexts_;
    struct Bar {
        int satellite = 0;
        int snr = 0;
        bool set = false;
    };
    std::vector<Bar> bars_;
    Layer layer_;
    Layer antennas_[4];
    Layer connectedIcon_;
    Layer gpsIcon_;
    int scroll_ = 0;
};
