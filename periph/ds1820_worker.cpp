#include "periph/ds1820_worker.h"

#include "core/log.h"
#include "periph/exchange_file.h"
#include "periph/w1_slave.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

const char kUnit[] = "ds1820";
const char kError[] = "error";

} // namespace

DS1820Worker::DS1820Worker(platform::Clock& clock, std::string root)
    : pause_(clock, std::min(kConversionMs, kIdleMs)), root_(std::move(root)),
      sensorFile_(root_ + "/tmp/w1_sensor"), result_(root_ + "/tmp/w1_result") {
    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    if (error != 0) {
        LOG_MSG(LOG_ERR, kUnit, "pthread_attr_init() error: %d (%s)", error, strerror(error));
        pause_.stop();
        return;
    }
    error = pthread_attr_setstacksize(&attributes, kStackBytes);
    if (error != 0)
        LOG_MSG(LOG_ERR, kUnit, "pthread_attr_setstacksize() error: %d (%s)", error, strerror(error));
    // The thread starts with every signal blocked, so that SIGTERM, SIGINT and SIGCHLD go to the main
    // thread and wake its poll.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    error = pthread_create(&thread_, &attributes, &DS1820Worker::threadMain, this);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (error != 0) {
        LOG_MSG(LOG_ERR, kUnit, "pthread_create() error: %d (%s)", error, strerror(error));
        pause_.stop();
    }
    started_ = error == 0;
    pthread_attr_destroy(&attributes);
}

DS1820Worker::~DS1820Worker() {
    pause_.stop();
    if (started_)
        pthread_join(thread_, nullptr);
}

void* DS1820Worker::threadMain(void* self) {
    static_cast<DS1820Worker*>(self)->run();
    return nullptr;
}

void DS1820Worker::run() {
    if (!pause_.begin())
        return;
    while (readOnce()) {
    }
    // Ended: the clock waits for the thread no more.
    pause_.stop();
}

bool DS1820Worker::readOnce() {
    std::string sensor;
    if (!sensorFile_.read(sensor) || sensor.empty()) {
        publish(kError);
        return pause_.sleepMs(kIdleMs);
    }
    uint64_t startMs = pause_.nowMs();
    float celsius = 0;
    publish(readW1Slave(root_ + sensor, celsius) ? formatCelsius(celsius) : kError);
    return pause_.sleepUntil(startMs + kConversionMs);
}

void DS1820Worker::publish(const std::string& result) {
    if (result_.write(result + "\n", pause_.nowMs())) {
        publishFailureLogged_ = false;
        return;
    }
    // Said once until it works again, not every second.
    if (publishFailureLogged_)
        return;
    publishFailureLogged_ = true;
    LOG_MSG(LOG_ERR, kUnit, "cannot write %s: %s", result_.path().c_str(), strerror(errno));
}
