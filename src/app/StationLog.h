// The station log: "kestrune.log" in the station folder, where an
// experimenter can follow a session afterwards - its start and end, the
// subject, the scenario, every stimulus played and answer stored, and every
// error with the file or database it concerns.
//
// Code writes to it through Qt's logging categories ("kestrune.*", for
// instance qCInfo(lcSession)); the log takes every message of those
// categories and passes everything on to the handler installed before it.
// The file is capped: once it would grow beyond the cap it is renamed to
// "kestrune.log.1" (replacing an older one) and a new file begins, so a
// station keeps at most about twice the cap.
#pragma once

#include <QLoggingCategory>
#include <QString>

namespace kestrune::app {

/** Sessions: start and end, subject, scenario, stimuli, answers, errors. */
Q_DECLARE_LOGGING_CATEGORY(lcSession)

/** What the sound libraries (ALSA, JACK) print on their own, at debug level.
 *  Written to the log file only, never passed on to the terminal: a
 *  station without a sound card would otherwise fill it at every start. */
Q_DECLARE_LOGGING_CATEGORY(lcSoundLibrary)

inline constexpr qint64 kStationLogCapBytes = 1024 * 1024;

/** "kestrune.log" in the folder. */
QString StationLogPath(const QString& stationFolder);

/** From now on writes the "kestrune.*" categories to the folder's log.
 *  False (and nothing installed) when the file cannot be opened. */
bool InstallStationLog(const QString& stationFolder, qint64 capBytes = kStationLogCapBytes);

/** Stops writing the log and puts the earlier handler back. */
void RemoveStationLog();

}  // namespace kestrune::app
