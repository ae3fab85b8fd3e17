// What the interrupted-speech and the training analyses read: the trials of
// the interrupted speech test that pass a filter, and one subject's failing
// and passing answers of the vowel discrimination test, pair by pair.
#pragma once

#include "core/analysis/Intermittent.h"
#include "core/analysis/Training.h"
#include "store/Database.h"

namespace kestrune::store {

/**
 * The trials (content and answer) of the session items whose SRValidity is 1
 * or 2 (kept results; training runs and abandoned items are not) that match
 * the filter: the item's duty cycle, and the subject's IIAge (the year of
 * birth) within the bounds given.
 */
DbResult<std::vector<analysis::IntermittentTrial>> ReadIntermittentTrials(
    Database& db, const analysis::IntermittentFilter& filter);

/**
 * One subject's records for the training analysis: the name, and for each of
 * the 25 vowel pairs the earliest failing answer (NSMRState 0, NSMRValidity 1)
 * and the passing answer (NSMRState 1, NSMRValidity 1) at the level a test
 * step above it. subjectName is none when no subject has that ID. Stops at
 * the first failing query.
 */
DbResult<analysis::TrainingInputs> ReadTrainingInputs(Database& db, qint64 subjectId, int step);

}  // namespace kestrune::store
