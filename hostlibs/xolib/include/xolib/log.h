// Xolib: the core log.
#pragma once

#include <atomic>
#include <cstdint>
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

    /// Lines below this severity (numerically above) are dropped. The
    /// default is LOG_INFO: debug lines are written only once debug logging
    /// is switched on (SetLevel(LOG_DEBUG), or DRAVIK_LOG_DEBUG=1 at start-up).
    void SetLevel(LogLevel maxLevel);
    LogLevel GetLevel() const;
    /// True when lines of that level are written; cheap, so that callers on
    /// hot paths need not build text that would be dropped.
    bool IsEnabled(LogLevel level) const { return level <= m_Level.load(std::memory_order_relaxed); }
    void SetEcho(bool toStderr);
    /// Size at which the file is renamed to "<path>.1" (replacing an older
    /// one) and started afresh, so a chatty program cannot fill the disk;
    /// 0 lets it grow. Default 16 MiB.
    void SetMaxFileSize(uint64_t bytes);

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
    void _RotateLocked();

    mutable std::mutex m_Mutex;  // guards the file, path, sizes, echo and observer list
    std::recursive_mutex m_ObserverCallMutex;  // held while observers run
    Path m_Path;
    FILE* m_File = nullptr;
    uint64_t m_FileSize = 0;
    uint64_t m_MaxFileSize = uint64_t(16) << 20;
    std::atomic<LogLevel> m_Level{LOG_INFO};
    bool m_Echo = false;
    int m_NextObserver = 1;
    xolib::vector<std::pair<int, Observer>> m_Observers;
};

/// Keeps one kind of repeated line (a refused connection, a malformed
/// request) from flooding the log: at most `burst` lines pass per interval;
/// the rest are counted, and the first line let through afterwards says how
/// many were held back. Thread-safe; one object per kind of line.
class LogLimiter
{
public:
    explicit LogLimiter(int burst = 5, int intervalMs = 10000);
    /// Writes the line to the global log, or counts it when over the limit.
    /// True when it was written.
    bool Write(LogLevel level, const String& text);
    /// Lines held back since the object was made.
    uint64_t GetSuppressedTotal() const;

private:
    mutable std::mutex m_Mutex;
    const int m_Burst;
    const int64_t m_IntervalUs;
    int64_t m_WindowStartUs = 0;
    int m_InWindow = 0;
    uint64_t m_Pending = 0;  // held back since the last line written
    uint64_t m_SuppressedTotal = 0;
};

void GlobalLog(LogLevel level, const String& text);
void LogDebug(const String& text);
void LogInfo(const String& text);
void LogStatus(const String& text);
void LogSystem(const String& text);
void LogWarning(const String& text);
void LogError(const String& text);
