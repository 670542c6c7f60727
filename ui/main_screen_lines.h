#pragma once
// The texts of the main screen and where each stands (x, baseline y), computed from the drive's view,
// the settings and the local time. The page draws exactly these; checks read them back.

#include <ctime>
#include <string>
#include <vector>

class Config;
class DriveView;

struct PlacedText {
    int x = 0;
    int y = 0;
    std::string text;
};

std::vector<PlacedText> mainScreenLines(const DriveView& drive, const Config& config, time_t now);
