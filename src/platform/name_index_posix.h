// Case-insensitive path resolution for POSIX file systems.
//
// Win32 finds FILE.ZIP when the directory holds file.zip. To give the same
// effect on a file system that tells case apart, each path component is
// resolved to the directory entry whose name equals it ignoring ASCII case.
// The exact name is always tried first with one direct probe; only when that
// misses is the directory's name index consulted. Indexes are built once per
// directory and kept current by the platform's own changes, and rebuilt when
// the directory's modification time shows that something else changed it, so
// a run over tens of thousands of entries stays linear.
#ifndef CORVANE_PLATFORM_NAME_INDEX_POSIX_H_
#define CORVANE_PLATFORM_NAME_INDEX_POSIX_H_

#include <string>
#include <string_view>

namespace corvane::os::posix {

// Resolves a path written with "/" separators: each existing component is
// replaced by the on-disk entry it names (exact name first, otherwise the
// smallest name in byte order among those equal ignoring case). Components
// that do not exist are kept as given.
std::string ResolvePath(std::string_view path);

// Brackets a change the platform makes to a directory entry at path (already
// resolved): BeginEntryChange before, EndEntryChange after, with whether the
// entry now exists. Keeps a built index current without a rescan.
void BeginEntryChange(const std::string& path);
void EndEntryChange(const std::string& path, bool exists_now);

}  // namespace corvane::os::posix

#endif  // CORVANE_PLATFORM_NAME_INDEX_POSIX_H_
