// The Modbus TCP stream splitter: a client's bytes written at once (pipelined requests) and the same
// bytes cut into pieces at any points get the same answers from a connection over a socket pair.

#include "core/registry.h"
#include "fieldbus/smbus_slave_tcp.h"
#include "fieldbus/smbus_slave_tcp_connection.h"
#include "tests/fuzz/fuzz_board.h"
#include "tests/fuzz/fuzz_config.h"

#include <cstddef>
#include <cstdint>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// More than a socket buffer could hold unread is not what the property is about.
constexpr size_t kLongestStream = 8192;

size_t waiting(int fd) {
    int bytes = 0;
    ioctl(fd, FIONREAD, &bytes);
    return static_cast<size_t>(bytes);
}

// Every piece written and read by the connection before the next; the answers the client received.
// Once the connection stops reading (it is closing), the rest of the stream is not written: it would
// only fill the socket, each tiny piece taking far more of its buffer than its bytes.
Bytes answersOf(const uint8_t* stream, size_t size, const std::vector<size_t>& pieces) {
    defaultConfig();
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0)
        fuzzFailure("no socket pair");
    platform::UniqueFd client(ends[0]);
    SMBusSlaveTCP owner;
    auto connection = std::make_unique<SMBusSlaveTCPConnection>(owner, platform::UniqueFd(ends[1]), "fuzz");
    Bytes answers;
    size_t at = 0;
    bool reading = true;
    for (size_t piece : pieces) {
        if (!reading)
            break;
        piece = std::min(piece, size - at);
        if (piece > 0 && write(client.get(), stream + at, piece) != static_cast<ssize_t>(piece))
            fuzzFailure("short write to the socket pair");
        at += piece;
        // The connection reads a chunk per event, as the loop would call it while input waits. A
        // round that takes nothing means the connection is closing and reads no more.
        for (size_t unread = waiting(ends[1]), rounds = 0; unread > 0 && rounds < 1000; ++rounds) {
            connection->onEvents(EPOLLIN);
            size_t left = waiting(ends[1]);
            if (left == unread) {
                reading = false;
                break;
            }
            unread = left;
        }
        uint8_t buffer[4096];
        for (ssize_t got; (got = read(client.get(), buffer, sizeof buffer)) > 0;)
            answers.insert(answers.end(), buffer, buffer + got);
    }
    return answers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > kLongestStream)
        return 0;
    fuzzTimers();
    gSerialNumber = "unknown";
    // The first byte seeds the cut points; the rest is the stream.
    uint32_t seed = data[0] * 2654435761u + 1;
    const uint8_t* stream = data + 1;
    size_t length = size - 1;
    std::vector<size_t> cuts;
    for (size_t done = 0; done < length;) {
        seed = seed * 1103515245u + 12345u;
        size_t piece = 1 + (seed >> 16) % 13;
        cuts.push_back(piece);
        done += piece;
    }
    Bytes whole = answersOf(stream, length, {length});
    Bytes pieces = answersOf(stream, length, cuts);
    FUZZ_CHECK(whole == pieces, "answers of " + std::to_string(whole.size()) + " and " +
                                    std::to_string(pieces.size()) + " bytes");
    return 0;
}
