// velkord: the daemon on the board. It reads no options.

#include "daemon/velkord.h"
#include "platform/linux_platform.h"

int main() {
    platform::LinuxPlatform board;
    return runDaemon(board);
}
