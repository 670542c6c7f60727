// A SCADA master from a Debian package (python3-pymodbus) on the slave's serial line: the line's far
// end is handed to socat, which offers it as a second pty for the master to open as its port.

#include "core/registry.h"
#include "tests/fieldbus/slave_fixture.h"
#include "tests/support/event_pump.h"
#include "tests/support/peers.h"
#include "tests/support/process.h"

#include <chrono>
#include <unistd.h>

namespace {

const std::string kClient = std::string(VELKORD_SOURCE_DIR) + "/tests/integration/scada_client.py";

class SlavePymodbusRtu : public SlaveFixture {
protected:
    SlavePymodbusRtu() {
        slave.setDevice("/dev/ttyS1");
        slave.setBaudrate(9600);
        slave.setDataBits(8);
        slave.setStopBits(2);
        EXPECT_TRUE(slave.open());
        gSerialNumber = "SIM-0001";
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
};

TEST_F(SlavePymodbusRtu, ReadsAndWritesRegistersOverThePty) {
    REQUIRE_PEERS(kSocat);
    REQUIRE_PEERS(kPymodbusClient);
    // A duplicate without close-on-exec, for socat to inherit.
    int farEnd = ::dup(board.platform().serialLine("/dev/ttyS1")->farEnd());
    ASSERT_GE(farEnd, 0);
    std::string port = board.path("/dev/scada");
    Process bridge({"/usr/bin/socat", "FD:" + std::to_string(farEnd), "PTY,rawer,link=" + port},
                   board.path("/tmp/socat.log"));
    ::close(farEnd);
    ASSERT_TRUE(runUntil([&] { return ::access(port.c_str(), F_OK) == 0; }, 5000));

    std::string output = board.path("/tmp/client.log");
    Process client({"/usr/bin/python3", kClient, "rtu", port}, output);
    EXPECT_TRUE(runUntil([&] { return readFile(output).find("done\n") != std::string::npos; }, 20000))
        << readFile(output);
    EXPECT_EQ(client.wait(5000), 0) << readFile(output);
    EXPECT_FLOAT_EQ(config->nSwings.value, 4.5f);
    EXPECT_EQ(slave.total(BusCounter::kTx), 5u); // one response per request
}

} // namespace
