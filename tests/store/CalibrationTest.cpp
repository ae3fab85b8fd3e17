// The station's calibrations on both engines: what is recorded reads back,
// the newest per station and device is the one in force, impossible levels
// are refused, and a version-3 database gains the table keeping its rows.

#include <cmath>
#include <limits>

#include "StoreFixture.h"
#include "store/Calibration.h"
#include "store/Schema.h"

namespace kestrune::store::testing {
namespace {

class CalibrationTest : public StoreTest {};

Calibration Made(const char* station, const char* output, const char* time, double measured,
                 std::optional<int> volume = 60) {
    return {0, {station, "ALSA", output}, volume, -20.0, measured, time};
}

TEST_P(CalibrationTest, TheNewestPerStationAndDeviceIsInForce) {
    auto db = Open();
    ASSERT_TRUE(db);
    // In the order recorded; two in one second on booth 1's headset.
    const Calibration made[] = {
        Made("booth1", "", "2024-05-01 09:00:00", 70.0, std::nullopt),  // no mixer
        Made("booth1", "USB Headset", "2024-05-02 09:00:00", 71.5),
        Made("booth1", "USB Headset", "2024-05-03 09:00:00", 72.25, std::nullopt),
        Made("booth1", "USB Headset", "2024-05-03 09:00:00", 73.0, 85),
        Made("booth2", "USB Headset", "2024-06-01 09:00:00", 80.0),
        Made("booth2", "USB Headset", "2024-05-01 09:00:00", 81.0),  // recorded late, older
    };
    for (const Calibration& c : made) EXPECT_GT(Must(RecordCalibration(*db, c)), 0);
    const struct {
        CalibratedDevice device;
        std::optional<std::size_t> expected;  // index into made
    } rows[] = {
        {{"booth1", "ALSA", ""}, 0},
        {{"booth1", "ALSA", "USB Headset"}, 3},
        {{"booth2", "ALSA", "USB Headset"}, 4},
        {{"booth1", "", "USB Headset"}, std::nullopt},  // another host API
        {{"booth3", "ALSA", ""}, std::nullopt},
    };
    for (const auto& row : rows) {
        const std::optional<Calibration> found = Must(CalibrationInForce(*db, row.device));
        ASSERT_EQ(found.has_value(), row.expected.has_value()) << S(row.device.station);
        if (!found) continue;
        const Calibration& want = made[*row.expected];
        EXPECT_EQ(found->device, want.device);
        EXPECT_EQ(found->volume, want.volume);
        EXPECT_DOUBLE_EQ(found->referenceDbfs, -20.0);
        EXPECT_DOUBLE_EQ(found->measuredDbSpl, want.measuredDbSpl);
        EXPECT_EQ(found->time, want.time);
    }
}

TEST_P(CalibrationTest, ImpossibleLevelsAreRefusedBeforeStoring) {
    auto db = Open();
    ASSERT_TRUE(db);
    const struct {
        double reference, measured;
    } rows[] = {{-20, -0.5},
                {-20, 140.5},
                {-20, std::nan("")},
                {3, 70},
                {-20, std::numeric_limits<double>::infinity()}};
    for (const auto& row : rows) {
        Calibration c = Made("booth1", "", "2024-05-01 09:00:00", row.measured);
        c.referenceDbfs = row.reference;
        const auto stored = RecordCalibration(*db, c);
        ASSERT_FALSE(stored.Ok()) << row.measured;
        EXPECT_EQ(stored.error->kind, FailureKind::Refused);
    }
    EXPECT_EQ(Count(*db, kCalibrationTable), 0);
}

TEST_P(CalibrationTest, AVersionThreeDatabaseGainsTheTableAndKeepsItsRows) {
    const Dialect dialect = Dialect::For(Location().engine);
    {
        RawConnection raw(Location());
        QStringList statements;
        for (int version = 1; version <= 3; ++version)
            statements << MigrationStep(version, dialect);
        statements << QStringLiteral("CREATE TABLE %1 (version INTEGER NOT NULL)")
                          .arg(QLatin1String(kVersionTable))
                   << QStringLiteral("INSERT INTO %1 (version) VALUES (3)")
                          .arg(QLatin1String(kVersionTable))
                   << "INSERT INTO IndividualInfo (IIName) VALUES ('Yamada')";
        for (const QString& sql : statements) ASSERT_TRUE(raw.Exec(sql)) << S(raw.LastError());
    }
    auto db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(db->SchemaVersion(), 4);
    EXPECT_EQ(Scalar(*db, "SELECT IIName FROM IndividualInfo WHERE IIID = 2").toString(), "Yamada");
    Must(RecordCalibration(*db, Made("booth1", "", "2024-05-01 09:00:00", 70.0)));
    EXPECT_EQ(Count(*db, kCalibrationTable), 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, CalibrationTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

}  // namespace
}  // namespace kestrune::store::testing
