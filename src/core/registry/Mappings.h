#pragma once

#include <ctime>

#include <string>
#include <string_view>

namespace kestrune {

/**
 * How the registries and the entry form turn their choices into stored
 * values and back. Indexes are the positions of the dialogs' choice lists.
 */

/** Sex choice (0 unknown, 1 male, 2 female) -> stored code 'M', 'F' or 'U'. */
char SexCodeForIndex(int index);

/** Stored sex code -> choice: M/m 1, F/f 2, anything else (empty too) 0. */
int SexIndexForCode(std::string_view code);

/** File type choice (0 Unknown, 1 Wav, 2 Mp3, 3 Others) -> stored text when a
 *  new material is inserted: "Wav", "Mp3", "Other", else "Unknown". */
std::string FileTypeForInsert(int index);

/** The same when an existing material is updated: index 3 is "Others". */
std::string FileTypeForUpdate(int index);

/** Stored file type -> choice, by its first character only: W/w 1, M/m 2,
 *  O/o 3, anything else 0. */
int FileTypeIndexFor(std::string_view text);

/** The entry form accepts an age from 1 to 199 years. */
bool IsAcceptableAge(int age);

/** Year of birth stored for an age entered in a given year: year - age + 1. */
int BirthYearForAge(int currentYear, int age);

/** The local calendar year of a clock time. */
int LocalYear(std::time_t now);

/** The age of a subject whose stored year of birth is `birthYear`, in a
 *  given year: the inverse of BirthYearForAge, year - birthYear + 1. */
int AgeForBirthYear(int currentYear, int birthYear);

}  // namespace kestrune
