#include "app/StationFacts.h"

#include "core/util/Clock.h"
#include "store/Calibration.h"

namespace kestrune::app {

QString DeviceText(const audio::DeviceChoice& choice) {
    auto name = [](const std::string& text) {
        return text.empty() ? QStringLiteral("(default)") : QString::fromStdString(text);
    };
    return name(choice.hostApi) + QStringLiteral(" / ") + name(choice.outputDevice);
}

QString VolumeText(std::optional<int> percent) {
    return percent ? QStringLiteral("%1 %").arg(*percent) : QStringLiteral("unknown (no mixer)");
}

sheet::StationFacts GatherStationFacts(store::Database& db, const QString& stationFolder,
                                       const QString& stationName, std::optional<int> volume,
                                       std::time_t now) {
    const audio::DeviceChoice choice = audio::ReadDeviceChoice(stationFolder.toStdString());
    sheet::StationFacts facts;
    facts.time = FormatLocalTime(now);
    const QString station = stationName.isEmpty() ? store::StationName() : stationName;
    facts.station = station.toStdString();
    facts.hostApi = choice.hostApi;
    facts.outputDevice = choice.outputDevice;
    facts.inputDevice = choice.inputDevice;
    facts.volume = volume;
    const auto found =
        store::CalibrationInForce(db, {station, QString::fromStdString(choice.hostApi),
                                       QString::fromStdString(choice.outputDevice)});
    if (!found.Ok()) {
        facts.calibrationProblem = found.error->message.toStdString();
    } else if (found.value) {
        facts.calibration =
            sheet::CalibrationFacts{found.value->time.toStdString(), found.value->referenceDbfs,
                                    found.value->measuredDbSpl, found.value->volume};
    }
    return facts;
}

}  // namespace kestrune::app
