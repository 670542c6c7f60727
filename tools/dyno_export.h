#pragma once
// A dynamogram file's card as CSV rows and as an SVG picture.

#include "drive/dynamogram_file.h"

#include <string>

enum class CardAxis { Time, Position };

// "time_s,phase,load_kgf" then one row per sample: the up stroke, then the down stroke.
std::string dynamogramCsv(const DynamogramFileContent& card);

// The card: load against time, or against the rod position (taken as uniform in time within each
// stroke, since the file holds no position), with the minimum, maximum and period annotated.
std::string dynamogramSvg(const DynamogramFileContent& card, CardAxis axis, const std::string& title);
