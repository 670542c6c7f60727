#pragma once
// One Modbus TCP client of SMBusSlaveTCP: MBAP frames in and out on its socket, each request answered
// by the slave's handleRequest. Pipelined requests are answered in order; a request split over several
// segments once it is complete.

#include "fieldbus/bytes.h"
#include "fieldbus/smbus_slave.h"
#include "platform/unique_fd.h"

#include <string>

class SMBusSlaveTCP;

class SMBusSlaveTCPConnection : public SMBusSlave {
public:
    // Responses held for a client that does not read them; beyond this its requests wait unread.
    static constexpr size_t kMaxPendingOutput = 16384;

    // Watches the socket for input. peer: the client's address, naming it in log lines.
    SMBusSlaveTCPConnection(SMBusSlaveTCP& owner, platform::UniqueFd socket, std::string peer);
    ~SMBusSlaveTCPConnection() override;

    const std::string& peer() const { return peer_; }
    size_t pendingOutput() const { return tx_.size(); }
    // When the client last sent anything (or connected), on the monotonic clock.
    uint32_t lastActivityMs() const { return lastActivityMs_; }

    // Errors and the end of the stream end the connection (the owner destroys it).
    void onEvents(uint32_t events) override;

private:
    // Each returns false when the connection has ended and this object is gone.
    bool writeOut();
    bool readIn();
    void answerFrames();
    void updateWatch();
    void end();

    SMBusSlaveTCP& owner_;
    platform::UniqueFd socket_;
    std::string peer_;
    Bytes rx_;
    Bytes tx_;
    uint32_t lastActivityMs_;
    // The stream cannot be followed any further: nothing more is read, and the connection ends once
    // the answers already given have been sent.
    bool closing_ = false;
};
