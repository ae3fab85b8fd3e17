// Replacing a file in one step: the new content goes to a temporary file in
// the target's own folder, is flushed to disk and then renamed over the
// target. A crash or a failure at any point leaves either the old file or the
// complete new one, never a mixture; a crash may leave the temporary file
// (named ".<target name>.XXXXXX") behind, never half a target.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kestrune::sheet {

/**
 * Writes `target` through `write`, which is handed the path of a fresh empty
 * temporary file in the same folder and returns an error text or nullopt.
 * Returns nullopt when the target now holds the new content, else the reason
 * it could not be replaced (the old target, if any, is then untouched and the
 * temporary file removed). The new file keeps the old one's permission bits,
 * or gets 0644 when there was none.
 */
std::optional<std::string> ReplaceFileAtomically(
    const std::string& target,
    const std::function<std::optional<std::string>(const std::string& tempPath)>& write);

/** Same, for a file whose whole content is `bytes`. */
std::optional<std::string> WriteFileAtomically(const std::string& target, const std::string& bytes);

}  // namespace kestrune::sheet
