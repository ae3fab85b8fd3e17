// The syllable masking test without its window: the scenario's items, the
// sound codes, the vowel order, the rising levels and the answer rows.
//
// Each item has one masking sound (a vowel recording or a sea-wave noise).
// At every level the open vowels are tested once each in a freshly drawn
// order; the masked vowel is mixed under the masking sound at BEGIN +
// INTERVAL * k dB. A vowel leaves the item after its second correct answer,
// the masking vowel never enters it, and the item ends when no vowel is left
// or the last level has been passed. The dialog feeds in the choices and
// answers and plays and stores what comes back; the random generator and
// the clock are injected.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/battery/Scenario.h"
#include "core/battery/Stimulus.h"
#include "core/battery/TestTexts.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"

namespace kestrune {

inline constexpr int kSyllableVowels = 5;
inline constexpr int kSyllableMaskCapacity = 20;
inline constexpr const char* kSyllableMaskCaption = "音声分離実験をしている(1)";
inline constexpr const char* kSyllableMaskGroupTitle =
    "Please choose the syllable masked by the larger voice";
inline constexpr const char* kRecognitionStateError = "Recognition state error!";

/** あ い う え お for 0 ... 4, "sea1" "sea2" "sea1(fre)" "sea2(fre)" for
 *  5 ... 8; "" for any other code. */
std::string_view SyllableSoundLabel(int code);

/** The code of a masking file name ("1.wav" -> 0 ... "sea2(fre).wav" -> 8),
 *  compared exactly; -1 for any other name. */
int SyllableSoundCode(std::string_view fileName);

/** One test item of the scenario. */
struct SyllableMaskItem {
    std::string fileName;     ///< FILENAME: the masking recording
    std::string maskingPath;  ///< FILEPATH + FILENAME
    int type = 0;             ///< TYPE: read, not used
    int begin = 0;
    int end = 0;
    int interval = 0;
    int number = 0;  ///< highest position in the vowel order that may be tested

    /** (END - BEGIN) / INTERVAL + 1, whole-number; 1 when INTERVAL is 0. */
    int LevelCount() const;
    /** The sound code of FILENAME; a vowel code 0 ... 4 is never a target. */
    int MaskingCode() const { return SyllableSoundCode(fileName); }
};

struct SyllableMaskSettings {
    int total = 0;  ///< INFO TOTAL
    std::string picturePath;
    int pictureNumber = 0;
    std::string filePath;  ///< folder prefix of the masked vowels 1.wav ... 5.wav
    std::vector<SyllableMaskItem> items;
};

/** Reads INFO and DATA1 ... DATA<TOTAL>; at most 20 items are kept. */
SyllableMaskSettings ReadSyllableMaskSettings(const Scenario& scenario);

/** A random order of the vowel codes 0 ... 4: five draws from a shrinking list. */
std::array<int, kSyllableVowels> DrawVowelOrder(CrtRandom& random);

/** The three ways of answering. */
enum class SyllableAnswer { Confirm, NotSure, NothingRecognised };

/** One SyllableMaskRecord row, without the dialog's own columns. */
struct SyllableMaskRow {
    std::string timeText;  ///< "%Y-%m-%d %H:%M:%S"
    std::int64_t durationSeconds = 0;
    std::string maskingContent;
    std::string maskedContent;
    std::string recognised;    ///< "" without a choice
    std::optional<int> state;  ///< 1 Confirm, 0 nothing recognised, none for "Not sure"
    int validity = 1;          ///< 2 during the first item
    int snr = 0;
};

/** What to play: the masking sound and the vowel under it. */
struct SyllableMaskTrial {
    std::string maskingFile;
    std::string maskedFile;
    int masked = 0;  ///< vowel code
    int level = 0;   ///< dB
};

/** The outcome of an answer. */
struct SyllableMaskStep {
    SyllableMaskRow row;
    std::optional<std::string> message;  ///< "Recognition state error!"
    bool finished = false;               ///< the last item is over: thank and close
    bool newPicture = false;             ///< an item ended: advance the picture
};

class SyllableMaskingTest {
  public:
    /** Starts at item 0, level step 0, with a drawn vowel order. */
    SyllableMaskingTest(SyllableMaskSettings settings, CrtRandom& random, const Clock& clock);

    const SyllableMaskSettings& Settings() const { return settings_; }
    int CurrentItem() const { return item_; }
    int LevelStep() const { return step_; }
    int Position() const { return position_; }
    const std::array<int, kSyllableVowels>& Order() const { return order_; }
    const std::array<int, kSyllableVowels>& States() const { return states_; }
    bool Over() const { return item_ >= static_cast<int>(settings_.items.size()); }

    /** The item's masking vowel, -1 for a sea-wave or unknown masker. */
    int MaskingVowel() const;
    /** The vowel now tested, -1 when none. */
    int Target() const;
    int Level() const;
    int Choice() const { return choice_; }
    /** Chooses a vowel panel; false (ignored) for the masking vowel. */
    bool Choose(int vowel);
    void ClearChoice() { choice_ = -1; }

    /** The stimulus of the trial now due (none when the test is over). */
    std::optional<SyllableMaskTrial> CurrentTrial() const;
    /** The stimulus began: answers are timed from now. */
    void PlayStarted();
    /** Stores nothing itself: returns the row and moves on. */
    SyllableMaskStep Answer(SyllableAnswer kind);

    /** Σ of every item's level count. */
    int ProgressTotal() const;
    /** The level counts of the items before the current one, plus k. */
    int ProgressDone() const;

  private:
    const SyllableMaskItem& Item() const;
    void StartItem();
    int FirstOpen() const;
    int NextOpen() const;
    /** Goes on to the next item that has a vowel to test; true when one is left. */
    bool NextItem();

    SyllableMaskSettings settings_;
    CrtRandom& random_;
    const Clock& clock_;
    int item_ = 0;
    int step_ = 0;
    int position_ = -1;
    int choice_ = -1;
    std::array<int, kSyllableVowels> order_{0, 1, 2, 3, 4};
    std::array<int, kSyllableVowels> states_{};
    std::time_t startedAt_ = 0;
};

/** A trial's mix, ready for the sound output, or the text to show. */
struct SyllableMaskStimulus {
    bool ok = false;
    std::string message;
    WaveFormat format;  ///< 16-bit, one channel, at the masked file's rate
    std::vector<std::uint8_t> bytes;
    std::uint32_t sampleCount = 0;
};

/** 8-bit (offset binary) or 16-bit samples as 16-bit values; 8-bit ones are
 *  scaled up by 256 so both depths mix at the same loudness. */
std::vector<std::int16_t> SamplesAs16(const LoadedStimulus& loaded);

/** Loads the masking, then the masked recording and mixes them at the level. */
SyllableMaskStimulus PrepareSyllableStimulus(const SyllableMaskTrial& trial);

}  // namespace kestrune
