// Xolib: INI documents and self-saving options files.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "internal.h"
#include "xolib/file.h"
#include "xolib/log.h"

using xolib_internal::FileStamp;
using xolib_internal::ReadResult;

namespace
{
// A settings file larger than this is not a settings file.
const size_t k_MaxFileSize = size_t(16) << 20;
// Longest line accepted when reading; a written line never exceeds it since
// escaping at most quadruples an item of k_MaxItemLength.
const size_t k_MaxLineLength = size_t(4) << 20;
const size_t k_MaxItemLength = (size_t(1) << 20) - 64;
const size_t k_WriteBlock = 64 * 1024;
const char k_ByteOrderMark[] = "\xEF\xBB\xBF";
// mkostemp's six random characters follow this in a temporary file's name.
const char k_TempInfix[] = ".tmp-";
const size_t k_TempRandomLength = 6;

std::atomic<xolib_internal::SaveStepHook> s_SaveStepHook{nullptr};
std::atomic<int> s_SaveLockTimeoutMs{5000};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

String TrimBlanks(const std::string& s, size_t begin, size_t end)
{
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return String(s.substr(begin, end - begin));
}

bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

bool StartsWithByteOrderMark(const std::string& s, size_t at = 0)
{
    return s.compare(at, 3, k_ByteOrderMark) == 0;
}

// Whether the text would not read back as itself when written bare.
bool NeedsQuotes(const String& text, bool isName)
{
    const std::string& s = text.Str();
    if (s.empty())
        return isName;
    if (IsBlank(s.front()) || IsBlank(s.back()) || s.front() == '"')
        return true;
    // A key on the first line of a file would lose a leading byte-order mark
    // to the reader, which drops the one an editor may have put there.
    if (isName && (s.front() == '[' || s.front() == ';' || s.front() == '#' || StartsWithByteOrderMark(s) ||
                   s.find('=') != std::string::npos))
        return true;
    for (char c : s)
        if (IsControl((unsigned char)c))
            return true;
    return false;
}

void AppendQuoted(std::string& out, const String& text)
{
    static const char k_Hex[] = "0123456789abcdef";
    out += '"';
    for (char c : text.Str())
    {
        switch (c)
        {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (IsControl((unsigned char)c))
            {
                out += "\\x";
                out += k_Hex[(unsigned char)c >> 4];
                out += k_Hex[(unsigned char)c & 15];
            }
            else
                out += c;
        }
    }
    out += '"';
}

void AppendEncoded(std::string& out, const String& text, bool isName)
{
    if (NeedsQuotes(text, isName))
        AppendQuoted(out, text);
    else
        out += text.Str();
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a quoted text starting at s[pos] == '"' and ending before s[end];
// on success pos is just past the closing quote. An unterminated quote fails.
bool Unquote(const std::string& s, size_t& pos, size_t end, String& out)
{
    std::string text;
    size_t i = pos + 1;
    while (i < end)
    {
        char c = s[i++];
        if (c == '"')
        {
            pos = i;
            out = String(std::move(text));
            return true;
        }
        if (c != '\\')
        {
            text += c;
            continue;
        }
        if (i >= end)
            return false;
        char e = s[i++];
        switch (e)
        {
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 't': text += '\t'; break;
        case 'x':
            if (i + 1 < end && HexValue(s[i]) >= 0 && HexValue(s[i + 1]) >= 0)
            {
                text += char(HexValue(s[i]) * 16 + HexValue(s[i + 1]));
                i += 2;
            }
            else
                text += 'x';
            break;
        default: text += e;  // \" \\ and anything unknown: the character itself
        }
    }
    return false;
}

// A value read back from s[begin, end) with its blanks trimmed: the quoted
// form when the whole value is one quoted text, otherwise the bare text
// (hand-written values may start with a quote).
String DecodeValue(const std::string& s, size_t begin, size_t end)
{
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    if (begin < end && s[begin] == '"')
    {
        size_t pos = begin;
        String unquoted;
        if (Unquote(s, pos, end, unquoted) && pos == end)
            return unquoted;
    }
    return String(s.substr(begin, end - begin));
}

bool ParseBool(const String& text, bool& out)
{
    String t = text.Trim();
    for (const char* word : {"1", "true", "yes", "on"})
        if (t.CompareNoCase(word) == 0)
            return out = true, true;
    for (const char* word : {"0", "false", "no", "off"})
        if (t.CompareNoCase(word) == 0)
            return out = false, true;
    return false;
}

bool ParseInt(const String& text, int& out)
{
    const int64_t k_NoDigits = std::numeric_limits<int64_t>::min();
    int64_t value = text.Int64(10, k_NoDigits);
    if (value == k_NoDigits || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return false;
    out = int(value);
    return true;
}

bool FitsLimits(const String& section, const String& key, const String& value)
{
    return key.Length() + value.Length() <= k_MaxItemLength && section.Length() <= k_MaxItemLength;
}

void WarnSkipped(const Path& path, int skipped)
{
    // One line per file, however many lines are bad: a garbage file must not
    // flood the log.
    if (skipped > 0)
        LogWarning(SFormat("Settings file %s: skipped %d malformed line%s", path.c_str(), skipped,
                           skipped == 1 ? "" : "s"));
}

// -------------------------------------------------------- the document model

// Positions of items in a vector, found by the items' text: open addressing
// with linear probing. A key keeps its slot for good; a removed item stays in
// its vector, marked dead, until its owner compacts the vector and rebuilds
// the index, so the index needs no deletion.
class PositionIndex
{
public:
    static constexpr size_t k_None = size_t(-1);

    // keyAt(position) gives the text of the item at position.
    template <class KeyAt>
    size_t Find(std::string_view key, const KeyAt& keyAt) const
    {
        if (m_Slots.empty())
            return k_None;
        const uint32_t hash = Hash(key);
        const size_t mask = m_Slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask)
        {
            const Slot& slot = m_Slots[i];
            if (slot.position == k_Free)
                return k_None;
            if (slot.hash == hash && keyAt(slot.position) == key)
                return slot.position;
        }
    }

    // Makes key lead to position, instead of where it led before.
    template <class KeyAt>
    void Set(std::string_view key, size_t position, const KeyAt& keyAt)
    {
        if ((m_Used + 1) * 4 > m_Slots.size() * 3)
            Grow();
        const uint32_t hash = Hash(key);
        const size_t mask = m_Slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask)
        {
            Slot& slot = m_Slots[i];
            if (slot.position == k_Free)
            {
                slot = Slot{uint32_t(position), hash};
                ++m_Used;
                return;
            }
            if (slot.hash == hash && keyAt(slot.position) == key)
            {
                slot.position = uint32_t(position);
                return;
            }
        }
    }

    void Clear()
    {
        m_Slots.clear();
        m_Used = 0;
    }

private:
    struct Slot
    {
        uint32_t position;
        uint32_t hash;  // kept so that growing never hashes a key again
    };
    static constexpr uint32_t k_Free = std::numeric_limits<uint32_t>::max();

    static uint32_t Hash(std::string_view key)
    {
        const uint64_t h = std::hash<std::string_view>()(key);
        return uint32_t(h ^ (h >> 32));
    }

    void Grow()
    {
        std::vector<Slot> old(std::max<size_t>(16, m_Slots.size() * 2), Slot{k_Free, 0});
        old.swap(m_Slots);
        const size_t mask = m_Slots.size() - 1;
        for (const Slot& slot : old)
            if (slot.position != k_Free)
            {
                size_t i = slot.hash & mask;
                while (m_Slots[i].position != k_Free)
                    i = (i + 1) & mask;
                m_Slots[i] = slot;
            }
    }

    std::vector<Slot> m_Slots;  // a power of two long, at most three quarters used
    size_t m_Used = 0;
};

struct Entry
{
    String key;
    String value;
    bool live;
};

struct Section
{
    // Small sections, the common case, are searched directly: that is cheaper
    // than hashing and needs no index. The index exists, complete, exactly
    // while there are at least this many entries.
    static constexpr size_t k_IndexFrom = 8;

    String name;
    std::vector<Entry> entries;  // in file order, removed ones among them until compacted
    PositionIndex keys;
    size_t dead = 0;

    auto KeyAt() const
    {
        return [this](size_t position) { return std::string_view(entries[position].key.Str()); };
    }

    // The position of the live entry of key, or k_None.
    size_t Position(const String& key) const
    {
        if (entries.size() < k_IndexFrom)
        {
            for (size_t i = 0; i < entries.size(); ++i)
                if (entries[i].live && entries[i].key == key)
                    return i;
            return PositionIndex::k_None;
        }
        const size_t position = keys.Find(key.Str(), KeyAt());
        return position != PositionIndex::k_None && entries[position].live ? position : PositionIndex::k_None;
    }

    const Entry* Find(const String& key) const
    {
        const size_t position = Position(key);
        return position == PositionIndex::k_None ? nullptr : &entries[position];
    }

    size_t LiveCount() const { return entries.size() - dead; }

    void Set(String key, String value)
    {
        const size_t position = Position(key);
        if (position != PositionIndex::k_None)
        {
            entries[position].value = std::move(value);
            return;
        }
        // New, or set again after a removal: it goes to the end, as it would
        // have with the removed entry erased.
        entries.push_back(Entry{std::move(key), std::move(value), true});
        if (entries.size() == k_IndexFrom)
            Reindex();
        else if (entries.size() > k_IndexFrom)
            keys.Set(entries.back().key.Str(), entries.size() - 1, KeyAt());
    }

    void Remove(const String& key)
    {
        const size_t position = Position(key);
        if (position == PositionIndex::k_None)
            return;
        // The key stays: the index still compares against it.
        entries[position].live = false;
        entries[position].value = String();
        // Compacting once the dead are the majority keeps removals amortised
        // constant and the waste below half.
        if (++dead * 2 > entries.size())
        {
            entries.erase(std::remove_if(entries.begin(), entries.end(), [](const Entry& e) { return !e.live; }),
                          entries.end());
            dead = 0;
            Reindex();
        }
    }

    void Clear()
    {
        entries.clear();
        keys.Clear();
        dead = 0;
    }

    void Reindex()
    {
        keys.Clear();
        if (entries.size() >= k_IndexFrom)
            for (size_t i = 0; i < entries.size(); ++i)
                keys.Set(entries[i].key.Str(), i, KeyAt());
    }
};
}  // namespace

struct IniFile::Content
{
    std::vector<Section> sections;  // in file order; sections are never removed
    PositionIndex names;

    auto NameAt() const
    {
        return [this](size_t position) { return std::string_view(sections[position].name.Str()); };
    }

    size_t FindIndex(const String& name) const { return names.Find(name.Str(), NameAt()); }

    const Section* Find(const String& name) const
    {
        const size_t position = FindIndex(name);
        return position == PositionIndex::k_None ? nullptr : &sections[position];
    }

    Section* Find(const String& name)
    {
        const size_t position = FindIndex(name);
        return position == PositionIndex::k_None ? nullptr : &sections[position];
    }

    size_t EnsureIndex(const String& name)
    {
        size_t position = FindIndex(name);
        if (position == PositionIndex::k_None)
        {
            sections.push_back(Section{name, {}, {}, 0});
            position = sections.size() - 1;
            names.Set(sections.back().name.Str(), position, NameAt());
        }
        return position;
    }

    Section& Ensure(const String& name) { return sections[EnsureIndex(name)]; }

    String ToText() const
    {
        size_t estimate = 0;
        for (const Section& s : sections)
        {
            estimate += s.name.Length() + 8;
            for (const Entry& e : s.entries)
                estimate += e.key.Length() + e.value.Length() + 2;
        }
        std::string out;
        out.reserve(estimate + estimate / 8);
        for (size_t i = 0; i < sections.size(); ++i)
        {
            const Section& s = sections[i];
            // Keys before any header belong to the unnamed section, so it can
            // go without one only where it stands first and shows by its keys.
            if (!(i == 0 && s.name.Empty() && s.LiveCount() > 0))
            {
                out += '[';
                AppendEncoded(out, s.name, true);
                out += "]\n";
            }
            for (const Entry& e : s.entries)
            {
                if (!e.live)
                    continue;
                AppendEncoded(out, e.key, true);
                out += '=';
                AppendEncoded(out, e.value, false);
                out += '\n';
            }
        }
        return String(std::move(out));
    }

    // Fills an empty content from text; returns the number of lines skipped.
    int Parse(const std::string& all)
    {
        int skipped = 0;
        size_t begin = 0;
        // A byte-order mark some editors put in front of UTF-8 text.
        if (StartsWithByteOrderMark(all))
            begin = 3;
        size_t current = PositionIndex::k_None;  // created with its first key
        // After a header that does not parse, keys have no section to go to:
        // the previous one must not receive them.
        bool lostSection = false;
        const char* const data = all.data();
        while (begin < all.size())
        {
            const char* newline = static_cast<const char*>(std::memchr(data + begin, '\n', all.size() - begin));
            size_t end = newline ? size_t(newline - data) : all.size();
            const size_t next = end + 1;
            if (end > begin && all[end - 1] == '\r')
                --end;
            const size_t lineBegin = begin;
            begin = next;

            size_t first = lineBegin;
            while (first < end && IsBlank(all[first]))
                ++first;
            const bool header = first < end && all[first] == '[';
            if (end - lineBegin > k_MaxLineLength || std::memchr(data + lineBegin, '\0', end - lineBegin))
            {
                ++skipped;
                lostSection = lostSection || header;
                continue;
            }
            size_t last = end;
            while (last > first && IsBlank(all[last - 1]))
                --last;
            if (first == last || all[first] == ';' || all[first] == '#')
                continue;

            if (header)
            {
                String name;
                if (!ParseHeader(all, first, last, name))
                {
                    ++skipped;
                    lostSection = true;
                    continue;
                }
                current = EnsureIndex(name);
                lostSection = false;
                continue;
            }
            if (lostSection)
            {
                ++skipped;
                continue;
            }

            String key;
            size_t equals;
            if (all[first] == '"')
            {
                size_t pos = first;
                if (!Unquote(all, pos, last, key))
                {
                    ++skipped;
                    continue;
                }
                while (pos < last && IsBlank(all[pos]))
                    ++pos;
                if (pos >= last || all[pos] != '=')
                {
                    ++skipped;
                    continue;
                }
                equals = pos;
            }
            else
            {
                const char* sign = static_cast<const char*>(std::memchr(data + first, '=', last - first));
                if (!sign)
                {
                    ++skipped;
                    continue;
                }
                equals = size_t(sign - data);
                key = TrimBlanks(all, first, equals);
                if (key.Empty())
                {
                    ++skipped;
                    continue;
                }
            }
            if (current == PositionIndex::k_None)
                current = EnsureIndex(String());
            // A repeated key: the last one wins.
            sections[current].Set(std::move(key), DecodeValue(all, equals + 1, last));
        }
        return skipped;
    }

    // "[name]" or "[\"quoted name\"]" in all[first, last).
    static bool ParseHeader(const std::string& all, size_t first, size_t last, String& name)
    {
        if (all[last - 1] != ']' || last - first < 2)
            return false;
        size_t inner = first + 1;
        size_t innerEnd = last - 1;
        while (inner < innerEnd && IsBlank(all[inner]))
            ++inner;
        while (innerEnd > inner && IsBlank(all[innerEnd - 1]))
            --innerEnd;
        if (inner < innerEnd && all[inner] == '"')
        {
            size_t pos = inner;
            return Unquote(all, pos, innerEnd, name) && pos == innerEnd;
        }
        name = String(all.substr(inner, innerEnd - inner));
        return true;
    }
};

// ------------------------------------------------------------ saving files

namespace
{
// Runs the test hook; false means "fail this step".
bool SaveStep(int& step)
{
    xolib_internal::SaveStepHook hook = s_SaveStepHook.load();
    ++step;
    return !hook || hook(step);
}

// Permission bits a newly created file would get from this process.
mode_t NewFileMode(const Path& target)
{
    struct stat info;
    if (stat(target.c_str(), &info) == 0)
        return info.st_mode & 07777;
    mode_t mask = 022;
    // umask() would have to change the mask to read it, racing other threads.
    if (FILE* status = fopen("/proc/self/status", "re"))
    {
        char line[256];
        while (fgets(line, sizeof line, status))
        {
            unsigned value = 0;
            if (sscanf(line, "Umask: %o", &value) == 1)
            {
                mask = mode_t(value);
                break;
            }
        }
        fclose(status);
    }
    return mode_t(0666) & ~mask;
}

Path FolderOf(const Path& target)
{
    Path folder = target.Parent();
    return folder.Empty() ? Path(".") : folder;
}

[[noreturn]] void ThrowSaveError(const Path& path, const String& detail)
{
    throw new Exception("Cannot save settings to " + path.GetString(), detail);
}

// Exclusive advisory lock on ".<name>.lock" next to a settings file. Every
// save of the file holds it from before its temporary file exists until
// after the rename, so a temporary file of the target seen by a holder was
// left by a save that died. The lock file itself stays: removing it would
// let two savers lock two different files.
class SaveLock
{
public:
    SaveLock(const Path& target, bool wait)
    {
        const Path lockPath = FolderOf(target) / Path("." + target.FileName() + ".lock");
        m_Fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0666);
        if (m_Fd < 0)
        {
            m_Error = "cannot open the lock file " + lockPath.GetString() + ": " + strerror(errno);
            return;
        }
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(wait ? s_SaveLockTimeoutMs.load() : 0);
        auto pause = std::chrono::milliseconds(1);
        for (;;)
        {
            if (flock(m_Fd, LOCK_EX | LOCK_NB) == 0)
            {
                m_Held = true;
                return;
            }
            if (errno == EINTR)
                continue;
            if (errno != EWOULDBLOCK)
            {
                m_Error = "cannot lock " + lockPath.GetString() + ": " + strerror(errno);
                return;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
            {
                m_Error = "another save of the file did not end in time (lock " + lockPath.GetString() + ")";
                return;
            }
            // flock has no timed wait; saves take milliseconds, so short naps.
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
            pause = std::min(pause * 2, std::chrono::milliseconds(20));
        }
    }
    ~SaveLock()
    {
        if (m_Fd >= 0)
            close(m_Fd);  // releases the lock
    }
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

    bool Held() const { return m_Held; }
    const String& GetError() const { return m_Error; }

private:
    int m_Fd = -1;
    bool m_Held = false;
    String m_Error;
};

// Calls f with the name of every temporary file of target's saves in its
// folder; returns their number.
size_t ForEachTemporary(const Path& target, const std::function<void(int folderFd, const char* name)>& f)
{
    const std::string prefix = "." + target.FileName().Str() + k_TempInfix;
    DIR* folder = opendir(FolderOf(target).c_str());
    if (!folder)
        return 0;
    size_t count = 0;
    while (dirent* entry = readdir(folder))
    {
        const size_t length = strlen(entry->d_name);
        if (length == prefix.size() + k_TempRandomLength && std::memcmp(entry->d_name, prefix.data(), prefix.size()) == 0)
        {
            ++count;
            f(dirfd(folder), entry->d_name);
        }
    }
    closedir(folder);
    return count;
}

// Only while holding target's save lock: what is found belongs to dead saves.
void RemoveStaleTemporaries(const Path& target)
{
    size_t removed = 0;
    ForEachTemporary(target, [&removed](int folderFd, const char* name) {
        removed += unlinkat(folderFd, name, 0) == 0;
    });
    if (removed > 0)
        LogInfo(SFormat("Settings file %s: removed %zu temporary file%s left by interrupted saves", target.c_str(),
                        removed, removed == 1 ? "" : "s"));
}

// Checks the target's place and makes its folder.
void PrepareSave(const Path& path)
{
    if (path.Empty())
        throw new Exception("Cannot save settings: no file name");
    if (File::IsDirectory(path))
        ThrowSaveError(path, "a folder is in the way");
    const Path folder = FolderOf(path);
    if (!File::CreateDirectories(folder))
        throw new Exception("Cannot create folder " + folder.GetString(), strerror(errno));
}

// Writes text to a temporary file next to path and renames it over path;
// the caller holds path's save lock. written, when given, receives the new
// file's identity.
void WriteReplacing(const Path& path, const String& text, FileStamp* written)
{
    const Path folder = FolderOf(path);
    std::string tempName = (folder / Path("." + path.FileName() + k_TempInfix + "XXXXXX")).GetString().Str();
    int fd = mkostemp(&tempName[0], O_CLOEXEC);
    if (fd < 0)
        ThrowSaveError(path, strerror(errno));

    // Until the rename, any failure removes the temporary file and leaves the
    // target as it was.
    FILE* file = nullptr;
    int step = 0;
    auto fail = [&](const char* what, int error) {
        if (file)
            fclose(file);
        else
            close(fd);
        unlink(tempName.c_str());
        ThrowSaveError(path, String(what) + ": " + strerror(error ? error : EIO));
    };

    if (!SaveStep(step))
        fail("create", EIO);
    if (fchmod(fd, NewFileMode(path)) != 0)
        fail("permissions", errno);
    file = fdopen(fd, "w");
    if (!file)
        fail("open", errno);
    for (size_t done = 0; done < text.Length(); done += k_WriteBlock)
    {
        size_t n = std::min(k_WriteBlock, text.Length() - done);
        if (fwrite(text.c_str() + done, 1, n, file) != n)
            fail("write", errno);
        if (!SaveStep(step))
            fail("write", ENOSPC);
    }
    if (fflush(file) != 0)
        fail("flush", errno);
    if (!SaveStep(step))
        fail("flush", ENOSPC);
    if (fsync(fileno(file)) != 0 && errno != EINVAL)
        fail("sync", errno);
    if (!SaveStep(step))
        fail("sync", EIO);
    // The rename keeps the modification time: this is the stamp the file
    // will show at its place.
    struct stat info;
    if (written && fstat(fileno(file), &info) == 0)
        *written = FileStamp::Of(info);
    FILE* closing = file;
    file = nullptr;
    fd = -1;
    if (fclose(closing) != 0)
    {
        int error = errno;
        unlink(tempName.c_str());
        ThrowSaveError(path, String("close: ") + strerror(error));
    }
    auto failClosed = [&](const char* what, int error) {
        unlink(tempName.c_str());
        ThrowSaveError(path, String(what) + ": " + strerror(error));
    };
    if (!SaveStep(step))
        failClosed("close", EIO);
    if (rename(tempName.c_str(), path.c_str()) != 0)
        failClosed("rename", errno);
    SaveStep(step);  // too late to fail: the new content is in place

    // Make the rename itself durable; some file systems cannot sync folders,
    // which changes nothing about the content already in place.
    int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0)
    {
        fsync(dirFd);
        close(dirFd);
    }
    SaveStep(step);
}

// Renames what is at path to "<path>.unreadable-YYYYMMDD-HHMMSS" (with a
// counter when that exists), never replacing anything; returns the new name,
// or empty with error set.
Path MoveAside(const Path& path, String& error)
{
    char when[32];
    const time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    strftime(when, sizeof when, "%Y%m%d-%H%M%S", &local);
    const String base = path.GetString() + ".unreadable-" + when;
    for (int attempt = 1; attempt <= 100; ++attempt)
    {
        const Path backup(attempt == 1 ? base : base + SFormat("-%d", attempt));
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, backup.c_str(), RENAME_NOREPLACE) == 0)
            return backup;
        if (errno == EEXIST)
            continue;
        if (errno == EINVAL || errno == ENOSYS)
        {
            // A file system without no-replace renames: check, then rename.
            // Two programs racing here would have to start in the same second.
            if (File::Exists(backup))
                continue;
            if (rename(path.c_str(), backup.c_str()) == 0)
                return backup;
        }
        error = strerror(errno);
        return Path();
    }
    error = "too many backups of that second";
    return Path();
}
}  // namespace

namespace xolib_internal
{
void SetSaveStepHook(SaveStepHook hook)
{
    s_SaveStepHook.store(hook);
}

int SetSaveLockTimeoutMs(int milliseconds)
{
    return s_SaveLockTimeoutMs.exchange(milliseconds);
}
}  // namespace xolib_internal

// ------------------------------------------------------------------ IniFile

IniFile::IniFile(bool /*unused*/) : m_Content(new Content) {}

IniFile::IniFile(const IniFile& other)
{
    std::lock_guard<std::recursive_mutex> lock(other.m_Mutex);
    m_Content.reset(new Content(*other.m_Content));
}

IniFile& IniFile::operator=(const IniFile& other)
{
    if (this != &other)
    {
        std::scoped_lock lock(m_Mutex, other.m_Mutex);
        *m_Content = *other.m_Content;
    }
    return *this;
}

IniFile::IniFile(const Path& path, bool throwOnError, bool /*unused*/) : m_Content(new Content)
{
    String text;
    String error;
    switch (xolib_internal::ReadFileBounded(path, k_MaxFileSize, text, error))
    {
    case ReadResult::Ok:
        break;
    case ReadResult::Missing:
    case ReadResult::Unchanged:
        return;
    case ReadResult::Unreadable:
    case ReadResult::TooLarge:
        if (throwOnError)
            throw new Exception("Cannot read settings file " + path.GetString(), error);
        LogWarning("Cannot read settings file " + path.GetString() + ": " + error);
        return;
    }
    WarnSkipped(path, m_Content->Parse(text.Str()));
}

IniFile::~IniFile() = default;

String IniFile::GetValue(const String& section, const String& key, const String& def) const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    if (const Section* s = m_Content->Find(section))
        if (const Entry* e = s->Find(key))
            return e->value;
    return def;
}

String IniFile::GetValue(const String& section, const String& key, const char* def) const
{
    return GetValue(section, key, String(def));
}

int IniFile::GetValue(const String& section, const String& key, int def) const
{
    int value = def;
    if (HasKey(section, key) && ParseInt(GetValue(section, key, String()), value))
        return value;
    return def;
}

bool IniFile::GetValue(const String& section, const String& key, bool def) const
{
    bool value = def;
    if (HasKey(section, key) && ParseBool(GetValue(section, key, String()), value))
        return value;
    return def;
}

void IniFile::SetValue(const String& section, const String& key, const String& value)
{
    if (!FitsLimits(section, key, value))
    {
        LogWarning(SFormat("Settings value of %zu bytes refused for key %.64s", key.Length() + value.Length(),
                           key.c_str()));
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    m_Content->Ensure(section).Set(key, value);
}

void IniFile::SetValue(const String& section, const String& key, const char* value)
{
    SetValue(section, key, String(value));
}

void IniFile::SetValue(const String& section, const String& key, int value)
{
    SetValue(section, key, String::FromInt(value));
}

void IniFile::SetValue(const String& section, const String& key, bool value)
{
    SetValue(section, key, String(value ? "1" : "0"));
}

bool IniFile::HasSection(const String& section) const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    return m_Content->Find(section) != nullptr;
}

bool IniFile::HasKey(const String& section, const String& key) const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    const Section* s = m_Content->Find(section);
    return s && s->Find(key);
}

void IniFile::InsertSection(const String& section)
{
    if (section.Length() > k_MaxItemLength)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    m_Content->EnsureIndex(section);
}

void IniFile::ClearSection(const String& section)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    if (Section* s = m_Content->Find(section))
        s->Clear();
}

void IniFile::RemoveKey(const String& section, const String& key)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    if (Section* s = m_Content->Find(section))
        s->Remove(key);
}

xolib::vector<String> IniFile::GetSections() const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    xolib::vector<String> names;
    names.reserve(m_Content->sections.size());
    for (const Section& s : m_Content->sections)
        names.push_back(s.name);
    return names;
}

xolib::vector<String> IniFile::GetKeys(const String& section) const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    xolib::vector<String> keys;
    if (const Section* s = m_Content->Find(section))
    {
        keys.reserve(s->LiveCount());
        for (const Entry& e : s->entries)
            if (e.live)
                keys.push_back(e.key);
    }
    return keys;
}

String IniFile::ToText() const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    return m_Content->ToText();
}

int IniFile::Parse(const String& text)
{
    std::unique_ptr<Content> parsed(new Content);
    const int skipped = parsed->Parse(text.Str());
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    m_Content.swap(parsed);
    return skipped;
}

void IniFile::Save(const Path& path) const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    PrepareSave(path);
    SaveLock saveLock(path, true);
    if (!saveLock.Held())
        ThrowSaveError(path, saveLock.GetError());
    RemoveStaleTemporaries(path);
    WriteReplacing(path, m_Content->ToText(), nullptr);
}

// -------------------------------------------------------------- OptionsFile

struct OptionsFile::SaveState
{
    struct Change
    {
        ChangeKind kind;
        String section;
        String key;
        String value;
    };
    xolib::vector<Change> changes;  // made through this object since its last save, in order
    FileStamp stamp;                // the file as this object last read or wrote it
    bool haveStamp = false;
    bool refused = false;  // the file could not be read nor moved aside
};

OptionsFile::OptionsFile(const Path& path) : IniFile(false), m_Path(path), m_Save(new SaveState)
{
    // An empty path is an options file in memory only.
    if (!m_Path.Empty())
        Load();
}

OptionsFile::~OptionsFile()
{
    Flush();
}

void OptionsFile::Load()
{
    String text;
    String error;
    FileStamp stamp;
    ReadResult result = xolib_internal::ReadFileBounded(m_Path, k_MaxFileSize, text, error, &stamp);
    if (result == ReadResult::Unreadable || result == ReadResult::TooLarge)
    {
        // Saving over it would destroy what may be the user's only copy:
        // move it aside, under the lock so that no save of another copy of
        // the program is replacing it meanwhile.
        SaveLock lock(m_Path, true);
        if (lock.Held())
            result = xolib_internal::ReadFileBounded(m_Path, k_MaxFileSize, text, error, &stamp);
        if (result == ReadResult::Unreadable || result == ReadResult::TooLarge)
        {
            String moveError = lock.GetError();
            const Path backup = lock.Held() ? MoveAside(m_Path, moveError) : Path();
            if (backup.Empty())
            {
                m_Save->refused = true;
                LogWarning("Options file " + m_Path.GetString() + " cannot be read (" + error +
                           ") nor moved aside (" + moveError + "): options will not be saved to it");
                return;
            }
            LogWarning("Options file " + m_Path.GetString() + " cannot be read (" + error + "): moved aside to " +
                       backup.GetString() + "; starting with empty options");
            result = ReadResult::Missing;
        }
    }
    if (result == ReadResult::Ok)
    {
        WarnSkipped(m_Path, m_Content->Parse(text.Str()));
        m_Save->stamp = stamp;
        m_Save->haveStamp = true;
    }
    // Temporary files of killed saves would pile up otherwise. A save going on
    // right now holds the lock and owns its temporary file: then leave them.
    if (ForEachTemporary(m_Path, [](int, const char*) {}) > 0)
    {
        SaveLock lock(m_Path, false);
        if (lock.Held())
            RemoveStaleTemporaries(m_Path);
    }
}

void OptionsFile::Record(ChangeKind kind, const String& section, const String& key, const String& value)
{
    if (m_Path.Empty() || m_Save->refused)
        return;
    auto& changes = m_Save->changes;
    // A value set again and again while saves fail (a read-only folder, say)
    // must not grow the list without end.
    if (kind == ChangeKind::Set && !changes.empty() && changes.back().kind == ChangeKind::Set &&
        changes.back().section == section && changes.back().key == key)
        changes.back().value = value;
    else
        changes.push_back(SaveState::Change{kind, section, key, value});
}

void OptionsFile::SetValue(const String& section, const String& key, const String& value)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    IniFile::SetValue(section, key, value);
    if (!FitsLimits(section, key, value))
        return;  // refused, nothing changed
    Record(ChangeKind::Set, section, key, value);
    Changed();
}

void OptionsFile::InsertSection(const String& section)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    IniFile::InsertSection(section);
    if (section.Length() <= k_MaxItemLength)
        Record(ChangeKind::Insert, section, String(), String());
}

void OptionsFile::ClearSection(const String& section)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    IniFile::ClearSection(section);
    Record(ChangeKind::Clear, section, String(), String());
    Changed();
}

void OptionsFile::RemoveKey(const String& section, const String& key)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    IniFile::RemoveKey(section, key);
    Record(ChangeKind::Remove, section, key, String());
    Changed();
}

void OptionsFile::SaveMerged()
{
    PrepareSave(m_Path);
    SaveLock lock(m_Path, true);
    if (!lock.Held())
        ThrowSaveError(m_Path, lock.GetError());
    RemoveStaleTemporaries(m_Path);

    String text;
    String error;
    std::unique_ptr<Content> merged;
    switch (xolib_internal::ReadFileBounded(m_Path, k_MaxFileSize, text, error, nullptr,
                                            m_Save->haveStamp ? &m_Save->stamp : nullptr))
    {
    case ReadResult::Unreadable:
    case ReadResult::TooLarge:
        ThrowSaveError(m_Path, "the file there cannot be read (" + error + "), so it is left as it is");
    case ReadResult::Missing:    // gone: what this object holds is all there is
    case ReadResult::Unchanged:  // what this object holds is the file and its changes
        break;
    case ReadResult::Ok:
        // Someone else saved since: their content, then this object's changes.
        merged.reset(new Content);
        WarnSkipped(m_Path, merged->Parse(text.Str()));
        for (const SaveState::Change& change : m_Save->changes)
        {
            switch (change.kind)
            {
            case ChangeKind::Set: merged->Ensure(change.section).Set(change.key, change.value); break;
            case ChangeKind::Insert: merged->EnsureIndex(change.section); break;
            case ChangeKind::Remove:
                if (Section* s = merged->Find(change.section))
                    s->Remove(change.key);
                break;
            case ChangeKind::Clear:
                if (Section* s = merged->Find(change.section))
                    s->Clear();
                break;
            }
        }
        break;
    }

    FileStamp written;
    WriteReplacing(m_Path, (merged ? merged : m_Content)->ToText(), &written);
    if (merged)
        m_Content.swap(merged);
    m_Save->stamp = written;
    m_Save->haveStamp = written.size >= 0;
    m_Save->changes.clear();
}

bool OptionsFile::Flush()
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    if (!m_Dirty)
        return true;
    if (m_Path.Empty())
    {
        m_Dirty = false;
        return true;
    }
    if (m_Save->refused)
        return false;  // said once, at load
    try
    {
        SaveMerged();
        m_Dirty = false;
        return true;
    }
    catch (Exception* e)
    {
        LogWarning("Options not saved: " + e->GetText() + " (" + e->GetDetail() + ")");
        delete e;
        return false;
    }
}

bool OptionsFile::IsAutoWritePaused() const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    return m_PauseDepth > 0;
}

void OptionsFile::Changed()
{
    m_Dirty = true;
    if (m_PauseDepth == 0)
        Flush();
}

OptionsFile::PauseAutoWrite::PauseAutoWrite(OptionsFile& options) : m_Options(options)
{
    std::lock_guard<std::recursive_mutex> lock(m_Options.m_Mutex);
    ++m_Options.m_PauseDepth;
}

OptionsFile::PauseAutoWrite::~PauseAutoWrite()
{
    std::lock_guard<std::recursive_mutex> lock(m_Options.m_Mutex);
    if (--m_Options.m_PauseDepth == 0)
        m_Options.Flush();
}
