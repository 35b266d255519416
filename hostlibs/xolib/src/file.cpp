// Xolib: paths, file queries and line output.
#include "xolib/file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"
#include "xolib/log.h"

namespace
{
String ErrnoText(int error)
{
    return String(std::strerror(error));
}

// Splits on '/' dropping empty components.
xolib::vector<String> Components(const String& text)
{
    xolib::vector<String> parts;
    const std::string& s = text.Str();
    size_t begin = 0;
    while (begin <= s.size())
    {
        size_t end = s.find('/', begin);
        if (end == std::string::npos)
            end = s.size();
        if (end > begin)
            parts.push_back(String(s.substr(begin, end - begin)));
        begin = end + 1;
    }
    return parts;
}
}  // namespace

// --------------------------------------------------------------------- Path

Path::Path(const String& text) : m_Text(text) {}
Path::Path(const char* text) : m_Text(text) {}

Path& Path::operator/=(const Path& component)
{
    if (component.Empty())
        return *this;
    if (m_Text.Empty())
    {
        m_Text = component.m_Text;
        return *this;
    }
    std::string joined = m_Text.Str();
    while (joined.size() > 1 && joined.back() == '/')
        joined.pop_back();
    const std::string& tail = component.m_Text.Str();
    size_t skip = 0;
    while (skip < tail.size() && tail[skip] == '/')
        ++skip;
    if (joined.back() != '/')
        joined += '/';
    joined += tail.substr(skip);
    m_Text = String(std::move(joined));
    return *this;
}

Path Path::operator/(const Path& component) const
{
    Path r(*this);
    r /= component;
    return r;
}

Path Path::Branch(bool company, bool product)
{
    Path branch;
    if (company)
        branch /= Path("Dravik");
    if (product)
        branch /= Path("wxDravik");
    return branch;
}

Path Path::MakeAbsolute() const
{
    String text = m_Text;
    if (!IsAbsolute())
    {
        char buffer[PATH_MAX];
        String cwd = getcwd(buffer, sizeof buffer) ? String(buffer) : String("/");
        text = cwd + "/" + text;
    }
    xolib::vector<String> resolved;
    for (const String& part : Components(text))
    {
        if (part == ".")
            continue;
        if (part == "..")
        {
            if (!resolved.empty())
                resolved.pop_back();
            continue;
        }
        resolved.push_back(part);
    }
    String result;
    for (const String& part : resolved)
        result += "/" + part;
    return Path(result.Empty() ? String("/") : result);
}

String Path::TranslateToLocal() const
{
    // This platform's notation is the stored one.
    return m_Text;
}

Path Path::Parent() const
{
    std::string s = m_Text.Str();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    size_t slash = s.rfind('/');
    if (slash == std::string::npos)
        return Path();
    if (slash == 0)
        return Path("/");
    return Path(String(s.substr(0, slash)));
}

String Path::FileName() const
{
    std::string s = m_Text.Str();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    size_t slash = s.rfind('/');
    if (slash == std::string::npos)
        return String(s);
    return String(s.substr(slash + 1));
}

bool Path::IsAbsolute() const
{
    return m_Text.StartsWith("/");
}

// --------------------------------------------------------------------- File

bool File::Exists(const Path& path)
{
    struct stat info;
    return !path.Empty() && stat(path.c_str(), &info) == 0;
}

bool File::IsDirectory(const Path& path)
{
    struct stat info;
    return !path.Empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool File::CreateDirectories(const Path& path)
{
    if (path.Empty())
        return false;
    if (IsDirectory(path))
        return true;
    Path parent = path.Parent();
    if (!parent.Empty() && !(parent == path) && !IsDirectory(parent))
        CreateDirectories(parent);
    // Another process may create it between the check and here.
    if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
        return false;
    return IsDirectory(path);
}

bool File::Remove(const Path& path)
{
    if (path.Empty())
        return false;
    if (IsDirectory(path))
        return rmdir(path.c_str()) == 0;
    return unlink(path.c_str()) == 0;
}

Path File::GetUserDir()
{
    const char* config = getenv("XDG_CONFIG_HOME");
    // The XDG rules say a relative value is invalid and must be ignored.
    if (config && config[0] == '/')
        return Path(config);
    const char* home = getenv("HOME");
    if (home && home[0])
        return Path(home) / Path(".config");
    return Path("/tmp") / Path(".config");
}

bool File::Startup(const String& programPath, String& logPath)
{
    const char* echo = getenv("DRAVIK_LOG_STDERR");
    Log::s_GlobalLog.SetEcho(echo && String(echo) == "1");
    const char* debug = getenv("DRAVIK_LOG_DEBUG");
    if (debug && String(debug) == "1")
        Log::s_GlobalLog.SetLevel(LOG_DEBUG);
    if (logPath.Empty())
    {
        String program = Path(programPath).FileName();
        if (program.Empty())
            program = "Dravik";
        Path path = GetUserDir() / Path("Dravik") / Path("logs") / Path(program + ".log");
        logPath = path.GetString();
    }
    Path path(logPath);
    File::CreateDirectories(path.Parent());
    if (!Log::s_GlobalLog.Open(path))
        return false;
    LogInfo("Started " + programPath);
    return true;
}

String File::ReadAll(const Path& path)
{
    // Large enough for any text file this library handles, small enough that
    // a wrong path (a disk image, say) does not exhaust memory.
    const size_t k_MaxReadAll = size_t(256) << 20;
    String text;
    String error;
    xolib_internal::ReadResult result = xolib_internal::ReadFileBounded(path, k_MaxReadAll, text, error);
    if (result != xolib_internal::ReadResult::Ok)
        throw new Exception("Cannot read " + path.GetString(), error);
    return text;
}

namespace xolib_internal
{
ReadResult ReadFileBounded(const Path& path, size_t maxBytes, String& text, String& error, FileStamp* stamp,
                           const FileStamp* unlessStamp)
{
    text = String();
    // O_NONBLOCK so that a FIFO in the file's place cannot hang us.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
    {
        int e = errno;
        error = ErrnoText(e);
        return (e == ENOENT || e == ENOTDIR) ? ReadResult::Missing : ReadResult::Unreadable;
    }
    struct FdCloser
    {
        int fd;
        ~FdCloser() { close(fd); }
    } closer{fd};

    struct stat info;
    if (fstat(fd, &info) != 0)
    {
        error = ErrnoText(errno);
        return ReadResult::Unreadable;
    }
    if (!S_ISREG(info.st_mode))
    {
        error = S_ISDIR(info.st_mode) ? "is a folder" : "not a regular file";
        return ReadResult::Unreadable;
    }
    const FileStamp found = FileStamp::Of(info);
    if (stamp)
        *stamp = found;
    if (unlessStamp && *unlessStamp == found)
        return ReadResult::Unchanged;
    if (info.st_size < 0 || uint64_t(info.st_size) > maxBytes)
    {
        error = "file too large";
        return ReadResult::TooLarge;
    }
    std::string data;
    data.reserve(size_t(info.st_size));
    char buffer[65536];
    for (;;)
    {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            error = ErrnoText(errno);
            return ReadResult::Unreadable;
        }
        if (n == 0)
            break;
        // The file may grow while we read it.
        if (data.size() + size_t(n) > maxBytes)
        {
            error = "file too large";
            return ReadResult::TooLarge;
        }
        data.append(buffer, size_t(n));
    }
    text = String(std::move(data));
    return ReadResult::Ok;
}
}  // namespace xolib_internal

// ------------------------------------------------------------------ OutFile

OutFile::OutFile(const Path& path, bool append) : m_Path(path)
{
    m_File = fopen(path.c_str(), append ? "ae" : "we");
    if (!m_File)
        throw new Exception("Cannot open " + path.GetString() + " for writing", ErrnoText(errno));
}

OutFile::~OutFile()
{
    if (m_File)
        fclose(m_File);
}

void OutFile::Put(const String& text)
{
    if (!m_File)
        throw new Exception("Write to a closed file " + m_Path.GetString());
    if (text.Length() && fwrite(text.c_str(), 1, text.Length(), m_File) != text.Length())
        throw new Exception("Cannot write to " + m_Path.GetString(), ErrnoText(errno));
}

void OutFile::PutLine(const String& line)
{
    Put(line + k_NL);
}

void OutFile::Close()
{
    if (!m_File)
        return;
    FILE* file = m_File;
    m_File = nullptr;
    bool ok = fflush(file) == 0;
    int error = ok ? 0 : errno;
    if (ok && fsync(fileno(file)) != 0 && errno != EINVAL && errno != EROFS)
    {
        ok = false;
        error = errno;
    }
    if (fclose(file) != 0 && ok)
    {
        ok = false;
        error = errno;
    }
    if (!ok)
        throw new Exception("Cannot write to " + m_Path.GetString(), ErrnoText(error));
}
