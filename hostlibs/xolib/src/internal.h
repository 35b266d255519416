// Xolib: helpers shared between the library's own source files (and its tests).
#pragma once

#include <cstddef>

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
};

/// Reads a regular file of at most maxBytes into text; never blocks on FIFOs.
ReadResult ReadFileBounded(const Path& path, size_t maxBytes, String& text, String& error);

/// Called by IniFile::Save after each of its steps with a running step number
/// (1: temporary file made; then one per block written; then flushed, synced,
/// closed, renamed, folder synced), so tests can stop a save at an exact
/// point. Returning false makes that step fail as an I/O error would (ignored
/// once the rename is done). Null in normal use.
typedef bool (*SaveStepHook)(int step);
void SetSaveStepHook(SaveStepHook hook);
}  // namespace xolib_internal
