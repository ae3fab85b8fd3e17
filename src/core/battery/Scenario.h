// Scenario files: which test runs, its items and where its files are.
//
// A scenario is an INI file. Section INFO names the test type (TESTTYPE),
// the number of items (TOTAL), the instruction pictures (PICTUREPATH,
// PICTURENUMBER) and, for some tests, the stimulus folder (FILEPATH) and the
// volume (VOLUME). Items are the sections DATA1 ... DATA<TOTAL>.
//
// Every value is read as text ("Notfound" when missing) and decoded to UTF-8
// (legacy files are cp932, new ones UTF-8, with or without a byte-order
// mark). Numbers are the leading decimal
// integer or real of that text, so a missing key is 0. Folder values written
// for the old platform use '\'; Path() turns them into '/' paths and places a
// relative one in the scenario's own folder. A folder keeps its trailing
// separator and file names are appended to it directly, exactly as the
// scenario writes them: a folder without the trailing separator runs into
// the file name.
#pragma once

#include "core/text/Numbers.h"  // LeadingInt, LeadingReal

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/ini/IniFile.h"

namespace kestrune {

inline constexpr const char* kLoadingScenarioFailedMessage = "Loading configuration file failed!";
inline constexpr const char* kNoTestItemMessage = "No test item exits!";
inline constexpr const char* kInvalidScenarioMessage = "Invalid configuration file!";

/** What a test says of a scenario file it cannot read at all:
 *  "Loading configuration file failed!" and the path on a second line. */
std::string UnreadableScenarioMessage(const std::string& path);

/** The tests a scenario can name. */
enum class TestKind {
    SentenceRecognition,  ///< "SINGLE"
    TimeListening,        ///< "TIME"
    InterruptedSpeech,    ///< "SYLLABLE"
    SyllableMasking,      ///< "SYLLABLEMASKING"
    VowelDiscrimination,  ///< "NEWSYLLABLEMASKING"
    SpeededSyllable,      ///< "SYLLABLESPEEDUP"
    AudioPresentation,    ///< "PLAY"
};

/** One row of the TESTTYPE table. */
struct TestTypeEntry {
    std::string_view value;  ///< the exact TESTTYPE text
    TestKind kind;
    int testNumber;  ///< 2 ... 8: selects the directions text and names the dialog
};

/** The TESTTYPE table, in its fixed order. */
std::span<const TestTypeEntry> TestTypeTable();

/** The test a TESTTYPE value names; compared exactly and case-sensitively,
 *  so "single" or "Notfound" give nothing. */
std::optional<TestKind> TestKindFor(std::string_view testType);

/** The test number of a kind (2 for the sentence test ... 8). */
int TestNumberOf(TestKind kind);

/** The TESTTYPE text that names a kind ("SINGLE" ...). */
std::string_view TestTypeValue(TestKind kind);

/** A scenario file held in memory. */
class Scenario {
  public:
    Scenario() = default;

    /** Reads the file. A file that cannot be read gives an empty scenario
     *  (every key "Notfound", so TOTAL is 0); Opened() tells which. */
    static Scenario Load(const std::string& path);
    /** A scenario from bytes, as if read from a file in `folder`. */
    static Scenario FromText(std::string_view bytes, std::string folder);

    bool Opened() const { return opened_; }
    /** The folder relative paths are resolved in ("" means the working folder). */
    const std::string& Folder() const { return folder_; }

    // Any key, decoded; "Notfound" when missing.
    std::string Text(std::string_view section, std::string_view key) const;
    int Int(std::string_view section, std::string_view key) const;
    double Real(std::string_view section, std::string_view key) const;
    /** A file or folder value converted to a local path (see above). */
    std::string Path(std::string_view section, std::string_view key) const;
    bool Has(std::string_view section, std::string_view key) const;

    // Common INFO keys.
    std::string TestType() const { return Text("INFO", "TESTTYPE"); }
    std::optional<TestKind> Kind() const { return TestKindFor(TestType()); }
    int Total() const { return Int("INFO", "TOTAL"); }
    std::string PicturePath() const { return Path("INFO", "PICTUREPATH"); }
    int PictureNumber() const { return Int("INFO", "PICTURENUMBER"); }
    std::string FilePath() const { return Path("INFO", "FILEPATH"); }
    int Volume() const { return Int("INFO", "VOLUME"); }

    // Item keys: item i (from 1) is section "DATA<i>".
    static std::string ItemSection(int item);
    std::string ItemText(int item, std::string_view key) const;
    int ItemInt(int item, std::string_view key) const;
    double ItemReal(int item, std::string_view key) const;
    std::string ItemPath(int item, std::string_view key) const;

    /** Converts a scenario path value: '\' becomes '/', a drive prefix such as
     *  "C:" is dropped, and a path that is then not absolute is placed in
     *  `folder`. An absolute path is kept. */
    static std::string LocalPath(std::string_view value, const std::string& folder);

  private:
    void DropByteOrderMark();

    CIniFile ini_;
    std::string folder_;
    bool opened_ = false;
};

/** What a test dialog does after reading its scenario. */
enum class ScenarioStart {
    Ready,       ///< go on with the fonts and the directions
    LoadFailed,  ///< messages shown, the dialog closes
    NoItems,     ///< "No test item exits!" shown, the dialog closes
};

struct ScenarioCheck {
    ScenarioStart result = ScenarioStart::Ready;
    std::vector<std::string> messages;  ///< to show in this order
    int itemCount = 0;                  ///< TOTAL when ready
};

/**
 * The scenario step of a test dialog's start. `itemCheck` is the test's own
 * check of item i (from 1); it returns the message to show when the item is
 * not usable (for instance an unknown audio material). A failed check shows
 * its message and then "Loading configuration file failed!". So does a TOTAL
 * beyond the test's item capacity (a capacity of 0 means no limit). After a
 * successful load a TOTAL of 0 or less shows "No test item exits!".
 */
ScenarioCheck CheckScenario(
    const Scenario& scenario, int capacity,
    const std::function<std::optional<std::string>(const Scenario&, int)>& itemCheck = {});

}  // namespace kestrune
