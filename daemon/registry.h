#pragma once
// The registry entries the daemon defines for what the design lets reach the drive's controller (the
// simulator's commands, the tests); modules above the drive get a DriveView or DriveCommands handed in.

class Controller;

extern Controller* gController;
