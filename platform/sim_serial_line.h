#pragma once
// A serial port of the simulated board: a pty. The sandbox path ("/dev/ttyS2") is a symbolic link to
// its slave side, which the daemon opens by path like a real port; the master side is the far end of
// the line, where the simulated drives (or a test playing them) read and write.

#include "platform/unique_fd.h"

#include <string>

namespace platform {

class SimSerialLine {
public:
    // devicePath: the board's path ("/dev/ttyS2"); sandboxRoot: the directory it is resolved under.
    SimSerialLine(std::string devicePath, std::string sandboxRoot);
    // Removes the sandbox link, so it never points at a pty that is reused by someone else.
    ~SimSerialLine();
    SimSerialLine(const SimSerialLine&) = delete;
    SimSerialLine& operator=(const SimSerialLine&) = delete;

    const std::string& devicePath() const { return devicePath_; }
    // The far end, non-blocking; -1 when the pty could not be made (error() says why).
    int farEnd() const { return master_.get(); }
    int error() const { return error_; }
    // The pty device the sandbox path currently links to ("/dev/pts/5").
    const std::string& ptyPath() const { return ptyPath_; }

    // Pulls the cable: the far end is closed, so the daemon's port reports a hang-up, and a fresh pty
    // is linked in its place that the daemon can reopen. Returns 0 or the errno value.
    int hangUp();

private:
    int plugIn();

    const std::string devicePath_;
    const std::string linkPath_;
    UniqueFd master_;
    // The slave side is kept open too, in raw mode, so the far end never sees the daemon's closes and
    // nothing the far end sends is echoed before the daemon configures its port.
    UniqueFd slaveHolder_;
    std::string ptyPath_;
    int error_ = 0;
};

} // namespace platform
