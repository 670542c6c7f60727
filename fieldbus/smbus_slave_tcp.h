#pragma once
// The register map on Modbus TCP: SMBusSlaveTCP listens (port 502 on the board) and owns one
// SMBusSlaveTCPConnection per client; each request is answered by SMBusSlave::handleRequest.
// At most kMaxConnections clients are served at once, so a flood of connections cannot take the
// descriptors the rest of the daemon needs; a client beyond them takes the place of the connection
// idle longest, with a rate-limited log line.

#include "core/epoller.h"
#include "core/timer_queue.h"
#include "fieldbus/drive_status.h"
#include "fieldbus/log_rate_limit.h"
#include "platform/unique_fd.h"

#include <map>
#include <memory>

class SMBusSlaveTCPConnection;

class SMBusSlaveTCP : public EPoller {
public:
    static constexpr size_t kMaxConnections = 32;
    static constexpr int kBacklog = 5;
    // Evictions and accept failures are logged at most once in this interval.
    static constexpr uint32_t kLogIntervalMs = 60000;
    // Without a descriptor to accept into, the listening socket rests this long.
    static constexpr uint32_t kAcceptPauseMs = 1000;

    SMBusSlaveTCP();
    // Closes the listening socket, then destroys the connections one by one.
    ~SMBusSlaveTCP() override;

    // IPv4 on any local address; failures are logged and leave the TCP slave inactive for the run.
    void listen(int port);
    bool listening() const { return watchedEvents() != 0 || acceptPause_.armed(); }
    // The bound port (the one the system chose, for 0), or 0 when there is none.
    int port() const;

    // For the connections, open and to come; see SMBusSlave::setDriveStatus.
    void setDriveStatus(const DriveStatus* status);

    size_t connectionCount() const { return connections_.size(); }
    // Response bytes of all connections waiting for their clients to read them.
    size_t pendingOutput() const;
    // Connections closed to admit a newer client.
    uint32_t evictedConnections() const { return evicted_; }

    // The listening socket is readable: one client is accepted.
    void onEvents(uint32_t events) override;
    // Destroys a connection; the connection calling it returns at once.
    void remove(SMBusSlaveTCPConnection* connection);

private:
    void acceptFailed(int error);
    void evictLongestIdle(const std::string& newcomer);
    void pauseAccepting();

    platform::UniqueFd socket_;
    // Every open connection, ordered by address.
    std::map<SMBusSlaveTCPConnection*, std::unique_ptr<SMBusSlaveTCPConnection>> connections_;
    const DriveStatus* driveStatus_ = nullptr;
    uint32_t evicted_ = 0;
    LogRateLimit evictionLog_{kLogIntervalMs};
    LogRateLimit acceptErrorLog_{kLogIntervalMs};
    Timer acceptPause_;
};
