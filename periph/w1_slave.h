#pragma once
// A 1-wire thermometer's data file as the kernel's w1_therm driver shows it:
//   50 05 4b 46 7f ff 0c 10 1c : crc=1c YES
//   50 05 4b 46 7f ff 0c 10 1c t=23125

#include <string>

// The temperature (°C) of a data file's text: the integer after "t=" on the first line that has one,
// in millidegrees, valid only when a line before it or that line itself has "crc=" with "YES" after it
// on the same line. False for a failed CRC or a text without a "t=" line.
bool parseW1Slave(const std::string& text, float& celsius);

// Reads a data file whole (the kernel's read takes the sensor's conversion time) and parses it.
bool readW1Slave(const std::string& path, float& celsius);

// A temperature as the result file holds it: standard stream formatting, six significant digits.
std::string formatCelsius(float celsius);
