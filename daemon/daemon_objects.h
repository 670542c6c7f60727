#pragma once
// The daemon's long-lived objects and the steps that create them, shared by start-up (velkord.cpp),
// the simulator (which runs start-up itself) and the test rigs (which build the drive without the
// SCADA slaves, with simulated drives on the bus).

#include "platform/platform.h"

#include <memory>

class Config;
class TimerQueue;
class Display;
class MenuSet;
class SMBus;
class SMBusSlave;
class SMBusSlaveTCP;
class Controller;
class DS1820;
class DriveViewStatus;
class DiscreteIO;
class RootMenuKeys;
class PanelBlanking;
class AlarmListPage;
class Clock;
class DebugScreen;
class ManualScreen;
class DynamogramPlots;
class Sim5320;
class BoardMediaIndicator;
class Flash;
class WebDriveAccess;
class HTTP;

// Created in start-up order, destroyed in the reverse order; each one is registered where the design
// lets others reach it (gConfig, gTimers, gDisplay, gRootMenu, gDriveBus, gController with gDriveView,
// gDiscreteIO).
struct DaemonObjects {
    std::unique_ptr<Config> config;
    std::unique_ptr<TimerQueue> timers;
    std::unique_ptr<Display> display;
    std::unique_ptr<MenuSet> rootMenu;
    std::unique_ptr<SMBus> driveBus;
    std::unique_ptr<SMBusSlave> serialSlave;
    std::unique_ptr<SMBusSlaveTCP> tcpSlave;
    std::unique_ptr<RootMenuKeys> panelKeys;
    std::unique_ptr<PanelBlanking> panelBlanking;
    std::unique_ptr<Controller> controller;
    std::unique_ptr<DS1820> thermometer;
    std::unique_ptr<Clock> mainScreen;
    std::unique_ptr<AlarmListPage> alarmPage;
    std::unique_ptr<DynamogramPlots> dynamogramPlots;
    std::unique_ptr<DebugScreen> debugScreen;
    std::unique_ptr<DriveViewStatus> driveStatus;
    std::unique_ptr<DiscreteIO> discreteIO;
    std::unique_ptr<ManualScreen> manualScreen;
    std::unique_ptr<Sim5320> modem;
    std::unique_ptr<BoardMediaIndicator> mediaIndicator;
    std::unique_ptr<Flash> flash;
    std::unique_ptr<WebDriveAccess> webDrive;
    std::unique_ptr<HTTP> web;

    DaemonObjects();
    ~DaemonObjects();
    // The drive and what hangs on it, newest first: the chain, the slaves' view, the pages, the
    // controller, the key routing.
    void destroyDrive();
    // The web server and its view of the drive: the first to go.
    void destroyWeb();
    // Everything but the configuration, in the reverse order of start-up.
    void destroyInOrder();
    // Last, after the event loop is shut down. Every change was saved when it was made, so nothing is
    // written here.
    void destroyConfig();
};

// The display (0, or the exit status when it cannot be opened) and the empty root screen stack.
int createPanel(platform::Platform& platform, DaemonObjects& objects);
// The Modbus master on "/dev/ttyS2" at the speed of modbusSpeed, opened.
std::unique_ptr<SMBus> createDriveBus();
// Whether the drive is built with the oil thermometer, which reads the 1-wire bus on a worker thread.
// Rigs that feed the controller temperatures themselves leave it out.
enum class OilThermometer { Read, Omitted };

// The controller with its oil thermometer, its key routing, its alarm page and dynamogram plots, the
// slaves' view of it (for the slaves that exist), the discrete I/O chain that reports to it, and the
// manual-mode screen.
void createDrive(DaemonObjects& objects, OilThermometer thermometer = OilThermometer::Read);
// The debug screen as the last page of the root set (none without the drive bus and the chain).
void createDebugScreen(DaemonObjects& objects);
// The modem, powering on, with its page in the root set.
void createModem(platform::Platform& platform, DaemonObjects& objects);
// Portable media with its page in the root set (hidden while no drive is present) and its worker.
void createFlash(platform::Platform& platform, DaemonObjects& objects);
// The web server on the platform's ports, its API reading the drive and the configuration, started.
void createWeb(platform::Platform& platform, DaemonObjects& objects);
