// A SCADA master from a Debian package (python3-pymodbus) on the slave's serial line and over TCP. A
// line without echo: the line's far end is handed to socat, which offers it as a second pty for the
// master to open as its port. A line that echoes as the board's transceiver does: the simulator's
// EchoingLine, whose master end the master opens.

#include "core/registry.h"
#include "fieldbus/smbus_slave_tcp.h"
#include "platform/unique_fd.h"
#include "sim/echoing_line.h"
#include "tests/fieldbus/slave_fixture.h"
#include "tests/support/emulation.h"
#include "tests/support/event_pump.h"
#include "tests/support/peers.h"
#include "tests/support/process.h"

#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const std::string kClient = std::string(VELKORD_SOURCE_DIR) + "/tests/integration/scada_client.py";
const std::string kWrites = std::string(VELKORD_SOURCE_DIR) + "/tests/fieldbus/pymodbus_writes.py";

class SlavePymodbusRtu : public SlaveFixture {
protected:
    SlavePymodbusRtu() {
        slave.setDevice("/dev/ttyS1");
        slave.setBaudrate(9600);
        slave.setDataBits(8);
        slave.setStopBits(2);
        EXPECT_TRUE(slave.open());
        gSerialNumber = "SIM-0001";
        tcp.listen(0);
    }

    // The loop at real speed: a millisecond of the virtual clock per millisecond waited.
    bool runUntil(const std::function<bool()>& predicate, int limitMs) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!predicate()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            board.clock().advanceMs(1);
            gTimers->runDue();
            pumpEvents(1);
        }
        return true;
    }

    // The line without echo, offered by socat at "/dev/plain"; returns the path.
    std::string bridgePlainLine() {
        // A duplicate without close-on-exec, for socat to inherit.
        int farEnd = ::dup(platform().serialLine("/dev/ttyS1")->farEnd());
        EXPECT_GE(farEnd, 0);
        std::string port = board.path("/dev/plain");
        bridge = std::make_unique<Process>(std::vector<std::string>{"/usr/bin/socat",
                                                                    "FD:" + std::to_string(farEnd),
                                                                    "PTY,rawer,link=" + port},
                                           board.path("/tmp/socat.log"));
        ::close(farEnd);
        EXPECT_TRUE(runUntil([&] { return ::access(port.c_str(), F_OK) == 0; }, 5000));
        return port;
    }
    // The line that echoes; returns the master's path.
    std::string echoingLine() {
        echo = std::make_unique<EchoingLine>(platform().serialLine("/dev/ttyS1")->farEnd(),
                                             EchoingLine::kMasterPath, platform().root());
        return board.path(EchoingLine::kMasterPath);
    }
    // Runs a pymodbus program to its end with the loop turning; its exit status, its output in `output`.
    int runClient(const std::vector<std::string>& arguments, std::string& output, int limitMs) {
        std::string log = board.path("/tmp/client.log");
        ::unlink(log.c_str());
        std::vector<std::string> command{"/usr/bin/python3"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        Process client(command, log);
        bool done = runUntil([&] { return readFile(log).find("done\n") != std::string::npos; }, limitMs);
        int status = client.wait(5000);
        output = readFile(log);
        return done ? status : -1;
    }
    // The hundredths 0.20 ... 10.00 of the number of strokes that a ×100 of the binary value truncated
    // one lower.
    static std::vector<int> hundredthsBinaryTruncates() {
        std::vector<int> values;
        for (int raw = 20; raw <= 1000; ++raw)
            if (static_cast<int>(static_cast<float>(raw) / 100.0f * 100.0f) != raw)
                values.push_back(raw);
        return values;
    }
    platform::SimPlatform& platform() { return board.platform(); }

    SMBusSlaveTCP tcp;
    std::unique_ptr<Process> bridge;
    std::unique_ptr<EchoingLine> echo;
};

TEST_F(SlavePymodbusRtu, ReadsAndWritesRegistersOverThePty) {
    REQUIRE_PEERS(kSocat);
    REQUIRE_PEERS(kPymodbusClient);
    std::string port = bridgePlainLine();
    std::string output;
    EXPECT_EQ(runClient({kClient, "rtu", port}, output, 20000), 0) << output;
    EXPECT_FLOAT_EQ(config->nSwings.value, 4.5f);
    EXPECT_EQ(slave.total(BusCounter::kTx), 5u); // one response per request
}

TEST_F(SlavePymodbusRtu, ARepeatedWriteIsServedOnALineWithoutEcho) {
    REQUIRE_PEERS(kSocat);
    REQUIRE_PEERS(kPymodbusClient);
    std::string port = bridgePlainLine();
    std::string output;
    // Repeated after a pause of 0.3 s, longer than any echo of the answer could take to begin.
    EXPECT_EQ(runClient({kWrites, "retry", port, std::to_string(tcp.port()), "0.3"}, output, 20000), 0)
        << output;
    EXPECT_FLOAT_EQ(config->nSwings.value, 2.0f);
    EXPECT_EQ(slave.total(BusCounter::kTx), 2u);
}

TEST_F(SlavePymodbusRtu, ARepeatedWriteIsServedOnALineThatEchoes) {
    REQUIRE_PEERS(kPymodbusClient);
    std::string port = echoingLine();
    std::string output;
    // Repeated at once: the echo, not the time, cleared the answer.
    EXPECT_EQ(runClient({kWrites, "retry", port, std::to_string(tcp.port()), "0"}, output, 20000), 0)
        << output;
    EXPECT_FLOAT_EQ(config->nSwings.value, 2.0f);
    EXPECT_EQ(slave.total(BusCounter::kTx), 2u);
    // Both answers came back as their echoes, and neither was taken for a request.
    EXPECT_EQ(echo->bytesFromSlave(), 16u);
    EXPECT_EQ(slave.total(BusCounter::kBadCrc), 0u);
}

TEST_F(SlavePymodbusRtu, HundredthsReadBackAsWrittenOnTheSerialLine) {
    REQUIRE_PEERS(kPymodbusClient);
    std::vector<int> values = hundredthsBinaryTruncates();
    ASSERT_GE(values.size(), 20u);
    std::vector<std::string> arguments{kWrites, "x100", "rtu", echoingLine()};
    for (size_t i = 0; i < 20; ++i)
        arguments.push_back(std::to_string(values[i * values.size() / 20]));
    std::string output;
    EXPECT_EQ(runClient(arguments, output, realTimeLimit(60000)), 0) << output;
}

TEST_F(SlavePymodbusRtu, HundredthsReadBackAsWrittenOverTcpWhile32ClientsIdle) {
    REQUIRE_PEERS(kPymodbusClient);
    // Silent clients fill every place; the master still gets in, in place of the one idle longest.
    std::vector<platform::UniqueFd> idle;
    for (size_t i = 0; i < SMBusSlaveTCP::kMaxConnections; ++i) {
        idle.emplace_back(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(tcp.port()));
        ASSERT_EQ(::connect(idle.back().get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_TRUE(runUntil([&] { return tcp.connectionCount() == i + 1; }, 2000));
    }
    std::vector<std::string> arguments{kWrites, "x100", "tcp", std::to_string(tcp.port())};
    for (int raw = 20; raw <= 1000; ++raw)
        arguments.push_back(std::to_string(raw));
    std::string output;
    EXPECT_EQ(runClient(arguments, output, realTimeLimit(60000)), 0) << output;
    EXPECT_EQ(tcp.evictedConnections(), 1u);
}

} // namespace
