// A SCADA master from a Debian package (python3-pymodbus) against velkord-sim over Modbus TCP.

#include "tests/support/emulation.h"
#include "tests/support/free_port.h"
#include "tests/support/peers.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

#include <arpa/inet.h>
#include <csignal>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const std::string kSim = VELKORD_SIM_PATH;
const std::string kClient = std::string(VELKORD_SOURCE_DIR) + "/tests/integration/scada_client.py";
const std::string kWrites = std::string(VELKORD_SOURCE_DIR) + "/tests/fieldbus/pymodbus_writes.py";
// The system's Python, which has Debian's pymodbus.
const std::string kPython = "/usr/bin/python3";

bool accepting(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

TEST(ScadaSim, APymodbusClientReadsLiveValuesAndChangesASettingThatIsJournalled) {
    REQUIRE_PEERS(kPymodbusClient);
    TempDir dir;
    std::string root = dir / "run";
    int port = freeTcpPort();
    Process sim({kSim, "--root", root, "--modbus-port", std::to_string(port)}, dir / "sim.log");
    ASSERT_TRUE(waitUntil(10000, [&] { return accepting(port); })) << readFile(dir / "sim.log");

    // --live: the measurements of the stroking unit as well.
    Process client({kPython, kClient, "tcp", std::to_string(port), "--live"}, dir / "client.log");
    EXPECT_EQ(client.wait(20000), 0) << readFile(dir / "client.log");
    EXPECT_NE(readFile(dir / "client.log").find("done\n"), std::string::npos) << readFile(dir / "client.log");
    EXPECT_NE(readFile(dir / "client.log").find("ok   drive 1 runs"), std::string::npos)
        << readFile(dir / "client.log");

    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(10000), 0) << readFile(dir / "sim.log");
    EXPECT_NE(readFile(root + "/var/log/events").find("Настройка 'Число качаний' изменена: 3.00 --> 4.50"),
              std::string::npos)
        << readFile(root + "/var/log/events");
    EXPECT_NE(readFile(root + "/etc/velkord").find("<nSwings>4.5</nSwings>"), std::string::npos);
}

TEST(ScadaSim, TheSerialLineEchoesSoARepeatedWriteIsServed) {
    REQUIRE_PEERS(kPymodbusClient);
    TempDir dir;
    std::string root = dir / "run";
    int port = freeTcpPort();
    Process sim({kSim, "--root", root, "--modbus-port", std::to_string(port)}, dir / "sim.log");
    ASSERT_TRUE(waitUntil(10000, [&] { return accepting(port); })) << readFile(dir / "sim.log");
    // The line's far end may appear after the TCP port (it does under the emulator).
    std::string line = root + "/dev/scada";
    ASSERT_TRUE(waitUntil(realTimeLimit(10000), [&] { return ::access(line.c_str(), F_OK) == 0; }));

    // The master on the simulated line's far end writes, another writes over TCP, the first repeats
    // its write at once: the echo of the first answer, not a pause, made room for the repeat.
    Process client({kPython, kWrites, "retry", root + "/dev/scada", std::to_string(port), "0"},
                   dir / "client.log");
    EXPECT_EQ(client.wait(20000), 0) << readFile(dir / "client.log");

    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait(10000), 0) << readFile(dir / "sim.log");
    EXPECT_NE(readFile(root + "/etc/velkord").find("<nSwings>2</nSwings>"), std::string::npos);
}

} // namespace
