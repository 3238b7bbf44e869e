// Replacing a file so that it is either wholly old or wholly new, whatever
// happens in between (a full disk, a crash, the power).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pm {

// Writes `bytes` to a temporary file in the same folder, flushes it to disk
// and renames it over `path`. New files get the permissions an ordinary
// create would give; a replaced file keeps its own. A file without write
// permission is left alone and reported as a failure, as is anything that is
// not a regular file. Returns false with a reason on error; the old file is
// then as it was.
bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* reason = nullptr);

// Removes what saves of `path` killed between making their temporary file
// and the rename left behind: files named ".NAME.XXXXXX" (ReplaceFile's
// pattern) beside it that are regular files of this user, unchanged for at
// least `minAgeSeconds`. Returns how many went. Meant to run under the
// folder's lock, where no live save of ours is writing one; the age spares
// a writer that takes no lock (an older copy of the game).
int RemoveStaleTemporaries(const std::string& path, int64_t minAgeSeconds = 60);

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);

}  // namespace pm
