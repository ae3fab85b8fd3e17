// What the station presents sound with - the device choice, the speaker
// volume and the calibration in force - gathered for the "Station" sheet of
// a subject's result workbook and shown by the calibration dialog.
#pragma once

#include <QString>

#include <ctime>
#include <optional>

#include "audio/DeviceChoice.h"
#include "sheet/StationSheet.h"

namespace kestrune::store {
class Database;
}

namespace kestrune::app {

/** "ALSA / USB Headset", "(default)" standing for an empty field. */
QString DeviceText(const audio::DeviceChoice& choice);

/** "75 %", or "unknown (no mixer)". */
QString VolumeText(std::optional<int> percent);

/**
 * The facts at `now`: the device choice in `stationFolder`'s kestrune.ini,
 * the speaker volume given, and the calibration in force for the output
 * device on `stationName` (empty: this machine's name). When the
 * calibration could not be read, calibrationProblem says why.
 */
sheet::StationFacts GatherStationFacts(store::Database& db, const QString& stationFolder,
                                       const QString& stationName, std::optional<int> volume,
                                       std::time_t now);

}  // namespace kestrune::app
