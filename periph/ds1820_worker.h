#pragma once
// The thermometer's worker thread: reads the sensor data file named in "/tmp/w1_sensor" over and
// over and leaves each result in "/tmp/w1_result", the temperature or "error". Started by the
// constructor with a 1 MiB stack; the destructor stops it, cutting its pauses short, and joins it.

#include "platform/clock.h"
#include "platform/worker_pause.h"

#include "periph/exchange_file.h"
#include <cstddef>

#include <pthread.h>
#include <string>

class DS1820Worker {
public:
    static constexpr size_t kStackBytes = 0x100000;
    // The pause while no sensor is named.
    static constexpr unsigned kIdleMs = 1000;
    // The sensor's conversion time. The kernel's read of the data file takes it; where a read
    // returns sooner (a sensor gone, a simulated bus) the worker waits out the rest rather than spin.
    static constexpr unsigned kConversionMs = 750;

    // Files as the board names them are resolved under `root` (the platform's); time is `clock`'s.
    DS1820Worker(platform::Clock& clock, std::string root);
    ~DS1820Worker();
    DS1820Worker(const DS1820Worker&) = delete;
    DS1820Worker& operator=(const DS1820Worker&) = delete;

    // The thread was created.
    bool started() const { return started_; }

private:
    static void* threadMain(void* self);
    void run();
    // One pass: the sensor's file read and the result written; false when stopped meanwhile.
    bool readOnce();
    void publish(const std::string& result);

    platform::WorkerPause pause_;
    const std::string root_;
    ExchangeFileReader sensorFile_;
    ExchangeFileWriter result_;
    pthread_t thread_{};
    bool started_ = false;
    bool publishFailureLogged_ = false;
};
