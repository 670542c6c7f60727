// The Modbus TCP slave on loopback sockets, with the test as its clients.

#include "fieldbus/smbus_slave_tcp.h"
#include "fieldbus/smbus_slave_tcp_connection.h"
#include "platform/unique_fd.h"
#include "tests/fieldbus/slave_fixture.h"
#include "tests/support/event_pump.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A client socket; its reads hand the slave's events on while they wait.
class Client {
public:
    explicit Client(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        connected_ = ::connect(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    bool connected() const { return connected_; }
    bool send(const Bytes& bytes) {
        return ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // What arrives until `count` bytes are there, the slave closes, or a second passes.
    Bytes receive(size_t count) {
        pumpUntil(
            [&] {
                readAvailable();
                return received_.size() >= count || closed_;
            },
            1000);
        Bytes taken(received_.begin(),
                    received_.begin() + static_cast<ptrdiff_t>(std::min(count, received_.size())));
        received_.erase(received_.begin(), received_.begin() + static_cast<ptrdiff_t>(taken.size()));
        return taken;
    }
    // True when nothing arrives while the slave's events are handed on for waitMs.
    bool nothingArrives(int waitMs = 50) {
        pumpUntil([] { return false; }, waitMs);
        readAvailable();
        return received_.empty();
    }
    bool closedBySlave() {
        pumpUntil(
            [&] {
                readAvailable();
                return closed_;
            },
            1000);
        return closed_;
    }
    void close() { fd_.reset(); }
    // Without waiting: false when the socket takes nothing now.
    bool sendNow(const Bytes& bytes) {
        return ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
               static_cast<ssize_t>(bytes.size());
    }

private:
    void readAvailable() {
        pollfd set{fd_.get(), POLLIN, 0};
        while (!closed_ && ::poll(&set, 1, 0) > 0) {
            uint8_t chunk[512];
            ssize_t count = ::recv(fd_.get(), chunk, sizeof chunk, 0);
            if (count <= 0) {
                closed_ = true;
                return;
            }
            received_.insert(received_.end(), chunk, chunk + count);
        }
    }

    platform::UniqueFd fd_;
    bool connected_ = false;
    bool closed_ = false;
    Bytes received_;
};

// An MBAP frame around a PDU whose first byte is the unit identifier.
Bytes mbap(uint16_t transaction, const Bytes& pdu) {
    Bytes frame{static_cast<uint8_t>(transaction >> 8), static_cast<uint8_t>(transaction & 0xFF), 0, 0,
                static_cast<uint8_t>(pdu.size() >> 8),  static_cast<uint8_t>(pdu.size() & 0xFF)};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return frame;
}

Bytes joined(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

class SlaveTcp : public SlaveFixture {
protected:
    SlaveTcp() {
        tcp.listen(0);
        EXPECT_TRUE(tcp.listening());
    }
    Client connect() {
        Client client(tcp.port());
        EXPECT_TRUE(client.connected());
        return client;
    }
    bool connectionsBecome(size_t count) {
        return pumpUntil([&] { return tcp.connectionCount() == count; }, 1000);
    }

    SMBusSlaveTCP tcp;
};

TEST_F(SlaveTcp, TwoRequestsInOneSegmentGiveTwoResponsesInOrder) {
    Client client = connect();
    ASSERT_TRUE(client.send(joined(mbap(1, pdu(3, {256, 1}, 1)), mbap(2, pdu(3, {257, 1}, 1)))));
    EXPECT_EQ(client.receive(11), mbap(1, {1, 3, 2, 0, 52}));
    EXPECT_EQ(client.receive(11), mbap(2, {1, 3, 2, 0, 1}));
}

TEST_F(SlaveTcp, ASplitRequestIsAnsweredOnceComplete) {
    Client client = connect();
    Bytes request = mbap(7, pdu(3, {259, 1}, 1));
    ASSERT_TRUE(client.send(Bytes(request.begin(), request.begin() + 4)));
    EXPECT_TRUE(client.nothingArrives());
    ASSERT_TRUE(client.send(Bytes(request.begin() + 4, request.end() - 1)));
    EXPECT_TRUE(client.nothingArrives());
    ASSERT_TRUE(client.send(Bytes(request.end() - 1, request.end())));
    EXPECT_EQ(client.receive(11), mbap(7, {1, 3, 2, 0x01, 0x2C}));
}

TEST_F(SlaveTcp, UnitZeroIsABroadcastAndUnit17IsAnsweredAs17) {
    Client client = connect();
    ASSERT_TRUE(client.send(mbap(1, pdu(3, {256, 1}, 0))));
    ASSERT_TRUE(client.send(mbap(2, pdu(6, {257, 0}, 0))));
    ASSERT_TRUE(client.send(mbap(3, pdu(3, {257, 1}, 17))));
    // Only the last is answered, and it reads the broadcast's change.
    EXPECT_EQ(client.receive(11), mbap(3, {17, 3, 2, 0, 0}));
    EXPECT_TRUE(client.nothingArrives());
    EXPECT_EQ(config->stopDrive.current, 0);
}

TEST_F(SlaveTcp, ExceptionsTravelInMbapFrames) {
    Client client = connect();
    ASSERT_TRUE(client.send(mbap(0x1234, pdu(3, {360, 5}, 1))));
    EXPECT_EQ(client.receive(9), mbap(0x1234, {1, 0x83, 2}));
}

TEST_F(SlaveTcp, AClosedClientIsRemovedAndTheNextConnects) {
    {
        Client first = connect();
        ASSERT_TRUE(connectionsBecome(1));
        first.close();
        EXPECT_TRUE(connectionsBecome(0));
    }
    Client next = connect();
    ASSERT_TRUE(next.send(mbap(1, pdu(3, {256, 1}, 1))));
    EXPECT_EQ(next.receive(11), mbap(1, {1, 3, 2, 0, 52}));
    EXPECT_TRUE(board.logLinesWith(LOG_ERR, "smbus").empty());
}

TEST_F(SlaveTcp, MbapLengthsThatCannotHoldARequestEndTheConnection) {
    for (uint16_t length : {0, 1, 262, 0xFFFF}) {
        Client client = connect();
        Bytes header{0, 1, 0, 0, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF), 1};
        ASSERT_TRUE(client.send(header));
        EXPECT_TRUE(client.closedBySlave()) << length;
        EXPECT_EQ(board
                      .logLinesWith(LOG_ERR, "invalid MBAP length " + std::to_string(length) +
                                                 ", closing the connection")
                      .size(),
                  1u);
    }
    EXPECT_TRUE(connectionsBecome(0));
    // The longest request of the map still fits: 127 registers written, length 261.
    Client client = connect();
    Bytes request = writeRegisters(0, std::initializer_list<uint16_t>{}, 1);
    request[5] = 127;
    request[6] = 254;
    request.resize(request.size() + 254, 0x41);
    Bytes frame = mbap(5, request);
    ASSERT_EQ(frame.size(), 6u + 261u);
    ASSERT_TRUE(client.send(frame));
    EXPECT_EQ(client.receive(12), mbap(5, pdu(16, {0, 127}, 1)));
    EXPECT_EQ(config->wellName.value, std::string(254, 'A'));
}

TEST_F(SlaveTcp, AnswersGivenBeforeAnInvalidLengthAreSentBeforeTheClose) {
    Client client = connect();
    Bytes invalid{0, 9, 0, 0, 0, 0, 1};
    ASSERT_TRUE(client.send(joined(mbap(8, pdu(6, {259, 250}, 1)), invalid)));
    EXPECT_EQ(client.receive(12), mbap(8, pdu(6, {259, 250}, 1)));
    EXPECT_TRUE(client.closedBySlave());
    EXPECT_FLOAT_EQ(config->nSwings.value, 2.5f);
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "invalid MBAP length 0, closing the connection").size(), 1u);
    EXPECT_TRUE(connectionsBecome(0));
}

TEST_F(SlaveTcp, WhenFullTheConnectionIdleLongestMakesWayWithARateLimitedLine) {
    std::vector<Client> clients;
    // One at a time: the listen backlog is short, and the test itself is the one accepting.
    for (size_t i = 0; i < SMBusSlaveTCP::kMaxConnections; ++i) {
        clients.push_back(connect());
        ASSERT_TRUE(connectionsBecome(i + 1));
        board.clock().advanceMs(10);
    }
    // The first client is busy; the second has been silent longest.
    ASSERT_TRUE(clients[0].send(mbap(1, pdu(3, {256, 1}, 1))));
    EXPECT_EQ(clients[0].receive(11), mbap(1, {1, 3, 2, 0, 52}));

    Client newcomer = connect();
    EXPECT_TRUE(clients[1].closedBySlave());
    ASSERT_TRUE(newcomer.send(mbap(2, pdu(3, {256, 1}, 1))));
    EXPECT_EQ(newcomer.receive(11), mbap(2, {1, 3, 2, 0, 52}));
    Client second = connect();
    EXPECT_TRUE(clients[2].closedBySlave());
    EXPECT_EQ(tcp.connectionCount(), SMBusSlaveTCP::kMaxConnections);
    EXPECT_EQ(tcp.evictedConnections(), 2u);
    std::vector<std::string> lines =
        board.logLinesWith(LOG_WARNING, "too many Modbus TCP connections (32): closed");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("idle for 310 ms"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("(0 more closed since the last report)"), std::string::npos) << lines[0];

    board.clock().advanceMs(SMBusSlaveTCP::kLogIntervalMs);
    Client late = connect();
    EXPECT_TRUE(clients[3].closedBySlave());
    lines = board.logLinesWith(LOG_WARNING, "too many Modbus TCP connections (32): closed");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("(1 more closed since the last report)"), std::string::npos) << lines[1];
    EXPECT_FALSE(clients[0].closedBySlave());
}

TEST_F(SlaveTcp, AClientThatNeverReadsIsHeldBackNotBuffered) {
    Client client = connect();
    ASSERT_TRUE(connectionsBecome(1));
    // 21 reads of 125 registers at a time; each answer is 259 bytes.
    Bytes burst;
    for (uint16_t i = 0; i < 21; ++i)
        burst = joined(burst, mbap(i, pdu(3, {0, 125}, 1)));
    int sent = 0;
    int refusals = 0;
    while (refusals < 50 && sent < 20000) {
        if (client.sendNow(burst)) {
            ++sent;
            refusals = 0;
        } else {
            ++refusals;
        }
        pumpEvents(0);
    }
    EXPECT_LT(sent, 20000) << "the slave kept reading";
    // Once its answers stop leaving, the slave stops reading: what it holds stays near the limit.
    EXPECT_GE(tcp.pendingOutput(), SMBusSlaveTCPConnection::kMaxPendingOutput);
    EXPECT_LE(tcp.pendingOutput(), SMBusSlaveTCPConnection::kMaxPendingOutput + 21 * 259);
    client.close();
    EXPECT_TRUE(connectionsBecome(0));
}

TEST_F(SlaveTcp, APortInUseLeavesTheSlaveInactive) {
    SMBusSlaveTCP second;
    second.listen(tcp.port());
    EXPECT_FALSE(second.listening());
    EXPECT_EQ(board.logLinesWith(LOG_ERR, "cannot bind socket: Address already in use").size(), 1u);
}

TEST_F(SlaveTcp, MeasurementsReachTheConnectionsFromTheDriveStatus) {
    Client client = connect();
    ASSERT_TRUE(connectionsBecome(1));
    FixedDriveStatus drive;
    drive.readings.unit[1].outputFrequency = 48.25f;
    tcp.setDriveStatus(&drive);
    ASSERT_TRUE(client.send(mbap(1, pdu(4, {20, 1}, 1))));
    EXPECT_EQ(client.receive(11), mbap(1, {1, 4, 2, 0x12, 0xD9}));
    tcp.setDriveStatus(nullptr);
}

} // namespace
