// Answers of the vowel test for the mask analysis tests: a new subject born
// in `year` answers every pair of the five vowels `times` times (state 0,
// validity 1), with a signal-to-noise value that differs per pair.
#pragma once

#include "core/analysis/MaskAnalysis.h"
#include "store/Registry.h"
#include "store/Results.h"

namespace kestrune::testing {

inline bool AddVowelAnswers(store::Database& db, int year, int times) {
    store::Subject subject;
    subject.name = QStringLiteral("S%1").arg(year);
    subject.birthYear = year;
    const auto id = store::SubjectRegistry(db).Add(subject);
    if (!id.Ok()) return false;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            for (int repeat = 0; repeat < times; ++repeat) {
                store::VowelAnswerRow row;
                row.subjectId = id.value;
                row.time = QStringLiteral("2024-05-01 10:20:30");
                row.maskingContent = QString::fromUtf8(analysis::kVowelNames[i]);
                row.maskedContent = QString::fromUtf8(analysis::kVowelNames[j]);
                row.snr = -(i + 2 * j + repeat + year % 7);
                row.validity = 1;
                if (!store::AddVowelAnswer(db, row).Ok()) return false;
            }
    return true;
}

}  // namespace kestrune::testing
