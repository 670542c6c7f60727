#pragma once
// A loopback TCP port that nothing listens on, for a program under test to listen on.

// The port the system picked for a socket bound and closed at once (0 when that failed).
int freeTcpPort();
