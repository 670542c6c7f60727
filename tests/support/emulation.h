#pragma once
// Whether the tests run under the cross build's emulator (qemu-user), and how limits on real time
// stretch there: emulated code runs several times slower than native code, system calls do not.

// True in the board build, whose test programs run under qemu-user.
bool underEmulator();

// A limit on real time, in milliseconds (or any unit), for work that runs emulated code.
int realTimeLimit(int nativeLimit);
