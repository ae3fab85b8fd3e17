// The vowel discrimination test without its window: scenario values, the
// 5 x 5 vowel pair table, the choice of the next pair, the evaluation and
// adaptation of each answer, progress and rest breaks, the stimulus mix, the
// threshold table and the hearing-age estimate.
//
// Two vowels out of あ い う え お sound at once: the masking vowel i at its
// recorded level and the masked vowel j attenuated to the current level of
// pair p = 5 i + j. Each answer moves or closes that pair. The dialog feeds
// the session its events (start, marks, answers) and shows, plays and stores
// what comes back; random numbers and both clocks are injected.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/battery/Scenario.h"
#include "core/battery/TestTexts.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"

namespace kestrune {

inline constexpr int kVowelCount = 5;
inline constexpr int kVowelPairCount = kVowelCount * kVowelCount;
/** The masked vowel is silent at this level and above. */
inline constexpr int kVowelMutedLevel = 120;
/** The range of the draw that chooses a pair. */
inline constexpr int kVowelPairDrawRange = 362880;
/** Taken off the answer time before it is stored. */
inline constexpr std::uint64_t kVowelDurationAllowanceMs = 400;
/** At most this many rest breaks. */
inline constexpr int kVowelMaxRests = 5;

inline constexpr const char* kVowelTestCaption = "脳内音声識別テストをしている";
inline constexpr const char* kVowelPracticeCaption = "脳内音声識別練習をしている";
inline constexpr const char* kVowelStartTestGuide = "「開始」ボタンを押して，テストを始めます！";
inline constexpr const char* kVowelStartPracticeGuide = "「開始」ボタンを押して，練習を始めます！";
inline constexpr const char* kVowelSelectTwoGuide = "識別した二つの母音を選択してください";
inline constexpr const char* kVowelSelectOneMoreGuide = "もう一つの母音を選択してください";
inline constexpr const char* kVowelPressConfirmGuide = "「確認」ボタンを押してください";
inline constexpr const char* kVowelRestMessage = "疲れだね、ちょうど休みましょう！";
inline constexpr const char* kVowelResumeMessage = "始めましょう！";
inline constexpr const char* kVowelPracticeEndText = "練習を終わり，本番のテストに行きましょう！";
inline constexpr const char* kVowelCloseEarlyQuestion =
    "テストがまだ終わりません，テスト結果が取れない．\n 確かに終了しますか?";

/** "あ" ... "お" for the codes 0 ... 4; "" for any other code. */
std::string_view VowelLabel(int code);

/** The kinds of run a scenario's TYPE names. */
enum class VowelRunType { Unknown = -1, Test = 1, Makeup = 2, Try = 3, Train = 4 };

/** "TEST", "MAKEUP", "TRY", "TRAIN" (exact); anything else is Unknown. */
VowelRunType VowelRunTypeFor(std::string_view text);

/** One vowel pair: levels in dB. */
struct VowelPair {
    int begin = 0;
    int end = 0;
    int level = 0;
    bool finished = false;
    int missesLeft = 0;
};

using VowelPairTable = std::array<VowelPair, kVowelPairCount>;

/** Everything the test reads from its scenario. */
struct VowelSettings {
    int total = 0;  ///< INFO TOTAL; read and kept, it drives nothing
    std::string picturePath;
    int pictureNumber = 0;
    std::string filePath;  ///< folder prefix of 1.wav ... 5.wav, appended to as given
    int volume = 0;
    int interval = 0;
    VowelRunType type = VowelRunType::Unknown;
    int missPermission = 0;
    int restPermission = 0;  ///< already limited to 5
    int onePlayTimes = 0;
    int twoPlayTimes = 0;
    bool autoConfirm = false;
    bool beep = false;
    VowelPairTable pairs{};  ///< as loaded: level = begin, begin < end closed at level 0
};

/** Reads section DATA and the pair sections DATA1 ... DATA5. */
VowelSettings ReadVowelSettings(const Scenario& scenario);

/** The pair index for masking vowel i and masked vowel j. */
constexpr int VowelPairIndex(int masking, int masked) {
    return masking * kVowelCount + masked;
}

/** Number of open pairs. */
int OpenVowelPairs(const VowelPairTable& pairs);

/**
 * The next pair: -1 when none is open; otherwise one draw
 * r = RandomInt(362880) + 1 picks the (r mod open + 1)-th open pair, counted
 * from index 1 upward and wrapping from 24 to 0.
 */
int ChooseVowelPair(const VowelPairTable& pairs, CrtRandom& random);

/** Σ over the open pairs of ((end - begin) / interval + 1); an interval of 0
 *  counts each pair as one step. */
int VowelTotalSteps(const VowelPairTable& pairs, int interval);

/** (total steps / (rests + 1)) * 0.95, truncated; the division is whole-number. */
int VowelRestPoint(int totalSteps, int restPermission);

struct VowelProgress {
    int total = 0;
    int remaining = 0;
    int done = 0;
    int rangeMax = 0;  ///< the progress bar runs 0 ... rangeMax
};

/** Steps of all pairs with end <= begin, the steps the open pairs still have
 *  from their level, and the progress bar's range. */
VowelProgress ComputeVowelProgress(const VowelPairTable& pairs, int interval);

/**
 * The masked vowel mixed into the masking vowel: the output is as long as
 * the longer input, the masking samples copied in, each masked sample times
 * 10^(level / 20) (0 from 120 dB up), truncated toward zero, added and
 * clipped to -32768 ... 32767.
 */
std::vector<std::int16_t> MixVowels(const std::vector<std::int16_t>& masking,
                                    const std::vector<std::int16_t>& masked, int level);

/** The marks on the five vowel buttons. */
class VowelSelection {
  public:
    /** Marks a vowel; a third mark clears the others so only this one stays.
     *  Returns true when the marks have just become exactly two. */
    bool Mark(int vowel);
    void Clear() { marks_ = {}; }
    bool Marked(int vowel) const;
    int Count() const;
    const std::array<bool, kVowelCount>& Marks() const { return marks_; }
    /** The guide text for the current number of marks. */
    std::string_view Guide() const;

  private:
    std::array<bool, kVowelCount> marks_{};
};

/** How an answer is given. */
enum class VowelAnswerKind {
    Two,      ///< "確認" with two marks
    One,      ///< confirm a single vowel
    DontKnow  ///< "わからない"
};

/** What a key does. */
struct VowelKeyAction {
    enum class Kind { None, Mark, Answer } kind = Kind::None;
    int vowel = -1;                                      ///< for Mark
    VowelAnswerKind answer = VowelAnswerKind::DontKnow;  ///< for Answer
};

/** A S D F G mark あ ... お; H answers with two marks, J with one, L with
 *  none; K does whichever fits the number of marks. Lower case as well. */
VowelKeyAction VowelKeyFor(char key, int marks);

/** Whether the marks identify pair (masking, masked). */
bool VowelAnswerCorrect(int masking, int masked, const std::array<bool, kVowelCount>& marks);

/** The recognised vowel text of an answer (see the record). */
std::string VowelRecognised(int masking, const std::array<bool, kVowelCount>& marks);

/** One answer, ready to be stored as a row. */
struct VowelRecord {
    int volume = 0;
    std::time_t time = 0;
    std::string timeText;      ///< "%Y-%m-%d %H:%M:%S"
    std::string durationText;  ///< "%3.2f" seconds, 400 ms taken off, at least 0
    std::string maskingContent;
    std::string maskedContent;
    int snr = 0;             ///< the pair's level when the answer was given
    std::string recognised;  ///< empty for "わからない" and when the masking vowel was not marked
    double state = 0.0;      ///< 1 correct; 0.5 wrong with misses left; 0 wrong with none
    std::optional<int> validity;  ///< 1, 2, 3 or 5; none for an unknown TYPE
    std::string other;            ///< "makeup" for MAKEUP
};

/** A stimulus to play. */
struct VowelTrial {
    int pair = -1;
    int masking = 0;
    int masked = 0;
    int level = 0;
    std::string maskingFile;
    std::string maskedFile;
    int repeatCount = 0;  ///< ONEPLAYTIMES for the same vowel twice, else TWOPLAYTIMES
};

/** The outcome of an answer or of the start. */
struct VowelStep {
    std::optional<VowelRecord> record;  ///< none for the start
    bool correct = false;
    VowelProgress progress;
    bool rest = false;               ///< one rest used: show the two messages, then wait 2 s
    std::optional<VowelTrial> next;  ///< none: no pair is open, the test ends
};

/** Hearing thresholds of the finished pairs. */
struct VowelAverages {
    double hearing = 0.0;     ///< mean of finished i = j pairs (0 when none)
    double separation = 0.0;  ///< sum of finished i != j pairs / 20
    int hearingPairs = 0;     ///< finished i = j pairs
    int separationPairs = 0;  ///< finished i != j pairs
};

VowelAverages ComputeVowelAverages(const VowelPairTable& pairs);

/** The estimated hearing age from the separation average (truncated). */
int EstimateHearingAge(double separation);

/** The evaluation for a subject of `age` whose hearing age is `estimated`. */
std::string_view VowelEvaluationText(int age, int estimated);

/** The final text: for TEST the evaluation and age range, otherwise the
 *  thank-you text. */
std::string VowelFinalText(VowelRunType type, int age, int estimated);

/** The rows of sheet "Result": the threshold table with both averages; an
 *  average over no finished pair is "Null", like an unfinished pair, so a
 *  table written when a run is closed early never looks like a result. */
std::vector<std::vector<std::string>> VowelThresholdRows(const VowelPairTable& pairs);

/** The end of a run. */
struct VowelEnding {
    std::string finalText;
    int estimatedAge = 0;  ///< 0 in practice
    /** Rows for sheet "Result"; empty in practice (nothing is written). */
    std::vector<std::vector<std::string>> rows;
};

/** One run of the test. */
class VowelDiscriminationTest {
  public:
    /** Opens the run: counts the steps, sets the rest point and chooses the
     *  first pair. `practice` is subject id 1. */
    VowelDiscriminationTest(VowelSettings settings, bool practice, int subjectAge,
                            CrtRandom& random, const Clock& clock);

    const VowelSettings& Settings() const { return settings_; }
    const VowelPairTable& Pairs() const { return settings_.pairs; }
    bool Practice() const { return practice_; }
    const char* Caption() const;
    /** The subject's age, read by the evaluation only. */
    int SubjectAge() const { return age_; }
    /** The subject corrected their age before the end. */
    void SetSubjectAge(int age) { age_ = age; }
    const char* StartGuide() const;

    int CurrentPair() const { return current_; }
    bool Over() const { return current_ < 0; }
    int TotalSteps() const { return totalSteps_; }
    int RestPoint() const { return restPoint_; }
    int RestsLeft() const { return restsLeft_; }
    int AnswersGiven() const { return answers_; }

    /** "開始": progress, rest check and the trial of the chosen pair. */
    VowelStep Start();
    /** The playback worker begins playing: notes the play start tick. */
    void PlayStarted();
    /** An answer with the current marks, or "わからない". Returns nothing when
     *  no pair is open. */
    std::optional<VowelStep> Answer(VowelAnswerKind kind, const VowelSelection& selection);

    /** The trial for the current pair (none when no pair is open). */
    std::optional<VowelTrial> CurrentTrial() const;
    VowelProgress Progress() const;
    /** The threshold table as it stands (also for closing before the end). */
    std::vector<std::vector<std::string>> ThresholdRows() const;
    /** The ending: practice text, or the table, age estimate and final text. */
    VowelEnding Ending() const;

  private:
    bool RestDue();
    double Adapt(VowelPair& pair, bool correct, std::optional<int>& validity);

    VowelSettings settings_;
    bool practice_;
    int age_;
    CrtRandom& random_;
    const Clock& clock_;
    int current_ = -1;
    int totalSteps_ = 0;
    int restPoint_ = 0;
    int restsLeft_ = 0;
    int answers_ = 0;
    std::uint64_t playStartTick_ = 0;
};

}  // namespace kestrune
