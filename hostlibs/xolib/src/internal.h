// Xolib: helpers shared between the library's own source files (and its tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/stat.h>

#include "xolib/string.h"

class Path;

namespace xolib_internal
{
enum class ReadResult
{
    Ok,
    Missing,     // nothing at the path
    Unreadable,  // a folder, a device, no permission, an I/O error
    TooLarge,    // more than the allowed bytes
    Unchanged,   // the file is still the one of the stamp given; nothing read
};

/// What tells one version of a file from another: a save writes a new file
/// and renames it over, so a change of content changes one of these.
struct FileStamp
{
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = -1;
    int64_t modifiedNs = 0;

    bool operator==(const FileStamp& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && modifiedNs == o.modifiedNs;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }

    static FileStamp Of(const struct stat& info)
    {
        FileStamp stamp;
        stamp.device = uint64_t(info.st_dev);
        stamp.inode = uint64_t(info.st_ino);
        stamp.size = int64_t(info.st_size);
        stamp.modifiedNs = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        return stamp;
    }
};

/// Reads a regular file of at most maxBytes into text; never blocks on FIFOs.
/// When stamp is given it receives the identity of the regular file found
/// (whatever the result but Missing). When unlessStamp is given and the file
/// still matches it, nothing is read and the result is Unchanged; a file that
/// cannot be opened or is not regular is reported as such all the same.
ReadResult ReadFileBounded(const Path& path, size_t maxBytes, String& text, String& error,
                           FileStamp* stamp = nullptr, const FileStamp* unlessStamp = nullptr);

/// Called by IniFile::Save after each of its steps with a running step number
/// (1: temporary file made; then one per block written; then flushed, synced,
/// closed, renamed, folder synced), so tests can stop a save at an exact
/// point. Returning false makes that step fail as an I/O error would (ignored
/// once the rename is done). Null in normal use. Steps run while the save
/// holds the file's save lock.
typedef bool (*SaveStepHook)(int step);
void SetSaveStepHook(SaveStepHook hook);
int SetSaveLockTimeoutMs(int milliseconds);

/// How long a save waits for another save of the same file to end before it
/// fails; tests shorten it. Returns the previous value.
int SetSaveLockTimeoutMs(int milliseconds);
}  // namespace xolib_internal
