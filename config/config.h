#pragma once
// The configuration: every setting of the system as a member, loaded from the main file "/etc/velkord"
// and the performance file "/etc/velkord_perf" (XML), saved back with a backup of each.

#include "config/config_flags_group.h"
#include "config/config_float.h"
#include "config/config_select.h"
#include "config/config_string.h"
#include "config/config_time_zone.h"
#include "config/setting_change.h"
#include "config/settings_catalogue.h"
#include "config/xml_document.h"

#include <string>
#include <vector>

// One setting of a Config with its catalogue row and group.
struct SettingEntry {
    const SettingInfo* info;
    const SettingGroup* group;
    SettingPtr setting;
};

class Config {
public:
    // Builds every setting with its default, then loads both files (creating them when neither the
    // file nor its backup can be read).
    Config(std::string mainPath, std::string perfPath);
    // Frees the documents and cleans the XML parser up; nothing is written.
    ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // Writes the main file; the previous one becomes its backup. Within a SaveBatch, only notes that
    // the file is to be written.
    void save();
    // Writes the performance file likewise.
    void savePerf();

    // Changes that come together (one Modbus write request) are saved together: while a batch exists,
    // save and savePerf only note their file, and when the outermost batch ends each noted file is
    // written once. Journal lines and the controller's hook are not delayed. A null config is allowed.
    class SaveBatch {
    public:
        explicit SaveBatch(Config* config);
        ~SaveBatch();
        SaveBatch(const SaveBatch&) = delete;
        SaveBatch& operator=(const SaveBatch&) = delete;

    private:
        Config* config_;
    };
    // Every setting of the main file and the two manual-mode switches back to its default, through
    // its setter. The workControl mask, the thermometer id and the performance settings stay.
    void factoryReset();
    // Deletes the performance file and its backup and resets the performance settings; nothing is
    // written until the next savePerf.
    void resetPerf();

    // Every setting in catalogue order.
    const std::vector<SettingEntry>& settings() const { return entries_; }
    // The setting with this key in this main-file group; group nullptr looks among the settings
    // outside the main file. nullptr when there is none.
    const SettingEntry* find(const char* group, const char* key) const;
    const SettingEntry* findByWebName(const std::string& webName) const;

    // The controller's hook, told of every change; empty while there is no controller.
    void setSettingChangeHook(SettingChangeHook hook) { hook_ = std::move(hook); }
    void settingChanged(const void* setting, float newValue, float oldValue);

private:
    void buildSettings();
    void loadMainFile();
    void loadMainGroup(const SettingGroup& group);
    void loadTimeZone(const std::string& tz);
    void loadThermSensorId(xmlNode* element);
    void loadPerfFile();
    void storeValue(const SettingEntry& entry, xmlNode* element);
    void writeMainFile();
    void writePerfFile();
    // A drive's manual and learnt frequencies start halfway between its minimum and maximum.
    static float midFrequency(const ConfigFloat& minimum, const ConfigFloat& maximum);

    std::string mainPath_;
    std::string perfPath_;
    XmlDocument mainDoc_;
    xmlNode* mainRoot_ = nullptr;
    XmlDocument perfDoc_;
    xmlNode* perfRoot_ = nullptr;
    std::vector<SettingEntry> entries_;
    // Main-file and unstored settings in member order, the order of factory reset.
    std::vector<const SettingEntry*> memberOrder_;
    SettingChangeHook hook_;
    // Open SaveBatch scopes, and the files noted while they are open.
    int saveBatches_ = 0;
    bool mainUnsaved_ = false;
    bool perfUnsaved_ = false;

public:
    // The settings, in member order (the declaration order is the order of factory reset). Defaults,
    // ranges and options come from the catalogue.
    ConfigString wellName;
    ConfigString wellComment;
    ConfigFloat modbusAddress;
    ConfigSelect stopDrive;
    ConfigString apn;
    ConfigSelect pdpType;
    ConfigSelect nsMode;
    ConfigFloat nSwings;
    ConfigFloat nsMin;
    ConfigFloat nsMax;
    ConfigFloat kNapol;
    ConfigSelect lineBase;
    ConfigFloat lineShift;
    ConfigFloat absLineX;
    ConfigSelect intersectionMode;
    ConfigFloat nsCorrectionInterval;
    ConfigSelect nsCorrMode;
    ConfigFloat downTimeMax;
    ConfigFloat upTimeMax;
    ConfigFloat gMax;
    ConfigFloat gMin;
    ConfigSelect longDownTurn;
    YesNo longDownAsMalfunction;
    ConfigFloat numARA;
    ConfigFloat araDelay;
    ConfigFloat araReset;
    ConfigFloat tempCondOff;
    ConfigFloat tempCondOn;
    ConfigFloat tempFanOff;
    ConfigFloat tempFanOn;
    ConfigFloat tempStartWork;
    ConfigFloat tempStopWork;
    ConfigSelect coolingPump;
    ConfigFloat mainPumpFreq;
    ConfigFloat mainPumpMaxTime;
    OnOffAuto pu1Mode;
    OnOffAuto pu2Mode;
    ConfigSelect prioPu1Pu2;
    OnOffAuto ev1Mode;
    OnOffAuto ev2Mode;
    ConfigSelect prioEv1Ev2;
    OnOff canSepStart;
    ConfigFloat delayTDP;
    ConfigFloat delayBDP;
    ConfigFloat delayEV1EV2;
    ConfigSelect perfIncMode;
    ConfigFloat posSensorMaxTime;
    ConfigFloat downTimeOnBrokenSensor;
    ConfigFloat sensorResetDuration;
    ConfigFloat sensorResetPeriod;
    OnOff sensorResetOnLowOil;
    ConfigSelect wedgingEV;
    OnOff workWithBrokenEV;
    ConfigFloat nsAlarmTempMode;
    ConfigFloat minFreqDrive1;
    ConfigFloat minFreqDrive2;
    ConfigFloat maxFreqDrive1;
    ConfigFloat maxFreqDrive2;
    ConfigFloat nomCurrentDrive1;
    ConfigFloat nomCurrentDrive2;
    ConfigFloat accelTimeDrive1;
    ConfigFloat accelTimeDrive2;
    ConfigFloat decelTimeDrive1;
    ConfigFloat decelTimeDrive2;
    ConfigFloat modbusAddrDrive1;
    ConfigFloat modbusAddrDrive2;
    ConfigSelect typeDrive1;
    ConfigSelect typeDrive2;
    ConfigSelect controlTypeDrive1;
    ConfigSelect controlTypeDrive2;
    ConfigFloat minFreqSync;
    YesNo lowerFreqOnOverload;
    ConfigFloat lowerFreqStep;
    ConfigFloat pu2pu1FreqRatio;
    ConfigTimeZone timeZone;
    ConfigFloat recordPeriod;
    ConfigFloat cylinderArea;
    ConfigFloat strokeLength;
    OnOff dynoRecordInPause;
    ConfigSelect logLevel;
    ConfigFloat timeIntAutoCopy;
    YesNo copyConfirmation;
    ConfigSelect dynoType;
    ConfigSelect modbusSpeed;
    OnOff ecmInvertion;
    ConfigFloat delaySwingProtection;
    ConfigFlagsGroup workControl;
    ConfigSelect oilSensorConnection;
    ConfigFloat oilSensorDelay;
    OnOff oilSensorInvertion;
    ConfigSelect magSensorConnection;
    ConfigSelect topSensorType;
    ConfigSelect botSensorType;
    OnOff topSensorInversion;
    OnOff botSensorInversion;
    ConfigSelect ev1Inversion;
    ConfigSelect ev2Inversion;
    ConfigFloat pressSensorMalfuncAutodetect;
    ConfigFloat pressureSmoothing;
    // The thermometer's 1-wire id, mirrored in "/etc/thermSensorId"; no setting object.
    std::string thermSensorId;
    OnOff manualNoLimits;
    ConfigFloat manualFreqDrive1;
    ConfigFloat manualFreqDrive2;
    OnOff manualReverseStart;
    ConfigSelect selectedDrive1;
    ConfigSelect selectedDrive2;
    ConfigSelect selectedValve1;
    ConfigSelect selectedValve2;
    ConfigFloat freqDrive1;
    ConfigFloat freqDrive2;
};

// The configuration of the running daemon (set by start-up, null before and after).
extern Config* gConfig;
