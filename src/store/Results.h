// The result rows the listening tests write and read, one function per kind
// of record. Every value is bound; a failure comes back as the DbError the
// dialogs show ("Failed to operate database ..."), never as a half-written
// row.
#pragma once

#include <QString>

#include <optional>

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
};

/** Stores one answer of the vowel test; the row's key. */
DbResult<qint64> AddVowelAnswer(Database& db, const VowelAnswerRow& row);

/** The newest non-empty TRContent of any subject (the input dialog's
 *  "前回と同じ"); nullopt when there is none. */
DbResult<std::optional<QString>> LastTypedAnswer(Database& db);

}  // namespace kestrune::store
