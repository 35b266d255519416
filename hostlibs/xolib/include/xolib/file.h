// Xolib: paths, file queries, line output, INI and options files.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>

#include "xolib/core.h"
#include "xolib/string.h"

/// A file-system path held as text with '/' separators.
class Path
{
public:
    Path() = default;
    Path(const String& text);  // NOLINT
    Path(const char* text);    // NOLINT

    /// Appends a component with one separator between.
    Path& operator/=(const Path& component);
    Path operator/(const Path& component) const;

    /// The product's settings branch below a user or system folder:
    /// "Dravik" when company is set, then "wxDravik" when product is set.
    static Path Branch(bool company, bool product);

    /// Absolute form against the current working folder; "." and ".." resolved.
    Path MakeAbsolute() const;
    /// The path in the platform's own notation.
    String TranslateToLocal() const;

    Path Parent() const;      // folder part; empty for a bare name
    String FileName() const;  // last component
    bool IsAbsolute() const;
    bool Empty() const { return m_Text.Empty(); }

    const String& GetString() const { return m_Text; }
    const char* c_str() const { return m_Text.c_str(); }
    bool operator==(const Path& o) const { return m_Text == o.m_Text; }
    bool operator<(const Path& o) const { return m_Text < o.m_Text; }

private:
    String m_Text;
};

/// File-system queries and the process's file layer.
class File
{
public:
    static bool Exists(const Path& path);
    static bool IsDirectory(const Path& path);
    /// Creates the folder and its missing parents; true when it exists after.
    static bool CreateDirectories(const Path& path);
    static bool Remove(const Path& path);
    /// The user's settings folder: $XDG_CONFIG_HOME, else $HOME/.config.
    static Path GetUserDir();
    /// Prepares the file layer for the program at programPath; logPath, when
    /// it is empty, receives the core log's path. Returns true on success.
    static bool Startup(const String& programPath, String& logPath);
    /// The whole file as text; throws Exception* when it cannot be read.
    static String ReadAll(const Path& path);
};

/// A text file written line by line. Opening failures throw Exception*.
class OutFile
{
public:
    explicit OutFile(const Path& path, bool append = false);
    ~OutFile();
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    /// Writes the text and a line end; throws Exception* on a write error.
    void PutLine(const String& line);
    void Put(const String& text);
    /// Flushes and closes; throws Exception* when the data did not reach the disk.
    void Close();
    bool IsOpen() const { return m_File != nullptr; }

private:
    Path m_Path;
    FILE* m_File = nullptr;
};

/// An INI document: sections of key = value lines, in file order. The
/// section with the empty name holds the keys that come before any
/// "[section]" line; when it is not the first section, or has no keys, it is
/// written as '[""]'. Names and keys are case-sensitive. Keys, values and
/// section names with blanks at either end, control characters, a leading
/// '"' (keys and names also: '=' or a leading '[', ';', '#' or byte-order
/// mark, or empty) are written in double quotes with backslash escapes, so
/// any document reads back exactly as written. A key and value longer than
/// 1 MiB together are refused (logged). Lookups and changes take constant
/// time on average, so reading a file is linear in its size. Every member is
/// thread-safe.
class IniFile
{
public:
    /// Starts empty.
    explicit IniFile(bool unused = false);
    IniFile(const IniFile& other);
    IniFile& operator=(const IniFile& other);
    /// Reads path; a missing file gives an empty document. Malformed lines are
    /// skipped (logged once per file at warning level); so are the keys under
    /// a malformed section header, up to the next good one. A file that
    /// exists but cannot be read throws Exception* when throwOnError is set,
    /// else gives an empty document. Reading never changes anything on disk.
    IniFile(const Path& path, bool throwOnError, bool unused);
    virtual ~IniFile();

    String GetValue(const String& section, const String& key, const String& def) const;
    String GetValue(const String& section, const String& key, const char* def) const;
    int GetValue(const String& section, const String& key, int def) const;
    bool GetValue(const String& section, const String& key, bool def) const;

    virtual void SetValue(const String& section, const String& key, const String& value);
    void SetValue(const String& section, const String& key, const char* value);
    void SetValue(const String& section, const String& key, int value);
    void SetValue(const String& section, const String& key, bool value);

    bool HasSection(const String& section) const;
    bool HasKey(const String& section, const String& key) const;
    /// Adds the section, empty, at the end unless it exists.
    virtual void InsertSection(const String& section);
    /// Removes the section's keys; the section itself stays.
    virtual void ClearSection(const String& section);
    virtual void RemoveKey(const String& section, const String& key);
    xolib::vector<String> GetSections() const;
    xolib::vector<String> GetKeys(const String& section) const;

    /// The document as file text.
    String ToText() const;
    /// Replaces the content with parsed text; returns the number of malformed
    /// lines skipped (keys under a malformed header included).
    int Parse(const String& text);

    /// Replaces the file atomically (temporary file in the same folder,
    /// flushed, renamed over): readers see the old content or the new, never
    /// a mixture. Creates missing folders. Saves of one path exclude each
    /// other, across processes too, through an advisory lock on the file
    /// ".<name>.lock" next to it (waited for a few seconds at most), and
    /// remove the temporary files that killed saves left. Throws Exception*
    /// on failure, in which case the old file is untouched.
    void Save(const Path& path) const;

protected:
    struct Content;  // the sections and their indexes

    /// Guards m_Content (and a derived class's state); recursive so that
    /// overrides can call the base while holding it.
    mutable std::recursive_mutex m_Mutex;
    std::unique_ptr<Content> m_Content;
};

/// An IniFile bound to a path that saves itself after each change, except
/// while a PauseAutoWrite guard lives; the last guard to end saves pending
/// changes. Save failures are logged, never thrown from a change. With an
/// empty path it lives in memory only and never touches the disk.
///
/// Several objects (in one program or in several) may share one file: a save
/// re-reads the file when it changed on disk since this object last read or
/// wrote it, replays this object's changes since its last save on top (in
/// order: set, removed and cleared keys, inserted sections), writes the
/// result and adopts it as its content. So nobody's settings are lost; for
/// one key the later save wins.
///
/// A file that exists but cannot be read (no permission, too large, not a
/// regular file) is never replaced: at load it is moved aside to
/// "<name>.unreadable-YYYYMMDD-HHMMSS" next to it (logged) and the object
/// starts empty; when that fails, the object never saves to the path
/// (logged once, Flush returns false). A save that finds the file unreadable
/// fails (logged) and keeps its changes pending.
class OptionsFile : public IniFile
{
public:
    explicit OptionsFile(const Path& path);
    ~OptionsFile() override;
    OptionsFile(const OptionsFile&) = delete;
    OptionsFile& operator=(const OptionsFile&) = delete;

    const Path& GetPath() const { return m_Path; }

    void SetValue(const String& section, const String& key, const String& value) override;
    using IniFile::SetValue;
    /// Recorded for the next save, which it does not cause by itself.
    void InsertSection(const String& section) override;
    void ClearSection(const String& section) override;
    void RemoveKey(const String& section, const String& key) override;

    /// Writes now if there are unsaved changes; false when the save failed
    /// or saving to the path is refused.
    bool Flush();
    bool IsAutoWritePaused() const;

    /// Suspends automatic saving while it lives. Guards nest.
    class PauseAutoWrite
    {
    public:
        explicit PauseAutoWrite(OptionsFile& options);
        ~PauseAutoWrite();
        PauseAutoWrite(const PauseAutoWrite&) = delete;
        PauseAutoWrite& operator=(const PauseAutoWrite&) = delete;

    private:
        OptionsFile& m_Options;
    };

private:
    struct SaveState;  // the changes since the last save and the file's identity then
    enum class ChangeKind
    {
        Set,
        Remove,
        Clear,
        Insert,
    };

    void Load();
    void Record(ChangeKind kind, const String& section, const String& key, const String& value);
    void SaveMerged();
    void Changed();

    Path m_Path;
    int m_PauseDepth = 0;
    bool m_Dirty = false;
    std::unique_ptr<SaveState> m_Save;
};
