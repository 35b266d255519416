// Xolib: the core log.
#pragma once

#include <functional>
#include <mutex>

#include "xolib/file.h"
#include "xolib/string.h"

/// Core log levels, most severe first. The numbers are passed as they stand
/// by callers that map other logging systems onto this one: 0 fatal, 1 error,
/// 3 warning, 4 status, 5 info, 6 debug. System lines (operational events
/// such as a shutdown request) are always worth keeping, so they rank just
/// below errors.
enum LogLevel
{
    LOG_FATAL = 0,
    LOG_ERROR = 1,
    LOG_SYSTEM = 2,
    LOG_WARNING = 3,
    LOG_STATUS = 4,
    LOG_INFO = 5,
    LOG_DEBUG = 6,
};

/// A line sink writing "YYYY-MM-DD hh:mm:ss.mmm LEVEL text" lines to a file
/// and, when echo is on, to stderr. Thread-safe.
class Log
{
public:
    Log();
    ~Log();

    /// Opens (appending) the log file; false when it cannot be opened, in
    /// which case lines still reach stderr when echo is on.
    bool Open(const Path& path);
    void Close();
    const Path& GetPath() const { return m_Path; }

    /// Lines below this severity (numerically above) are dropped.
    void SetLevel(LogLevel maxLevel);
    LogLevel GetLevel() const;
    void SetEcho(bool toStderr);

    void Write(LogLevel level, const String& text);

    /// Observers see every line written (for tests and diagnostics windows).
    /// They run on the writing thread after the line is written, outside the
    /// file lock, so an observer may itself log (the nested line is delivered
    /// to the observers at once). No observer is called after RemoveObserver
    /// has returned.
    typedef std::function<void(LogLevel, const String&)> Observer;
    int AddObserver(Observer observer);
    void RemoveObserver(int id);

    static const char* LevelName(LogLevel level);

    /// The process's log, opened by File::Startup.
    static Log s_GlobalLog;

private:
    mutable std::mutex m_Mutex;  // guards the file, path, level, echo and observer list
    std::recursive_mutex m_ObserverCallMutex;  // held while observers run
    Path m_Path;
    FILE* m_File = nullptr;
    LogLevel m_Level = LOG_DEBUG;
    bool m_Echo = false;
    int m_NextObserver = 1;
    xolib::vector<std::pair<int, Observer>> m_Observers;
};

void GlobalLog(LogLevel level, const String& text);
void LogDebug(const String& text);
void LogInfo(const String& text);
void LogStatus(const String& text);
void LogSystem(const String& text);
void LogWarning(const String& text);
void LogError(const String& text);
