// Xolib: the core log.
#include "xolib/log.h"

#include <chrono>
#include <cstdio>

Log Log::s_GlobalLog;

Log::Log() = default;

Log::~Log()
{
    Close();
}

bool Log::Open(const Path& path)
{
    FILE* file = fopen(path.c_str(), "ae");
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_File)
        fclose(m_File);
    m_File = file;
    m_Path = path;
    m_FileSize = 0;
    if (m_File)
    {
        setvbuf(m_File, nullptr, _IOLBF, 0);  // whole lines reach the file even if we crash later
        if (fseek(m_File, 0, SEEK_END) == 0)
        {
            long size = ftell(m_File);
            m_FileSize = size > 0 ? uint64_t(size) : 0;
        }
    }
    return m_File != nullptr;
}

// Called with m_Mutex held, when the file has grown past its limit. Another
// copy of the program may share the file; it goes on writing into the renamed
// one until it rotates itself, which loses nothing.
void Log::_RotateLocked()
{
    const String old = m_Path.GetString() + ".1";
    fclose(m_File);
    m_File = nullptr;
    rename(m_Path.c_str(), old.c_str());
    m_File = fopen(m_Path.c_str(), "ae");
    m_FileSize = 0;
    if (m_File)
        setvbuf(m_File, nullptr, _IOLBF, 0);
}

void Log::SetMaxFileSize(uint64_t bytes)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_MaxFileSize = bytes;
}

void Log::Close()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_File)
        fclose(m_File);
    m_File = nullptr;
}

void Log::SetLevel(LogLevel maxLevel)
{
    m_Level.store(maxLevel);
}

LogLevel Log::GetLevel() const
{
    return m_Level.load();
}

void Log::SetEcho(bool toStderr)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Echo = toStderr;
}

const char* Log::LevelName(LogLevel level)
{
    switch (level)
    {
    case LOG_FATAL: return "FATAL";
    case LOG_ERROR: return "ERROR";
    case LOG_WARNING: return "WARNING";
    case LOG_SYSTEM: return "SYSTEM";
    case LOG_STATUS: return "STATUS";
    case LOG_INFO: return "INFO";
    case LOG_DEBUG: return "DEBUG";
    }
    return "LOG";
}

void Log::Write(LogLevel level, const String& text)
{
    {
        if (!IsEnabled(level))
            return;
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (m_File || m_Echo)
        {
            Time now = Time::CurrentTime().ConvertToLocal();
            int hour, minute, second, ms;
            now.ExtractTime(hour, minute, second, ms);
            String line = now.Format() + SFormat(".%03d %s ", ms, LevelName(level)) + text + k_NL;
            if (m_File)
            {
                if (fwrite(line.c_str(), 1, line.Length(), m_File) == line.Length())
                    m_FileSize += line.Length();
                if (m_MaxFileSize > 0 && m_FileSize > m_MaxFileSize)
                    _RotateLocked();
            }
            if (m_Echo)
                fwrite(line.c_str(), 1, line.Length(), stderr);
        }
        if (m_Observers.empty())
            return;
    }
    // Observers run outside the file lock so that they may log themselves;
    // the call lock keeps RemoveObserver from returning while one runs.
    std::lock_guard<std::recursive_mutex> callLock(m_ObserverCallMutex);
    xolib::vector<int> ids;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        for (const auto& entry : m_Observers)
            ids.push_back(entry.first);
    }
    for (int id : ids)
    {
        Observer observer;
        {
            // Looked up again: an earlier observer may have removed this one.
            std::lock_guard<std::mutex> lock(m_Mutex);
            for (const auto& entry : m_Observers)
                if (entry.first == id)
                    observer = entry.second;
        }
        if (observer)
            observer(level, text);
    }
}

int Log::AddObserver(Observer observer)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    int id = m_NextObserver++;
    m_Observers.emplace_back(id, std::move(observer));
    return id;
}

void Log::RemoveObserver(int id)
{
    std::lock_guard<std::recursive_mutex> callLock(m_ObserverCallMutex);
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (auto it = m_Observers.begin(); it != m_Observers.end(); ++it)
        if (it->first == id)
        {
            m_Observers.erase(it);
            return;
        }
}

// ---------------------------------------------------------------- LogLimiter

namespace
{
int64_t NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}

LogLimiter::LogLimiter(int burst, int intervalMs)
    : m_Burst(burst < 1 ? 1 : burst), m_IntervalUs(int64_t(intervalMs < 1 ? 1 : intervalMs) * 1000)
{
}

bool LogLimiter::Write(LogLevel level, const String& text)
{
    uint64_t heldBack = 0;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        const int64_t now = NowUs();
        if (m_InWindow == 0 || now - m_WindowStartUs >= m_IntervalUs)
        {
            m_WindowStartUs = now;
            m_InWindow = 0;
        }
        if (m_InWindow >= m_Burst)
        {
            ++m_Pending;
            ++m_SuppressedTotal;
            return false;
        }
        ++m_InWindow;
        heldBack = m_Pending;
        m_Pending = 0;
    }
    if (heldBack > 0)
        GlobalLog(level, text + SFormat(" (%llu similar line%s held back)", (unsigned long long)heldBack,
                                        heldBack == 1 ? "" : "s"));
    else
        GlobalLog(level, text);
    return true;
}

uint64_t LogLimiter::GetSuppressedTotal() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_SuppressedTotal;
}

void GlobalLog(LogLevel level, const String& text)
{
    Log::s_GlobalLog.Write(level, text);
}

void LogDebug(const String& text)
{
    GlobalLog(LOG_DEBUG, text);
}

void LogInfo(const String& text)
{
    GlobalLog(LOG_INFO, text);
}

void LogStatus(const String& text)
{
    GlobalLog(LOG_STATUS, text);
}

void LogSystem(const String& text)
{
    GlobalLog(LOG_SYSTEM, text);
}

void LogWarning(const String& text)
{
    GlobalLog(LOG_WARNING, text);
}

void LogError(const String& text)
{
    GlobalLog(LOG_ERROR, text);
}
