// The "Station" sheet read back: the devices, the volume and the
// calibration in force, or a clear row when there is none; a second
// registration appends its own block.

#include "SheetTestSupport.h"
#include "sheet/StationSheet.h"

namespace kestrune::sheet::testing {
namespace {

StationFacts Facts(std::optional<CalibrationFacts> calibration, std::optional<int> volume = 75) {
    return {"2024-05-01 10:00:00", "booth1", "ALSA", "USB Headset", "", volume, calibration, ""};
}

TEST(StationSheetTest, RowsSayWhatThePresentationLevelsRestOn) {
    const Table head{{"Registered", "2024-05-01 10:00:00"},
                     {"Station", "booth1"},
                     {"Host API", "ALSA"},
                     {"Output device", "USB Headset"},
                     {"Input device", "(default)"}};
    const CalibrationFacts calibrated{"2024-04-30 09:15:00", -20.0, 74.25, 75};
    const struct {
        const char* name;
        StationFacts facts;
        Table tail;
    } rows[] = {
        {"not calibrated",
         Facts(std::nullopt),
         {{"Speaker volume (%)", "75"}, {"Calibration", "not calibrated"}}},
        {"calibrated at this volume",
         Facts(calibrated),
         {{"Speaker volume (%)", "75"},
          {"Calibration", "2024-04-30 09:15:00"},
          {"Reference level (dBFS)", "-20.0"},
          {"Measured level (dB SPL)", "74.25"},
          {"Full-scale sine (dB SPL)", "94.25"},
          {"Speaker volume at calibration (%)", "75"}}},
        {"volume changed since, and no mixer now",
         Facts(calibrated, std::nullopt),
         {{"Speaker volume (%)", "unknown (no speaker volume control)"},
          {"Calibration", "2024-04-30 09:15:00"},
          {"Reference level (dBFS)", "-20.0"},
          {"Measured level (dB SPL)", "74.25"},
          {"Full-scale sine (dB SPL)", "94.25"},
          {"Speaker volume at calibration (%)", "75"},
          {"Note",
           "the speaker volume differs from the calibration's: the levels above do not "
           "hold for this session"}}},
    };
    for (const auto& row : rows) {
        kestrune::testing::ScratchDir dir;
        const std::string path = dir.File("Yamada.xlsx");
        std::string error;
        ASSERT_TRUE(WriteStationSheet(path, row.facts, &error)) << error;
        ASSERT_TRUE(WriteStationSheet(path, row.facts, &error)) << error;  // registered again
        Table block = head;
        block.insert(block.end(), row.tail.begin(), row.tail.end());
        block.push_back({"", ""});  // a blank row keeps the sheet's width
        Table expected{{"Item", "Value"}};
        for (int i = 0; i < 2; ++i) expected.insert(expected.end(), block.begin(), block.end());
        EXPECT_EQ(SheetText(path, "Station"), expected) << row.name;
    }
}

}  // namespace
}  // namespace kestrune::sheet::testing
