// Xolib: identifiers, time, exceptions, library-lifetime hooks, thread pool.
#include "xolib/core.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <random>
#include <thread>
#include <vector>

// ---------------------------------------------------------------- Exception

Exception::Exception(const String& text, const String& detail) : m_Text(text), m_Detail(detail) {}

Exception::~Exception() = default;

// ---------------------------------------------------------------------- UID

const UID UID::Null(false);

UID::UID() : UID(true) {}

UID::UID(bool generate)
{
    std::memset(m_Bytes, 0, sizeof m_Bytes);
    if (!generate)
        return;
    // random_device reads the kernel's entropy source (getrandom or
    // /dev/urandom), so identifiers from separate processes do not collide.
    std::random_device device;
    for (size_t i = 0; i < sizeof m_Bytes; i += 4)
    {
        uint32_t word = device();
        std::memcpy(m_Bytes + i, &word, 4);
    }
    // Mark as a random (version 4) identifier, which also makes it non-empty.
    m_Bytes[6] = uint8_t((m_Bytes[6] & 0x0f) | 0x40);
    m_Bytes[8] = uint8_t((m_Bytes[8] & 0x3f) | 0x80);
}

UID UID::FromString(const String& text)
{
    UID id(false);
    const std::string& s = text.Str();
    if (s.size() != 36)
        return id;
    size_t byte = 0;
    for (size_t i = 0; i < s.size();)
    {
        if (i == 8 || i == 13 || i == 18 || i == 23)
        {
            if (s[i] != '-')
                return UID(false);
            ++i;
            continue;
        }
        int value = 0;
        for (int k = 0; k < 2; ++k)
        {
            char c = s[i + size_t(k)];
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return UID(false);
            value = value * 16 + digit;
        }
        id.m_Bytes[byte++] = uint8_t(value);
        i += 2;
    }
    return id;
}

UID::operator bool() const
{
    for (uint8_t b : m_Bytes)
        if (b)
            return true;
    return false;
}

String UID::ToString() const
{
    static const char k_Hex[] = "0123456789abcdef";
    std::string s;
    s.reserve(36);
    for (size_t i = 0; i < sizeof m_Bytes; ++i)
    {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            s += '-';
        s += k_Hex[m_Bytes[i] >> 4];
        s += k_Hex[m_Bytes[i] & 15];
    }
    return String(std::move(s));
}

bool UID::operator==(const UID& o) const
{
    return std::memcmp(m_Bytes, o.m_Bytes, sizeof m_Bytes) == 0;
}

bool UID::operator<(const UID& o) const
{
    return std::memcmp(m_Bytes, o.m_Bytes, sizeof m_Bytes) < 0;
}

// --------------------------------------------------------------------- Time

namespace
{
const int64_t k_MicroPerSecond = 1000000;
const int64_t k_SecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's
// algorithm); independent of time_t's range and of the C library.
int64_t DaysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// The local zone's offset from UTC at the given UTC second.
int64_t LocalOffsetAt(int64_t utcSeconds)
{
    // localtime_r need not notice a changed TZ by itself.
    tzset();
    time_t t = time_t(utcSeconds);
    struct tm local;
    if (!localtime_r(&t, &local))
        return 0;
    return int64_t(timegm(&local)) - utcSeconds;
}
}  // namespace

Time::Time(int year, int month, int day, int hour, int minute, int second, int ms)
{
    const int64_t days = DaysFromCivil(year, month, day);
    const int64_t seconds = days * k_SecondsPerDay + int64_t(hour) * 3600 + int64_t(minute) * 60 + second;
    m_Micro = seconds * k_MicroPerSecond + int64_t(ms) * 1000;
}

Time Time::CurrentTime()
{
    using namespace std::chrono;
    return Time(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
}

Time Time::ConvertToLocal() const
{
    const int64_t seconds = FloorDiv(m_Micro, k_MicroPerSecond);
    return Time(m_Micro + LocalOffsetAt(seconds) * k_MicroPerSecond);
}

Time Time::ConvertToUTC() const
{
    // The stored value is a local wall-clock reading; let mktime find the
    // offset that applies to it (tm_isdst = -1 lets it decide daylight time).
    const int64_t seconds = FloorDiv(m_Micro, k_MicroPerSecond);
    const int64_t fraction = m_Micro - seconds * k_MicroPerSecond;
    time_t asUtc = time_t(seconds);
    struct tm wall;
    if (!gmtime_r(&asUtc, &wall))
        return *this;
    wall.tm_isdst = -1;
    time_t utc = mktime(&wall);
    if (utc == time_t(-1))
        return Time(m_Micro - LocalOffsetAt(seconds) * k_MicroPerSecond);
    return Time(int64_t(utc) * k_MicroPerSecond + fraction);
}

void Time::ExtractDate(int& year, int& month, int& day) const
{
    const int64_t days = FloorDiv(m_Micro, k_MicroPerSecond * k_SecondsPerDay);
    CivilFromDays(days, year, month, day);
}

void Time::ExtractTime(int& hour, int& minute, int& second, int& ms) const
{
    const int64_t perDay = k_MicroPerSecond * k_SecondsPerDay;
    int64_t inDay = m_Micro - FloorDiv(m_Micro, perDay) * perDay;
    ms = int((inDay / 1000) % 1000);
    int64_t s = inDay / k_MicroPerSecond;
    hour = int(s / 3600);
    minute = int((s / 60) % 60);
    second = int(s % 60);
}

String Time::FormatDuration(const Time& span)
{
    int64_t micro = span.Microseconds();
    const char* sign = "";
    if (micro < 0)
    {
        sign = "-";
        micro = micro == INT64_MIN ? INT64_MAX : -micro;
    }
    const long long s = (long long)(micro / k_MicroPerSecond);
    if (s < 60)
        return SFormat("%s%llds", sign, s);
    if (s < 3600)
        return SFormat("%s%lldm %02llds", sign, s / 60, s % 60);
    if (s < k_SecondsPerDay)
        return SFormat("%s%lldh %02lldm", sign, s / 3600, (s / 60) % 60);
    return SFormat("%s%lldd %02lldh", sign, s / k_SecondsPerDay, (s / 3600) % 24);
}

String Time::FormatDuration(const Time& span, int smallestUnit, int largestUnit, int maxParts,
                            bool dropZeroParts, int minDigits, char separator, const Time& cap)
{
    static const int64_t k_UnitMicro[] = {1, 1000, k_MicroPerSecond, 60 * k_MicroPerSecond,
                                          3600 * k_MicroPerSecond, k_SecondsPerDay * k_MicroPerSecond};
    static const char* const k_UnitName[] = {"us", "ms", "s", "min", "h", "d"};
    const int lastUnit = UNIT_DAY;

    smallestUnit = std::min(std::max(smallestUnit, 0), lastUnit);
    largestUnit = std::min(std::max(largestUnit, 0), lastUnit);
    if (smallestUnit > largestUnit)
        std::swap(smallestUnit, largestUnit);
    maxParts = std::max(maxParts, 1);
    // Keeps a wild width from producing an unbounded text.
    minDigits = std::min(std::max(minDigits, 0), 20);

    int64_t micro = span.Microseconds();
    if (cap.Microseconds() > 0 && micro > cap.Microseconds())
        return String(">") + separator +
               FormatDuration(cap, smallestUnit, largestUnit, maxParts, dropZeroParts, minDigits, separator, Time());

    String text;
    if (micro < 0)
    {
        text += '-';
        micro = micro == INT64_MIN ? INT64_MAX : -micro;
    }

    int leading = smallestUnit;
    for (int unit = largestUnit; unit > smallestUnit; --unit)
        if (micro >= k_UnitMicro[unit])
        {
            leading = unit;
            break;
        }
    const int lowest = std::max(smallestUnit, leading - maxParts + 1);
    for (int unit = leading; unit >= lowest; --unit)
    {
        int64_t amount = micro / k_UnitMicro[unit];
        // Below the leading unit a part holds only what the next unit up leaves.
        if (unit != leading)
            amount %= k_UnitMicro[unit + 1] / k_UnitMicro[unit];
        if (unit != leading && amount == 0 && dropZeroParts)
            continue;
        if (unit != leading)
            text += separator;
        text += SFormat("%0*lld", unit == leading ? 0 : minDigits, (long long)amount);
        text += separator;
        text += k_UnitName[unit];
    }
    return text;
}

String Time::Format() const
{
    int y, mo, d, h, mi, s, ms;
    ExtractDate(y, mo, d);
    ExtractTime(h, mi, s, ms);
    return SFormat("%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
}

// ---------------------------------------------------------------- LibStatic

namespace
{
struct LibStaticRegistry
{
    std::mutex mutex;
    std::vector<LibStatic*> entries;  // registration order, not owned
    bool atexitInstalled = false;
};

// Built by the first LibStatic, before the atexit hook is installed, so the
// hook runs before the registry is destroyed; and every LibStatic finishes
// construction after it, so each is destroyed before it.
LibStaticRegistry& Registry()
{
    static LibStaticRegistry registry;
    return registry;
}

void RunLibShutdownAtExit()
{
    LibStatic::RunLibShutdown();
}
}  // namespace

LibStatic::LibStatic(const String& name) : m_LibStaticName(name)
{
    LibStaticRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.entries.push_back(this);
    if (!registry.atexitInstalled)
    {
        registry.atexitInstalled = true;
        std::atexit(RunLibShutdownAtExit);
    }
}

LibStatic::~LibStatic()
{
    LibStaticRegistry& registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto& e = registry.entries;
    e.erase(std::remove(e.begin(), e.end(), this), e.end());
}

void LibStatic::RunLibShutdown()
{
    LibStaticRegistry& registry = Registry();
    // A hook runs outside the lock (it may create or destroy other LibStatics)
    // and is removed before it runs, so each runs at most once.
    for (;;)
    {
        LibStatic* next = nullptr;
        {
            std::lock_guard<std::mutex> lock(registry.mutex);
            if (registry.entries.empty())
                return;
            next = registry.entries.back();
            registry.entries.pop_back();
        }
        next->OnLibShutdown();
    }
}

// --------------------------------------------------------------- ThreadPool

namespace
{
class Pool
{
public:
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    std::vector<std::thread> workers;
    bool running = false;
    bool stopping = false;

    // Workers still running at process exit are stopped and joined here.
    ~Pool()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        for (std::thread& worker : workers)
            if (worker.joinable())
                worker.join();
    }

    void Work()
    {
        for (;;)
        {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [this] { return stopping || !tasks.empty(); });
                if (tasks.empty())
                    return;  // stopping and drained
                task = std::move(tasks.front());
                tasks.pop_front();
            }
            // A throwing task must not take the worker (and the process) down.
            try
            {
                task();
            }
            catch (Exception* e)
            {
                delete e;
            }
            catch (...)
            {
            }
        }
    }
};

Pool& ThePool()
{
    static Pool pool;
    return pool;
}

// Serialises Start and Stop against each other without holding the task lock
// while joining.
std::mutex& StartStopMutex()
{
    static std::mutex m;
    return m;
}
}  // namespace

bool ThreadPool::IsReady()
{
    Pool& pool = ThePool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    return pool.running;
}

void ThreadPool::Start(int threads)
{
    std::lock_guard<std::mutex> guard(StartStopMutex());
    Pool& pool = ThePool();
    {
        std::lock_guard<std::mutex> lock(pool.mutex);
        if (pool.running)
            return;
        pool.running = true;
        pool.stopping = false;
    }
    threads = std::max(1, std::min(threads, 64));
    for (int i = 0; i < threads; ++i)
        pool.workers.emplace_back([&pool] { pool.Work(); });
}

void ThreadPool::Stop()
{
    std::lock_guard<std::mutex> guard(StartStopMutex());
    Pool& pool = ThePool();
    {
        std::lock_guard<std::mutex> lock(pool.mutex);
        if (!pool.running)
            return;
        pool.running = false;
        pool.stopping = true;
    }
    pool.wake.notify_all();
    // Queued tasks are still run before the workers end. A task calling Stop
    // on its own worker would deadlock on join: detach in that case.
    for (std::thread& worker : pool.workers)
    {
        if (worker.get_id() == std::this_thread::get_id())
            worker.detach();
        else
            worker.join();
    }
    pool.workers.clear();
}

bool ThreadPool::Post(std::function<void()> task)
{
    if (!task)
        return false;
    Pool& pool = ThePool();
    {
        std::lock_guard<std::mutex> lock(pool.mutex);
        if (!pool.running)
            return false;
        pool.tasks.push_back(std::move(task));
    }
    pool.wake.notify_one();
    return true;
}
