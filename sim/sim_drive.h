#pragma once
// One simulated variable-frequency drive as a Modbus RTU slave: the registers the daemon polls for
// both supported drive models, obedience to the control frames (frame A's coils for the first model,
// frame B's registers for the second), a first-order ramp of the output frequency to the set-point, a
// current that follows the load, and faults that can be injected. The plant model sets the load and
// reads the output frequency.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

using SimBytes = std::vector<uint8_t>;

enum class SimDriveModel { First = 0, Second = 1 };

enum class SimDriveFault {
    OverCurrent,   // tripped: the motor stops until the drive is reset
    MotorOverheat, // reported until cleared
    Cold,          // the drive's temperature reads 0 until cleared
};

// One write the drive accepted: function 6 or 16 (the parameter download), or a control frame.
struct SimDriveWrite {
    uint8_t function;
    uint16_t reg;
    std::vector<uint16_t> values;
};

class SimDrive {
public:
    static constexpr float kRampSeconds = 0.5f;
    static constexpr float kRatedCurrent = 20.0f;
    static constexpr int kWarmCelsius = 30;
    static constexpr size_t kKeptWrites = 1000;
    // Error codes of the second model.
    static constexpr uint16_t kOverCurrentCode = 100;
    static constexpr uint16_t kOverheatCode = 24;

    SimDrive(uint8_t address, SimDriveModel model);

    uint8_t address() const { return address_; }
    void setAddress(uint8_t address) { address_ = address; }
    SimDriveModel model() const { return model_; }
    void setModel(SimDriveModel model) { model_ = model; }

    // The answer to one request (address, function code, data; no CRC), or empty for none.
    SimBytes answer(const SimBytes& request);

    // No answers at all, as a drive without power or with a broken line.
    void setSilent(bool silent) { silent_ = silent; }
    bool silent() const { return silent_; }
    void setFault(SimDriveFault fault, bool on);
    bool hasFault(SimDriveFault fault) const;
    void clearFaults();
    // A raised reset line: the drive does not answer, and its trip is cleared.
    void setHeldInReset(bool held);
    bool heldInReset() const { return heldInReset_; }
    // Extra bits of the first model's warning word (alarm text tests).
    void setWarningWord(uint32_t word) { warningWord_ = word; }

    // The discrete run line of the I/O board (the daemon's discrete control); the plant sets it.
    void setRunLine(bool on) { runLine_ = on; }
    // The electrical power the motor draws for the work it does (W); the plant sets it.
    void setPowerWatts(float watts) { power_ = watts; }
    // 0 (no load) .. 1 (full load); the plant sets it.
    void setLoad(float fraction) { load_ = fraction; }
    // The commanded state and the ramped output, advanced to now.
    bool runCommanded() const;
    float setPoint() const;
    float outputFrequency();
    float motorCurrent();
    float powerWatts();
    int temperature() const;
    uint16_t controlWord() const { return controlWord_; }
    uint16_t reference() const { return reference_; }
    uint16_t command() const { return command_; }
    uint16_t commandFrequency() const { return commandFrequency_; }

    // Parameter writes in order (not the control frames), at most kKeptWrites.
    const std::deque<SimDriveWrite>& writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }
    // A parameter register's last written value (0 when never written).
    uint16_t parameter(uint16_t reg) const;
    uint32_t answered() const { return answered_; }

private:
    void advance();
    bool readRegister(uint16_t reg, uint16_t& value);
    bool readFirstModel(uint16_t reg, uint16_t& value);
    bool readSecondModel(uint16_t reg, uint16_t& value);
    SimBytes readRegisters(const SimBytes& request);
    SimBytes writeCoils(const SimBytes& request);
    SimBytes writeSingle(const SimBytes& request);
    SimBytes writeMultiple(const SimBytes& request);
    SimBytes exception(uint8_t function, uint8_t code) const;
    void keep(SimDriveWrite write);

    uint8_t address_;
    SimDriveModel model_;
    bool silent_ = false;
    bool overCurrent_ = false;
    bool overheat_ = false;
    bool cold_ = false;
    bool heldInReset_ = false;
    bool runLine_ = false;
    uint32_t warningWord_ = 0;
    float load_ = 0.5f;
    float power_ = 0;
    uint16_t controlWord_ = 0x042C;
    uint16_t reference_ = 0;
    uint16_t command_ = 0x0011;
    uint16_t commandFrequency_ = 0;
    float frequency_ = 0;
    uint32_t lastAdvanceMs_ = 0;
    bool advanced_ = false;
    std::deque<SimDriveWrite> writes_;
    std::map<uint16_t, uint16_t> parameters_;
    uint32_t answered_ = 0;
};

// "first" or "second"; the fault's word for the control socket ("overcurrent", "overheat", "cold").
const char* simDriveModelName(SimDriveModel model);
bool parseSimDriveFault(const std::string& word, SimDriveFault& fault);
