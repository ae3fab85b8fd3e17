// The station's calibrations: for one output device, the level a
// sound-level meter read while a 1 kHz tone at a known level below full
// scale played at a known speaker volume. A paper can then state the
// presentation level of any stimulus: its level in dBFS plus the difference
// between the measured level and the reference level.
//
// A calibration belongs to a station (several stations may share one
// PostgreSQL database) and to the output device the station's kestrune.ini
// names; the one in force for a device is the newest recorded for it.
#pragma once

#include <QString>

#include <optional>

#include "store/Database.h"

namespace kestrune::store {

/** Which station and output device a calibration is for. An empty host API
 *  or device is the default, as in kestrune.ini. */
struct CalibratedDevice {
    QString station;       ///< SCStation: the station's name (its host name)
    QString hostApi;       ///< SCHostApi
    QString outputDevice;  ///< SCOutputDevice

    bool operator==(const CalibratedDevice&) const = default;
};

/** This machine's name (its host name), which a calibration is recorded
 *  under; "station" when the machine has none. */
QString StationName();

/** One StationCalibration row. */
struct Calibration {
    qint64 id = 0;  ///< SCID; given by the database, ignored when recording
    CalibratedDevice device;
    std::optional<int> volume;   ///< SCVolume, the speaker volume in percent; none: no mixer
    double referenceDbfs = 0.0;  ///< SCReferenceLevel, the tone's level in dBFS
    double measuredDbSpl = 0.0;  ///< SCMeasuredLevel, what the meter read
    QString time;                ///< SCTime, "yyyy-MM-dd HH:mm:ss" local time

    /** The level in dB SPL that a full-scale (0 dBFS) sine would have. */
    double FullScaleDbSpl() const { return measuredDbSpl - referenceDbfs; }
};

/** The measured levels a calibration accepts, in dB SPL: a sound-level
 *  meter reads nothing outside this. */
inline constexpr double kLowestDbSpl = 0.0;
inline constexpr double kHighestDbSpl = 140.0;

/** Stores one calibration; returns its key. Values outside the meter's
 *  range or a reference level above 0 dBFS are refused (FailureKind::Refused)
 *  before anything is sent. */
DbResult<qint64> RecordCalibration(Database& db, const Calibration& calibration);

/** The calibration in force for a device: the newest recorded for it (by
 *  time, then by key); nullopt when it was never calibrated. */
DbResult<std::optional<Calibration>> CalibrationInForce(Database& db,
                                                        const CalibratedDevice& device);

}  // namespace kestrune::store
