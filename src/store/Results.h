// The result rows the listening tests write and read, one function per kind
// of record. Every value is bound; a failure comes back as the DbError the
// dialogs show ("Failed to operate database ..."), never as a half-written
// row.
#pragma once

#include <QString>

#include <optional>

#include "store/AnswerJournal.h"
#include "store/Database.h"

namespace kestrune::store {

/** One NewSyllableMaskRecord row: an answer of the vowel test. */
struct VowelAnswerRow {
    qint64 subjectId = 0;         ///< IIID
    int volume = 0;               ///< NSMRVolume
    int selfEvaluation = 0;       ///< NSMRSelfevaluation
    QString time;                 ///< NSMRTime, "yyyy-MM-dd HH:mm:ss"
    QString duration;             ///< NSMRDuration, "%3.2f" seconds
    QString maskingContent;       ///< NSMRMaskingContent
    QString maskedContent;        ///< NSMRMaskedContent
    int snr = 0;                  ///< NSMRSNR
    QString recognised;           ///< NSMRRecognise
    double state = 0.0;           ///< NSMRState
    std::optional<int> validity;  ///< NSMRValidity; none leaves the column empty
    QString other;                ///< NSMROther
    QString uid;                  ///< NSMRUid, the answer's own id; empty: AddVowelAnswer makes one
};

/** The row of an answer record of the vowel test (its texts UTF-8). */
template <typename Record>
VowelAnswerRow VowelAnswerRowOf(const Record& record, qint64 subjectId, int selfEvaluation) {
    VowelAnswerRow row;
    row.subjectId = subjectId;
    row.volume = record.volume;
    row.selfEvaluation = selfEvaluation;
    row.time = QString::fromStdString(record.timeText);
    row.duration = QString::fromStdString(record.durationText);
    row.maskingContent = QString::fromStdString(record.maskingContent);
    row.maskedContent = QString::fromStdString(record.maskedContent);
    row.snr = record.snr;
    row.recognised = QString::fromStdString(record.recognised);
    row.state = record.state;
    row.validity = record.validity;
    row.other = QString::fromStdString(record.other);
    return row;
}

/** Stores one answer of the vowel test (0: the table has no key). */
DbResult<qint64> AddVowelAnswer(Database& db, const VowelAnswerRow& row);

/** Where an answer went. */
enum class AnswerFate {
    Stored,     ///< in the database
    Journaled,  ///< in the answer journal, to be written when the database can take it
    Lost,       ///< neither: the values were refused, or the journal could not be written
};

struct AnswerOutcome {
    AnswerFate fate = AnswerFate::Stored;
    std::optional<DbError> error;  ///< why the database did not take it (Journaled, Lost)
    QString journalError;          ///< Lost: why the journal did not take it either
    ReplayReport replay;           ///< what writing the waiting answers first did
    QString uid;                   ///< the id the answer was given
};

/**
 * Stores one answer of the vowel test without losing it to a database that
 * is away. Answers already waiting in the journal for this database are
 * written first; while any of them is still waiting the new one goes behind
 * them into the journal, so the table receives the answers in the order
 * they were given. An answer the database fails to take goes into the
 * journal too, unless its values were refused (then it is Lost: writing it
 * again would fail the same way).
 */
AnswerOutcome StoreVowelAnswer(Database& db, const AnswerJournal& journal, VowelAnswerRow row);

/** One SyllableMaskRecord row: an answer of the syllable masking test. */
struct SyllableMaskAnswerRow {
    qint64 subjectId = 0;      ///< IIID
    int volume = 0;            ///< SMRVolume
    int selfEvaluation = 0;    ///< SMRSelfevaluation
    QString time;              ///< SMRTime, "yyyy-MM-dd HH:mm:ss"
    qint64 duration = 0;       ///< SMRDuration, whole seconds
    QString maskingContent;    ///< SMRMaskingContent
    QString maskedContent;     ///< SMRMaskedContent
    QString recognised;        ///< SMRRecognise
    std::optional<int> state;  ///< SMRState: 1, 0, or empty (NULL) for "Not sure"
    int validity = 1;          ///< SMRValidity
    int snr = 0;               ///< SMRSNR
};

/** Stores one answer of the syllable masking test (the table has no key: 0). */
DbResult<qint64> AddSyllableMaskAnswer(Database& db, const SyllableMaskAnswerRow& row);

/** One TestRecord row: an answer of the sentence test or a judgement of the
 *  single-factor experiment. A column left as nullopt stays empty. */
struct TestRecordRow {
    qint64 subjectId = 0;               ///< IIID
    qint64 audioId = 0;                 ///< AIID
    std::optional<int> selfEvaluation;  ///< TRSelfevaluation
    std::optional<int> volume;          ///< TRVolume
    std::optional<int> times;           ///< TRTimes
    QString time;                       ///< TRTime, "yyyy-MM-dd HH:mm:ss"
    std::optional<qint64> duration;     ///< TRDuration, whole seconds
    double state = 0.0;                 ///< TRState: the judgement before this answer
    double recognised = 0.0;            ///< TRRecognise: 1, 0.5 or 0
    int factorMask = 0;                 ///< TRFactormask
    double playSpeed = 0.0;             ///< TRPlayspeed
    double snr = 0.0;                   ///< TRSNR
    double cycle = 0.0;                 ///< TRCycle
    double dutyCycle = 0.0;             ///< TRDutycycle
    std::optional<QString> content;     ///< TRContent
};

/** Stores one TestRecord row and returns its TRID. */
DbResult<qint64> AddTestRecord(Database& db, const TestRecordRow& row);

/** Removes the TestRecord row `id` (one this station wrote) and returns its
 *  TRState; nullopt when the row is not there any more. */
DbResult<std::optional<double>> TakeTestRecord(Database& db, qint64 id);

/** 1 + the largest TRTimes of the subject's recognised (TRRecognise = 1)
 *  answers to the material; with `belowFullState` only those given from a
 *  state below 1. No such answer counts as 0, so the first gives 1. */
DbResult<int> NextRecognitionTimes(Database& db, qint64 subjectId, qint64 audioId,
                                   bool belowFullState);

/** One StatisticalRecord row as an item of the time listening or the
 *  interrupted speech test starts: its duration, correct count, rate and
 *  validity are 0 until the item ends. */
struct SessionItemRow {
    qint64 subjectId = 0;    ///< IIID
    int selfEvaluation = 0;  ///< SRSelfevaluation
    int volume = 0;          ///< SRVolume
    int type = 0;            ///< SRType: 1 time listening, 2 interrupted speech
    int number = 0;          ///< SRNumber: trials in the item
    int factorMask = 0;      ///< SRFactormask
    double playSpeed = 0.0;  ///< SRPlayspeed
    double snr = 0.0;        ///< SRSNR
    double cycle = 0.0;      ///< SRCycle
    double dutyCycle = 0.0;  ///< SRDutycycle
};

/** The row of a scenario item (a time listening or an interrupted speech
 *  item: its number, TYPEMASK, PLAYSPEED, SNR, period and kept fraction). */
template <typename Item>
SessionItemRow SessionItemRowOf(const Item& item, qint64 subjectId, int selfEvaluation, int volume,
                                int type) {
    SessionItemRow row;
    row.subjectId = subjectId;
    row.selfEvaluation = selfEvaluation;
    row.volume = volume;
    row.type = type;
    row.number = item.number;
    row.factorMask = item.factorMask;
    row.playSpeed = item.playSpeed;
    row.snr = item.noiseLevel;
    row.cycle = item.period;
    row.dutyCycle = item.keptFraction;
    return row;
}

/** Stores the item's row with SRTimes = 1 + the subject's largest SRTimes
 *  (1 for the first) and returns its SRID. */
DbResult<qint64> StartSessionItem(Database& db, const SessionItemRow& row);

/** What ending an item wrote. */
struct SessionItemEnd {
    bool found = false;  ///< false: the row is gone ("Failed to fill statistical record!")
    int correct = 0;     ///< trials of the item whose content and answer are equal
    double rate = 0.0;   ///< correct / number
};

/** Completes item `sessionItem`: SRDuration, SRCorrect (counted from its
 *  BasicRecord rows), SRRate = correct / number and SRValidity. */
DbResult<SessionItemEnd> FinishSessionItem(Database& db, qint64 sessionItem, qint64 durationSeconds,
                                           int number, int validity);

/** One BasicRecord row: a trial of an item. */
struct TrialRow {
    qint64 subjectId = 0;    ///< IIID
    qint64 sessionItem = 0;  ///< SRID
    QString time;            ///< BRTime, "yyyy-MM-dd HH:mm:ss"
    double duration = 0.0;   ///< BRDuration, seconds
    QString content;         ///< BRContent: what was played
    QString recognised;      ///< BRRecognise: the answer
    QString other;           ///< BROther
};

/** The row of a trial of the interrupted speech test (its texts UTF-8). */
template <typename Trial>
TrialRow SyllableTrialRowOf(const Trial& trial, qint64 subjectId, qint64 sessionItem) {
    TrialRow row;
    row.subjectId = subjectId;
    row.sessionItem = sessionItem;
    row.time = QString::fromStdString(trial.timeText);
    row.duration = QString::fromStdString(trial.durationText).toDouble();
    row.content = QString::fromStdString(trial.played);
    row.recognised = QString::fromStdString(trial.recognised);
    row.other = QString::fromStdString(trial.other);
    return row;
}

/** Stores a trial and returns its BRID. */
DbResult<qint64> AddTrial(Database& db, const TrialRow& row);

/** Removes trial `id` (one this station wrote) and returns its BRContent;
 *  nullopt when the row is not there any more. */
DbResult<std::optional<QString>> TakeTrial(Database& db, qint64 id);

/** The subject's interrupted-speech score over every session: trials with a
 *  BRID above 5400 of items with a kept fraction of 0.5. */
struct HalfDutyScore {
    int correct = 0;
    int total = 0;
};
DbResult<HalfDutyScore> ReadHalfDutyScore(Database& db, qint64 subjectId);

/** One SyllableSpeedupRecord row: an answer of the speeded syllable test. */
struct SpeedupAnswerRow {
    qint64 subjectId = 0;    ///< IIID
    int volume = 0;          ///< SSRVolume
    int selfEvaluation = 0;  ///< SSRSelfevaluation
    QString time;            ///< SSRTime
    qint64 duration = 0;     ///< SSRDuration, whole seconds
    QString content;         ///< SSRContent, the vowel played
    QString recognised;      ///< SSRRecognise, the vowel chosen ("" for none)
    QString speed;           ///< SSRSpeed, "%f"
    double state = 0.0;      ///< SSRState: 1 and 0 as integers, 0.5 as the text "0.5"
    int validity = 1;        ///< SSRValidity
};

/** Stores one answer of the speeded syllable test. */
DbResult<qint64> AddSpeedupAnswer(Database& db, const SpeedupAnswerRow& row);

/** The subject's average speed over the answers that ended an item (state 0,
 *  validity 1) of every session; none when there is no such answer. */
DbResult<std::optional<double>> ReadFailingSpeedAverage(Database& db, qint64 subjectId);

/** One StatisticalSyllableMaskRecord row: a threshold of one vowel pair
 *  summed up over several subjects. The program's tests never write this
 *  table; the mask analysis averages SSMRSNR over the rows whose SSMROther
 *  is below 7. */
struct MaskStatisticRow {
    QString maskingContent;  ///< SSMRMaskingcontent
    QString maskedContent;   ///< SSMRMaskedcontent
    double snr = 0.0;        ///< SSMRSNR, dB
    double other = 0.0;      ///< SSMROther
};

/** Stores one pair's row (the table has no key: 0). */
DbResult<qint64> AddMaskStatistic(Database& db, const MaskStatisticRow& row);

/** The newest non-empty TRContent of any subject (the input dialog's
 *  "前回と同じ"); nullopt when there is none. */
DbResult<std::optional<QString>> LastTypedAnswer(Database& db);

}  // namespace kestrune::store
