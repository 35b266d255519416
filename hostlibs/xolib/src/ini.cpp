// Xolib: INI documents and self-saving options files.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"
#include "xolib/file.h"
#include "xolib/log.h"

namespace
{
// A settings file larger than this is not a settings file.
const size_t k_MaxFileSize = size_t(16) << 20;
// Longest line accepted when reading; a written line never exceeds it since
// escaping at most quadruples an item of k_MaxItemLength.
const size_t k_MaxLineLength = size_t(4) << 20;
const size_t k_MaxItemLength = (size_t(1) << 20) - 64;
const size_t k_WriteBlock = 64 * 1024;

std::atomic<xolib_internal::SaveStepHook> s_SaveStepHook{nullptr};

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

// Whether the text would not read back as itself when written bare.
bool NeedsQuotes(const String& text, bool isName)
{
    const std::string& s = text.Str();
    if (s.empty())
        return isName;
    if (IsBlank(s.front()) || IsBlank(s.back()) || s.front() == '"')
        return true;
    if (isName && (s.front() == '[' || s.front() == ';' || s.front() == '#' || s.find('=') != std::string::npos))
        return true;
    for (char c : s)
        if (IsControl((unsigned char)c))
            return true;
    return false;
}

String Quote(const String& text)
{
    static const char k_Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.Length() + 2);
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
    return String(std::move(out));
}

String Encode(const String& text, bool isName)
{
    return NeedsQuotes(text, isName) ? Quote(text) : text;
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

// Reads a quoted text starting at s[pos] == '"'; on success pos is just past
// the closing quote. An unterminated quote fails.
bool Unquote(const std::string& s, size_t& pos, String& out)
{
    std::string text;
    size_t i = pos + 1;
    while (i < s.size())
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
        if (i >= s.size())
            return false;
        char e = s[i++];
        switch (e)
        {
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 't': text += '\t'; break;
        case 'x':
            if (i + 1 < s.size() && HexValue(s[i]) >= 0 && HexValue(s[i + 1]) >= 0)
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

// A value read back: quoted form when the whole value is one quoted text,
// otherwise the bare text (hand-written values may start with a quote).
String DecodeValue(const std::string& line, size_t begin, size_t end)
{
    String bare = TrimBlanks(line, begin, end);
    if (bare.Empty() || bare[0] != '"')
        return bare;
    size_t pos = 0;
    String unquoted;
    if (Unquote(bare.Str(), pos, unquoted) && pos == bare.Length())
        return unquoted;
    return bare;
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
}  // namespace

namespace xolib_internal
{
void SetSaveStepHook(SaveStepHook hook)
{
    s_SaveStepHook.store(hook);
}
}  // namespace xolib_internal

// ------------------------------------------------------------------ IniFile

IniFile::IniFile(bool /*unused*/) {}

IniFile::IniFile(const IniFile& other)
{
    std::lock_guard<std::recursive_mutex> lock(other.m_Mutex);
    m_Sections = other.m_Sections;
}

IniFile& IniFile::operator=(const IniFile& other)
{
    if (this != &other)
    {
        std::scoped_lock lock(m_Mutex, other.m_Mutex);
        m_Sections = other.m_Sections;
    }
    return *this;
}

IniFile::IniFile(const Path& path, bool throwOnError, bool /*unused*/)
{
    String text;
    String error;
    switch (xolib_internal::ReadFileBounded(path, k_MaxFileSize, text, error))
    {
    case xolib_internal::ReadResult::Ok:
        break;
    case xolib_internal::ReadResult::Missing:
        return;
    case xolib_internal::ReadResult::Unreadable:
    case xolib_internal::ReadResult::TooLarge:
        if (throwOnError)
            throw new Exception("Cannot read settings file " + path.GetString(), error);
        LogWarning("Cannot read settings file " + path.GetString() + ": " + error);
        return;
    }
    int skipped = Parse(text);
    // One line per file, however many lines are bad: a garbage file must not
    // flood the log.
    if (skipped > 0)
        LogWarning(SFormat("Settings file %s: skipped %d malformed line%s", path.c_str(), skipped,
                           skipped == 1 ? "" : "s"));
}

IniFile::~IniFile() = default;

IniFile::Section* IniFile::FindSection(const String& name)
{
    for (Section& section : m_Sections)
        if (section.name == name)
            return &section;
    return nullptr;
}

const IniFile::Section* IniFile::FindSection(const String& name) const
{
    for (const Section& section : m_Sections)
        if (section.name == name)
            return &section;
    return nullptr;
}

String IniFile::GetValue(const String& section, const String& key, const String& def) const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    if (const Section* s = FindSection(section))
        for (const auto& entry : s->entries)
            if (entry.first == key)
                return entry.second;
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
    if (key.Length() + value.Length() > k_MaxItemLength || section.Length() > k_MaxItemLength)
    {
        LogWarning(SFormat("Settings value of %zu bytes refused for key %.64s", key.Length() + value.Length(),
                           key.c_str()));
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    Section* s = FindSection(section);
    if (!s)
    {
        m_Sections.push_back(Section{section, {}});
        s = &m_Sections.back();
    }
    for (auto& entry : s->entries)
        if (entry.first == key)
        {
            entry.second = value;
            return;
        }
    s->entries.emplace_back(key, value);
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
    return FindSection(section) != nullptr;
}

bool IniFile::HasKey(const String& section, const String& key) const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    if (const Section* s = FindSection(section))
        for (const auto& entry : s->entries)
            if (entry.first == key)
                return true;
    return false;
}

void IniFile::InsertSection(const String& section)
{
    if (section.Length() > k_MaxItemLength)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    if (!FindSection(section))
        m_Sections.push_back(Section{section, {}});
}

void IniFile::ClearSection(const String& section)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    if (Section* s = FindSection(section))
        s->entries.clear();
}

void IniFile::RemoveKey(const String& section, const String& key)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    if (Section* s = FindSection(section))
        for (auto it = s->entries.begin(); it != s->entries.end(); ++it)
            if (it->first == key)
            {
                s->entries.erase(it);
                return;
            }
}

xolib::vector<String> IniFile::GetSections() const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    xolib::vector<String> names;
    for (const Section& s : m_Sections)
        names.push_back(s.name);
    return names;
}

xolib::vector<String> IniFile::GetKeys(const String& section) const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    xolib::vector<String> keys;
    if (const Section* s = FindSection(section))
        for (const auto& entry : s->entries)
            keys.push_back(entry.first);
    return keys;
}

String IniFile::ToText() const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    std::string out;
    auto writeEntries = [&out](const Section& s) {
        for (const auto& entry : s.entries)
        {
            out += Encode(entry.first, true).Str();
            out += '=';
            out += Encode(entry.second, false).Str();
            out += '\n';
        }
    };
    // The unnamed section has no header, so its keys must come first.
    if (const Section* unnamed = FindSection(String()))
        writeEntries(*unnamed);
    for (const Section& s : m_Sections)
    {
        if (s.name.Empty())
            continue;
        out += '[';
        out += Encode(s.name, true).Str();
        out += "]\n";
        writeEntries(s);
    }
    return String(std::move(out));
}

int IniFile::Parse(const String& text)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    m_Sections.clear();
    const std::string& all = text.Str();
    int skipped = 0;
    size_t begin = 0;
    // A byte-order mark some editors put in front of UTF-8 text.
    if (all.compare(0, 3, "\xEF\xBB\xBF") == 0)
        begin = 3;
    String current;
    while (begin < all.size())
    {
        size_t end = all.find('\n', begin);
        if (end == std::string::npos)
            end = all.size();
        size_t next = end + 1;
        if (end > begin && all[end - 1] == '\r')
            --end;
        const size_t length = end - begin;
        if (length > k_MaxLineLength || std::memchr(all.data() + begin, '\0', length))
        {
            ++skipped;
            begin = next;
            continue;
        }
        const std::string line = all.substr(begin, length);
        begin = next;

        size_t first = 0;
        while (first < line.size() && IsBlank(line[first]))
            ++first;
        size_t last = line.size();
        while (last > first && IsBlank(line[last - 1]))
            --last;
        if (first == last || line[first] == ';' || line[first] == '#')
            continue;

        if (line[first] == '[')
        {
            if (line[last - 1] != ']' || last - first < 2)
            {
                ++skipped;
                continue;
            }
            String inner = TrimBlanks(line, first + 1, last - 1);
            String name = inner;
            if (!inner.Empty() && inner[0] == '"')
            {
                size_t pos = 0;
                if (!Unquote(inner.Str(), pos, name) || pos != inner.Length())
                {
                    ++skipped;
                    continue;
                }
            }
            current = name;
            if (!FindSection(current))
                m_Sections.push_back(Section{current, {}});
            continue;
        }

        String key;
        size_t equals;
        if (line[first] == '"')
        {
            size_t pos = first;
            if (!Unquote(line, pos, key))
            {
                ++skipped;
                continue;
            }
            while (pos < last && IsBlank(line[pos]))
                ++pos;
            if (pos >= last || line[pos] != '=')
            {
                ++skipped;
                continue;
            }
            equals = pos;
        }
        else
        {
            equals = line.find('=', first);
            if (equals == std::string::npos || equals >= last)
            {
                ++skipped;
                continue;
            }
            key = TrimBlanks(line, first, equals);
            if (key.Empty())
            {
                ++skipped;
                continue;
            }
        }
        String value = DecodeValue(line, equals + 1, last);
        Section* s = FindSection(current);
        if (!s)
        {
            m_Sections.push_back(Section{current, {}});
            s = &m_Sections.back();
        }
        bool replaced = false;
        for (auto& entry : s->entries)
            if (entry.first == key)
            {
                entry.second = value;  // a repeated key: the last one wins
                replaced = true;
                break;
            }
        if (!replaced)
            s->entries.emplace_back(std::move(key), std::move(value));
    }
    return skipped;
}

void IniFile::Save(const Path& path) const
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    if (path.Empty())
        throw new Exception("Cannot save settings: no file name");
    if (File::IsDirectory(path))
        throw new Exception("Cannot save settings to " + path.GetString(), "a folder is in the way");
    Path folder = path.Parent();
    if (folder.Empty())
        folder = Path(".");
    if (!File::CreateDirectories(folder))
        throw new Exception("Cannot create folder " + folder.GetString(), strerror(errno));

    const String text = ToText();
    std::string tempName = (folder / Path("." + path.FileName() + ".tmp-XXXXXX")).GetString().Str();
    int fd = mkostemp(&tempName[0], O_CLOEXEC);
    if (fd < 0)
        throw new Exception("Cannot save settings to " + path.GetString(), strerror(errno));

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
        throw new Exception("Cannot save settings to " + path.GetString(),
                            String(what) + ": " + strerror(error ? error : EIO));
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
    FILE* closing = file;
    file = nullptr;
    fd = -1;
    if (fclose(closing) != 0)
    {
        int error = errno;
        unlink(tempName.c_str());
        throw new Exception("Cannot save settings to " + path.GetString(), String("close: ") + strerror(error));
    }
    auto failClosed = [&](const char* what, int error) {
        unlink(tempName.c_str());
        throw new Exception("Cannot save settings to " + path.GetString(), String(what) + ": " + strerror(error));
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

// -------------------------------------------------------------- OptionsFile

OptionsFile::OptionsFile(const Path& path) : IniFile(path, false, false), m_Path(path) {}

OptionsFile::~OptionsFile()
{
    Flush();
}

void OptionsFile::SetValue(const String& section, const String& key, const String& value)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    IniFile::SetValue(section, key, value);
    Changed();
}

void OptionsFile::ClearSection(const String& section)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    IniFile::ClearSection(section);
    Changed();
}

void OptionsFile::RemoveKey(const String& section, const String& key)
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    IniFile::RemoveKey(section, key);
    Changed();
}

bool OptionsFile::Flush()
{
    std::lock_guard<std::recursive_mutex> lock(m_Mutex);
    if (!m_Dirty)
        return true;
    try
    {
        Save(m_Path);
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
