#include "sheet/StationSheet.h"

#include <cmath>
#include <cstdio>

#include "sheet/SpreadSheet.h"

namespace kestrune::sheet {

namespace {

std::string DeviceText(const std::string& name) {
    return name.empty() ? "(default)" : name;
}

std::string VolumeText(const std::optional<int>& percent) {
    return percent ? std::to_string(*percent) : "unknown (no speaker volume control)";
}

}  // namespace

std::string LevelText(double level) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", level);
    std::string shown = text;
    if (shown.size() > 1 && shown.back() == '0' && shown[shown.size() - 2] != '.') shown.pop_back();
    return shown == "-0.0" ? "0.0" : shown;
}

std::vector<Row> StationRows(const StationFacts& facts) {
    std::vector<Row> rows{
        {"Registered", facts.time},
        {"Station", facts.station},
        {"Host API", DeviceText(facts.hostApi)},
        {"Output device", DeviceText(facts.outputDevice)},
        {"Input device", DeviceText(facts.inputDevice)},
        {"Speaker volume (%)", VolumeText(facts.volume)},
    };
    if (!facts.calibration) {
        rows.push_back({"Calibration", facts.calibrationProblem.empty()
                                           ? "not calibrated"
                                           : "unknown: " + facts.calibrationProblem});
    } else {
        const CalibrationFacts& c = *facts.calibration;
        rows.push_back({"Calibration", c.time});
        rows.push_back({"Reference level (dBFS)", LevelText(c.referenceDbfs)});
        rows.push_back({"Measured level (dB SPL)", LevelText(c.measuredDbSpl)});
        rows.push_back({"Full-scale sine (dB SPL)", LevelText(c.measuredDbSpl - c.referenceDbfs)});
        rows.push_back({"Speaker volume at calibration (%)", VolumeText(c.volume)});
        if (c.volume != facts.volume) {
            rows.push_back({"Note",
                            "the speaker volume differs from the calibration's: the levels above "
                            "do not hold for this session"});
        }
    }
    rows.push_back({""});
    return rows;
}

bool WriteStationSheet(const std::string& path, const StationFacts& facts, std::string* error) {
    return AppendRows(path, kStationSheet, kStationHeader, StationRows(facts), error);
}

}  // namespace kestrune::sheet
