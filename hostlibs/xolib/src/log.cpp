// Xolib: the core log.
#include "xolib/log.h"

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
    if (m_File)
        setvbuf(m_File, nullptr, _IOLBF, 0);  // whole lines reach the file even if we crash later
    return m_File != nullptr;
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
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Level = maxLevel;
}

LogLevel Log::GetLevel() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Level;
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
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (level > m_Level)
            return;
        if (m_File || m_Echo)
        {
            Time now = Time::CurrentTime().ConvertToLocal();
            int hour, minute, second, ms;
            now.ExtractTime(hour, minute, second, ms);
            String line = now.Format() + SFormat(".%03d %s ", ms, LevelName(level)) + text + k_NL;
            if (m_File)
                fwrite(line.c_str(), 1, line.Length(), m_File);
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
