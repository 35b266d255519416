// Xolib: identifiers, time, exceptions, mutexes and library-lifetime hooks.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "xolib/string.h"

/// Core exception, thrown by pointer; the catcher deletes it.
class Exception
{
public:
    Exception(const String& text, const String& detail = String());
    virtual ~Exception();
    const String& GetText() const { return m_Text; }
    const String& GetDetail() const { return m_Detail; }

private:
    String m_Text;
    String m_Detail;
};

/// 16-byte identifier. Empty (all zero) is false.
class UID
{
public:
    UID();                     // a new random identifier
    explicit UID(bool generate);  // false: empty
    static const UID Null;

    /// Parses the text ToString gives; an unparsable text gives an empty UID.
    static UID FromString(const String& text);

    explicit operator bool() const;
    /// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", lower-case hexadecimal.
    String ToString() const;

    bool operator==(const UID& o) const;
    bool operator!=(const UID& o) const { return !(*this == o); }
    bool operator<(const UID& o) const;

    const uint8_t* Bytes() const { return m_Bytes; }

private:
    uint8_t m_Bytes[16];
};

/// A moment in UTC, in microseconds since 1970-01-01 00:00:00 UTC, or a span
/// of microseconds when used as a difference. Zero means "no time".
class Time
{
public:
    Time() = default;
    explicit Time(int64_t microseconds) : m_Micro(microseconds) {}
    /// UTC calendar time; month 1..12, ms 0..999.
    Time(int year, int month, int day, int hour, int minute, int second, int ms = 0);

    static Time CurrentTime();
    static Time Seconds(int64_t s) { return Time(s * 1000000); }

    int64_t Microseconds() const { return m_Micro; }
    double SecondsDouble() const { return double(m_Micro) / 1e6; }
    bool IsZero() const { return m_Micro == 0; }

    /// The same wall-clock reading in the local time zone, expressed as if it
    /// were UTC (so ExtractDate/ExtractTime give local values).
    Time ConvertToLocal() const;
    /// Inverse of ConvertToLocal.
    Time ConvertToUTC() const;
    void ExtractDate(int& year, int& month, int& day) const;
    void ExtractTime(int& hour, int& minute, int& second, int& ms) const;

    /// A span as text: "45s", "3m 05s", "2h 03m", "4d 02h".
    static String FormatDuration(const Time& span);
    String FormatDuration() const { return FormatDuration(*this); }

    /// Units of the worded FormatDuration, smallest first.
    enum Unit
    {
        UNIT_MICROSECOND = 0,  // "us"
        UNIT_MILLISECOND = 1,  // "ms"
        UNIT_SECOND = 2,       // "s"
        UNIT_MINUTE = 3,       // "min"
        UNIT_HOUR = 4,         // "h"
        UNIT_DAY = 5,          // "d"
    };
    /// A span in words, such as "1 h 5 min" or "12 s".
    /// - smallestUnit, largestUnit: the units that may appear (Unit values,
    ///   clamped to 0..5; swapped when given the wrong way round). The largest
    ///   unit takes everything above it: "30 h" when hours are the largest.
    /// - maxParts: at most this many consecutive units, counted down from the
    ///   largest one that is not zero (at least 1). Every part is truncated,
    ///   never rounded: 1 h 5 min 59 s with two parts is "1 h 5 min".
    /// - dropZeroParts: true leaves out zero parts after the first ("2 h",
    ///   not "2 h 0 min"); the first part always shows, so a span below the
    ///   smallest unit reads "0 s".
    /// - minDigits: parts after the first are zero-padded to this many digits
    ///   (0 or 1: no padding), "1 h 05 min" with 2.
    /// - separator: between each number and its unit and between the parts.
    /// - cap: when positive, a span longer than it reads as ">", the
    ///   separator and the cap itself ("> 24 h"); zero or negative: no cap.
    /// A negative span is formatted as its magnitude with a leading "-".
    static String FormatDuration(const Time& span, int smallestUnit, int largestUnit, int maxParts,
                                 bool dropZeroParts, int minDigits, char separator, const Time& cap);
    /// "YYYY-MM-DD hh:mm:ss" of the stored value (no zone conversion).
    String Format() const;

    Time operator-(const Time& o) const { return Time(m_Micro - o.m_Micro); }
    Time operator+(const Time& o) const { return Time(m_Micro + o.m_Micro); }
    bool operator==(const Time& o) const { return m_Micro == o.m_Micro; }
    bool operator!=(const Time& o) const { return m_Micro != o.m_Micro; }
    bool operator<(const Time& o) const { return m_Micro < o.m_Micro; }
    bool operator>(const Time& o) const { return m_Micro > o.m_Micro; }
    bool operator<=(const Time& o) const { return m_Micro <= o.m_Micro; }
    bool operator>=(const Time& o) const { return m_Micro >= o.m_Micro; }

private:
    int64_t m_Micro = 0;
};

/// A named mutex base: derive from it to give an object its own lock.
template <class Mutex>
class CommonMutex
{
public:
    void Enter() const { m_Mutex.lock(); }
    void Leave() const { m_Mutex.unlock(); }
    Mutex& GetMutex() const { return m_Mutex; }

    /// Scoped Enter/Leave.
    class Lock
    {
    public:
        explicit Lock(const CommonMutex& m) : m_Owner(m) { m_Owner.Enter(); }
        ~Lock() { m_Owner.Leave(); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        const CommonMutex& m_Owner;
    };

private:
    mutable Mutex m_Mutex;
};

/// Base of objects that must be shut down when the library ends. The hook
/// runs once, from RunLibShutdown (called by Application's destructor and at
/// process exit), newest registration first. Destroying the object before
/// then unregisters it.
class LibStatic
{
public:
    explicit LibStatic(const String& name);
    virtual ~LibStatic();
    LibStatic(const LibStatic&) = delete;
    LibStatic& operator=(const LibStatic&) = delete;

    const String& GetLibStaticName() const { return m_LibStaticName; }
    virtual void OnLibShutdown() = 0;

    /// Runs every registered hook once (newest first); later calls run only
    /// hooks registered since. Safe to call more than once.
    static void RunLibShutdown();

private:
    String m_LibStaticName;
};

/// The core thread pool: a fixed set of worker threads.
class ThreadPool
{
public:
    /// True once Start has run and until Stop.
    static bool IsReady();
    static void Start(int threads = 2);
    static void Stop();
    /// Runs a task on a worker; false when the pool is not running.
    static bool Post(std::function<void()> task);
};
