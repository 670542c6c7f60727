#pragma once
// The registry entries the daemon defines for what the design lets reach the drive: its controller (the
// tests) and the controller's view (the simulator's commands); modules above the drive get a DriveView
// or DriveCommands handed in.

class Controller;
class DriveView;

extern Controller* gController;
extern const DriveView* gDriveView;
