#include "store/Calibration.h"

#include <QSysInfo>

#include <cmath>

#include "store/Schema.h"

namespace kestrune::store {

namespace {

const QString kTable = QLatin1String(kCalibrationTable);

// SCHostApi and SCOutputDevice hold "" for the default; a NULL (a row
// written by hand) counts the same.
QString Named(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

}  // namespace

QString StationName() {
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("station") : name;
}

DbResult<qint64> RecordCalibration(Database& db, const Calibration& calibration) {
    const Values values{
        {QStringLiteral("SCStation"), Named(calibration.device.station)},
        {QStringLiteral("SCHostApi"), Named(calibration.device.hostApi)},
        {QStringLiteral("SCOutputDevice"), Named(calibration.device.outputDevice)},
        {QStringLiteral("SCVolume"),
         calibration.volume ? QVariant(*calibration.volume) : QVariant()},
        {QStringLiteral("SCReferenceLevel"), calibration.referenceDbfs},
        {QStringLiteral("SCMeasuredLevel"), calibration.measuredDbSpl},
        {QStringLiteral("SCTime"), calibration.time},
    };
    const bool measuredOk = std::isfinite(calibration.measuredDbSpl) &&
                            calibration.measuredDbSpl >= kLowestDbSpl &&
                            calibration.measuredDbSpl <= kHighestDbSpl;
    const bool referenceOk =
        std::isfinite(calibration.referenceDbfs) && calibration.referenceDbfs <= 0.0;
    if (!measuredOk || !referenceOk) {
        DbResult<qint64> refused;
        refused.error = DbError{
            measuredOk ? QStringLiteral("the reference level %1 dBFS is not at or below full scale")
                             .arg(calibration.referenceDbfs)
                       : QStringLiteral("the measured level %1 dB SPL is outside %2 ... %3")
                             .arg(calibration.measuredDbSpl)
                             .arg(kLowestDbSpl)
                             .arg(kHighestDbSpl),
            QString(), FailureKind::Refused};
        return refused;
    }
    return db.Insert(kTable, QStringLiteral("SCID"), values);
}

DbResult<std::optional<Calibration>> CalibrationInForce(Database& db,
                                                        const CalibratedDevice& device) {
    DbResult<std::optional<Calibration>> result;
    const auto rows = db.Query(
        {QStringLiteral("SELECT * FROM %1 WHERE SCStation = ? AND COALESCE(SCHostApi, '') = ? "
                        "AND COALESCE(SCOutputDevice, '') = ? "
                        "ORDER BY SCTime DESC, SCID DESC LIMIT 1")
             .arg(kTable),
         {Named(device.station), Named(device.hostApi), Named(device.outputDevice)}});
    result.error = rows.error;
    if (!rows.Ok() || rows.value.empty()) return result;
    const Row& row = rows.value.front();
    Calibration found;
    found.id = row.Int(QStringLiteral("SCID"));
    found.device = {row.Text(QStringLiteral("SCStation")), row.Text(QStringLiteral("SCHostApi")),
                    row.Text(QStringLiteral("SCOutputDevice"))};
    if (!row.IsNull(QStringLiteral("SCVolume")))
        found.volume = static_cast<int>(row.Int(QStringLiteral("SCVolume")));
    found.referenceDbfs = row.Real(QStringLiteral("SCReferenceLevel"));
    found.measuredDbSpl = row.Real(QStringLiteral("SCMeasuredLevel"));
    // PostgreSQL hands the time back as a date-time: the same text either way.
    const QVariant time = row.Value(QStringLiteral("SCTime"));
    found.time = time.typeId() == QMetaType::QDateTime
                     ? time.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                     : time.toString();
    result.value = found;
    return result;
}

}  // namespace kestrune::store
