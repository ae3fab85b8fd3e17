// The "Station" sheet of a subject's result workbook: which sound devices,
// speaker volume and calibration the session was presented with, so the
// presentation levels can be stated afterwards. Written at registration,
// one block of rows per registration, from plain facts the caller gathers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sheet/RowImage.h"

namespace kestrune::sheet {

inline constexpr const char* kStationSheet = "Station";

/** The calibration in force for the output device. */
struct CalibrationFacts {
    std::string time;            ///< when it was made, "yyyy-MM-dd HH:mm:ss"
    double referenceDbfs = 0.0;  ///< the tone's level below full scale
    double measuredDbSpl = 0.0;  ///< what the sound-level meter read
    std::optional<int> volume;   ///< the speaker volume then, in percent; none: unknown
};

struct StationFacts {
    std::string time;  ///< the registration, "yyyy-MM-dd HH:mm:ss"
    std::string station;
    std::string hostApi;  ///< "" for each default
    std::string outputDevice;
    std::string inputDevice;
    std::optional<int> volume;  ///< the speaker volume now, in percent; none: no mixer
    std::optional<CalibrationFacts> calibration;  ///< none: not calibrated, or not known
    std::string calibrationProblem;  ///< why the calibration is not known; empty: it is
};

/** The sheet's header row. */
inline const Row kStationHeader{"Item", "Value"};

/** One registration's rows (item, value), ending in a blank row. */
std::vector<Row> StationRows(const StationFacts& facts);

/** A level as the sheet shows it: at least one decimal, at most two
 *  ("-20.0", "74.25"). */
std::string LevelText(double level);

/** Appends the rows to the "Station" sheet of the workbook at `path`
 *  (AppendRows). False with `error` set when nothing could be written. */
bool WriteStationSheet(const std::string& path, const StationFacts& facts, std::string* error);

}  // namespace kestrune::sheet
