// kestrune-cli's audio material commands: `audio add` registers a wave file
// in the AudioInfo table, `audio list` prints the table.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "store/Registry.h"

namespace kestrune::cli {

/** What `audio add FILE --content TEXT [--sex M|F|U]` was asked for. */
struct AudioAddArgs {
    std::string file;  ///< as given: it becomes AIPathname
    QString content;   ///< decoded from UTF-8
    char sex = 'U';
};

/** The arguments after "audio add"; nullopt with `error` (one line) when
 *  --content is missing, --sex is not M, F or U, the content is not UTF-8
 *  or an option is unknown or lacks its value. */
std::optional<AudioAddArgs> ParseAudioAddArgs(const std::vector<std::string>& args,
                                              std::string* error);

/**
 * The AudioInfo row for a wave file: length in whole milliseconds, "Wav",
 * the file's own channel count and sample size. A relative FILE is read
 * from the station folder (the folder the test windows resolve it against;
 * `station` empty: the current folder), but stored as given. nullopt with
 * `error` naming the file when the wave reader cannot read it.
 */
std::optional<store::AudioMaterial> DescribeWave(const AudioAddArgs& args,
                                                 const std::string& station, std::string* error);

/** One line of `audio list`: AIID, AIPathname, AILength, AIFiletype, AISex,
 *  AIChannel, AIBits and AIContent, separated by tabs. In the two texts a
 *  backslash, tab, line feed or carriage return is written \\, \t, \n or \r,
 *  so that every row stays one line of eight fields. */
void WriteMaterialLine(const store::AudioMaterial& material, std::ostream& out);

/** Registers the file and prints "id=N", the key it got. */
int AudioAddCommand(const Invocation& in);

/** Every material in key order, one WriteMaterialLine each; with
 *  --search TEXT only those whose path contains TEXT. */
int AudioListCommand(const Invocation& in);

}  // namespace kestrune::cli
