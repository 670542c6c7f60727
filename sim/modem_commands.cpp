// Control commands of the simulated SIM5320 ("modem ..."):
//   modem signal RSSI              0-31, or 99 for no reading; reported by the module on its own
//   modem reply ok|error|cme|silent  how every command is answered from now on
//   modem fail COMMAND N           "ERROR" to the next N sendings of COMMAND
//   modem drop N | corrupt N       the next N once-a-second bursts are lost, or carry wrong checksums
//   modem fix on|off               the GPS has a position or not
//   modem position LAT N|S LON E|W  "5545.1234 N 03737.5678 E"
//   modem ppp up [IPV4 [IPV6HEX]] | ppp down   "ppp0" of the sandbox
//   modem ntp                      the sandbox's NTP segment: "ok valid=1 clock=SEC.USEC receive=SEC.USEC"
//   modem status                   "ok commands=N last=COMMAND rssi=N"

#include "sim/sim_session.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Arguments = std::vector<std::string>;

int count(const std::string& text) {
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

std::string ntpText(platform::SimModemLink& link) {
    platform::NtpShmTime segment;
    if (!link.readNtpSegment(segment))
        return "error no NTP segment";
    return "ok valid=" + std::to_string(segment.valid) +
           " clock=" + std::to_string(segment.clockTimeStampSec) + "." +
           std::to_string(segment.clockTimeStampUSec) +
           " receive=" + std::to_string(segment.receiveTimeStampSec) + "." +
           std::to_string(segment.receiveTimeStampUSec) + " precision=" + std::to_string(segment.precision);
}

std::string pppCommand(SimModem& modem, const Arguments& arguments) {
    if (arguments.size() >= 2 && arguments[1] == "down") {
        modem.setLink(false);
        return "ok";
    }
    if (arguments.size() < 2 || arguments[1] != "up")
        return "error usage: modem ppp up [IPV4 [IPV6HEX]] | modem ppp down";
    if (arguments.size() == 2)
        modem.setLink(true);
    else if (arguments.size() == 3)
        modem.setLink(true, arguments[2], "");
    else
        modem.setLink(true, arguments[2], arguments[3]);
    return "ok";
}

std::string replyCommand(SimModem& modem, const std::string& how) {
    if (how == "ok")
        modem.setReply(SimModem::Reply::Ok);
    else if (how == "error")
        modem.setReply(SimModem::Reply::Error);
    else if (how == "cme")
        modem.setReply(SimModem::Reply::CmeError);
    else if (how == "silent")
        modem.setReply(SimModem::Reply::Silent);
    else
        return "error usage: modem reply ok|error|cme|silent";
    return "ok";
}

} // namespace

void addModemCommands(ControlServer& control, SimModem& modem, platform::SimModemLink& link) {
    control.addCommand("modem", [&modem, &link](const Arguments& arguments) -> std::string {
        if (arguments.empty())
            return "error usage: modem signal|reply|fail|drop|corrupt|fix|position|ppp|ntp|status ...";
        const std::string& what = arguments[0];
        if (what == "signal" && arguments.size() == 2) {
            modem.setSignal(count(arguments[1]));
            return "ok";
        }
        if (what == "reply" && arguments.size() == 2)
            return replyCommand(modem, arguments[1]);
        if (what == "fail" && arguments.size() == 3) {
            modem.failCommand(arguments[1], count(arguments[2]));
            return "ok";
        }
        if (what == "drop" && arguments.size() == 2) {
            modem.dropSentences(count(arguments[1]));
            return "ok";
        }
        if (what == "corrupt" && arguments.size() == 2) {
            modem.corruptSentences(count(arguments[1]));
            return "ok";
        }
        if (what == "fix" && arguments.size() == 2) {
            modem.setFix(arguments[1] == "on");
            return "ok";
        }
        if (what == "position" && arguments.size() == 5) {
            modem.setPosition(arguments[1], arguments[2][0], arguments[3], arguments[4][0]);
            return "ok";
        }
        if (what == "ppp")
            return pppCommand(modem, arguments);
        if (what == "ntp")
            return ntpText(link);
        if (what == "status")
            return "ok commands=" + std::to_string(modem.commandsReceived()) +
                   " last=" + modem.lastCommand() + " rssi=" + std::to_string(modem.rssi());
        return "error unknown modem command " + what;
    });
}
