// Identifiers, time, lifetime hooks, thread pool, log and paths.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>
#include <set>
#include <thread>

#include "xolib/core.h"
#include "xolib/file.h"
#include "xolib/log.h"

namespace fs = std::filesystem;

namespace
{
// Sets (or, given nullptr, removes) an environment variable while it lives.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value) : m_Name(name), m_HadOld(getenv(name) != nullptr)
    {
        m_Old = m_HadOld ? getenv(name) : "";
        value ? setenv(name, value, 1) : unsetenv(name);
        tzset();
    }
    ~ScopedEnv()
    {
        m_HadOld ? setenv(m_Name.c_str(), m_Old.c_str(), 1) : unsetenv(m_Name.c_str());
        tzset();
    }

private:
    std::string m_Name;
    bool m_HadOld;
    std::string m_Old;
};

// The calendar fields of a time, for comparisons that print well.
std::string Split(const Time& t)
{
    int y, mo, d, h, mi, s, ms;
    t.ExtractDate(y, mo, d);
    t.ExtractTime(h, mi, s, ms);
    return SFormat("%d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms).Str();
}
}  // namespace

TEST(XolibUID, TextRoundTripAndOrdering)
{
    EXPECT_EQ(UID::Null.ToString(), "00000000-0000-0000-0000-000000000000");
    std::set<UID> seen;
    for (int i = 0; i < 200; ++i)
    {
        UID id;
        ASSERT_TRUE(id);
        String text = id.ToString();
        ASSERT_EQ(text.Length(), 36u);
        EXPECT_EQ(text, text.Lower());
        EXPECT_EQ(UID::FromString(text), id);
        EXPECT_EQ(UID::FromString(text.Upper()), id);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 200u);

    UID a = UID::FromString("00000000-0000-0000-0000-000000000001");
    UID b = UID::FromString("00000000-0000-0000-0000-000000000100");
    EXPECT_TRUE(a < b && !(b < a) && b < UID::FromString("10000000-0000-0000-0000-000000000000"));
    for (const char* bad : {"", "xyz", "00000000-0000-0000-0000-00000000000g",
                            "00000000+0000-0000-0000-000000000001", "00000000-0000-0000-0000-0000000000011"})
        EXPECT_FALSE(UID::FromString(bad)) << bad;
}

TEST(XolibTime, CalendarAndLocalZone)
{
    Time t(2024, 2, 29, 23, 59, 58, 123);
    EXPECT_EQ(Split(t), "2024-02-29 23:59:58.123");
    EXPECT_EQ(t.Format(), "2024-02-29 23:59:58");
    EXPECT_EQ(Time(1970, 1, 1, 0, 0, 1).Microseconds(), 1000000);
    EXPECT_EQ(Split(Time(1969, 12, 31, 23, 59, 59, 999)), "1969-12-31 23:59:59.999");
    EXPECT_EQ((Time(2000, 3, 1, 0, 0, 0) - Time(2000, 2, 28, 0, 0, 0)).Microseconds(), 2LL * 86400 * 1000000);

    ScopedEnv zone("TZ", "America/New_York");
    // Winter: UTC-5; summer: UTC-4; the day boundary moves with the zone;
    // then just before and after the spring-forward instant (07:00 UTC).
    EXPECT_EQ(Split(Time(2023, 1, 15, 3, 30, 0, 250).ConvertToLocal()), "2023-01-14 22:30:00.250");
    EXPECT_EQ(Split(Time(2023, 7, 4, 16, 0, 0).ConvertToLocal()), "2023-07-04 12:00:00.000");
    EXPECT_EQ(Split(Time(2023, 3, 12, 6, 59, 59).ConvertToLocal()), "2023-03-12 01:59:59.000");
    EXPECT_EQ(Split(Time(2023, 3, 12, 7, 0, 0).ConvertToLocal()), "2023-03-12 03:00:00.000");
    for (Time utc : {Time(2023, 1, 15, 3, 30, 0, 250), Time(2023, 7, 4, 16, 0, 0), Time(1999, 12, 31, 23, 0, 0)})
        EXPECT_EQ(utc.ConvertToLocal().ConvertToUTC(), utc) << utc.Format().c_str();

    // The current moment converts like any other.
    Time now = Time::CurrentTime();
    EXPECT_GT(now, Time(2020, 1, 1, 0, 0, 0));
    int64_t shift = (now.ConvertToLocal() - now).Microseconds();
    EXPECT_TRUE(shift == -5LL * 3600 * 1000000 || shift == -4LL * 3600 * 1000000);

    EXPECT_EQ(Time::FormatDuration(Time()), "0s");
    EXPECT_EQ(Time::Seconds(185).FormatDuration(), "3m 05s");
    EXPECT_EQ(Time::Seconds(2 * 3600 + 3 * 60 + 59).FormatDuration(), "2h 03m");
    EXPECT_EQ(Time::Seconds(4 * 86400 + 2 * 3600 + 1).FormatDuration(), "4d 02h");
    EXPECT_EQ(Time(59999999).FormatDuration(), "59s");
    EXPECT_EQ(Time::Seconds(-45).FormatDuration(), "-45s");
}

TEST(XolibTime, DurationInWordsKeepsUnitsPartsAndCap)
{
    // Seconds to hours, two parts, zero parts dropped, no padding, a one-day cap.
    const auto words = [](const Time& span) {
        return Time::FormatDuration(span, Time::UNIT_SECOND, Time::UNIT_HOUR, 2, true, 0, ' ',
                                    Time::Seconds(86400));
    };
    EXPECT_EQ(words(Time::Seconds(12)), "12 s");
    EXPECT_EQ(words(Time(999999)), "0 s");
    EXPECT_EQ(words(Time::Seconds(3600 + 5 * 60 + 59)), "1 h 5 min");  // truncated, third part cut
    EXPECT_EQ(words(Time::Seconds(2 * 3600 + 7)), "2 h");              // zero minutes dropped
    EXPECT_EQ(words(Time::Seconds(61)), "1 min 1 s");
    EXPECT_EQ(words(Time::Seconds(86400)), "24 h");                     // hours take the days
    EXPECT_EQ(words(Time::Seconds(86401)), "> 24 h");
    EXPECT_EQ(words(Time::Seconds(-90)), "-1 min 30 s");

    // Zero parts kept, padding, another separator, no cap, units given reversed.
    EXPECT_EQ(Time::FormatDuration(Time::Seconds(2 * 86400 + 3600), Time::UNIT_HOUR, Time::UNIT_SECOND, 3, false,
                                   2, '_', Time()),
              "49_h_00_min_00_s");
    EXPECT_EQ(Time::FormatDuration(Time(1500), Time::UNIT_MICROSECOND, Time::UNIT_DAY, 1, true, 0, ' ', Time()),
              "1 ms");
}

namespace
{
struct CountingStatic : LibStatic
{
    CountingStatic(const char* name, std::vector<String>& order) : LibStatic(name), m_Order(order) {}
    void OnLibShutdown() override { m_Order.push_back(GetLibStaticName()); }
    std::vector<String>& m_Order;
};
}  // namespace

TEST(XolibLibStatic, HooksRunOnceNewestFirst)
{
    std::vector<String> order;
    CountingStatic first("first", order);
    CountingStatic second("second", order);
    {
        CountingStatic gone("gone", order);  // destroyed before shutdown: never called
    }
    LibStatic::RunLibShutdown();
    LibStatic::RunLibShutdown();
    EXPECT_EQ(order, (std::vector<String>{"second", "first"}));
    CountingStatic late("late", order);
    LibStatic::RunLibShutdown();
    EXPECT_EQ(order, (std::vector<String>{"second", "first", "late"}));
}

TEST(XolibThreadPool, RunsTasksOnWorkersAndDrainsOnStop)
{
    EXPECT_FALSE(ThreadPool::Post([] {}));
    ThreadPool::Start(3);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> ran{0}, onCaller{0};
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(ThreadPool::Post([&] {
            onCaller += std::this_thread::get_id() == caller;
            ++ran;
        }));
    ThreadPool::Post([] { throw 1; });  // must not take its worker (or the program) down
    ThreadPool::Post([&] { ++ran; });
    ThreadPool::Stop();  // drains the queue before the workers end
    EXPECT_EQ(ran, 201);
    EXPECT_EQ(onCaller, 0);
    EXPECT_FALSE(ThreadPool::Post([] {}));
}

TEST(XolibLog, LinesLevelsAndObserversThenPaths)
{
    char folder[] = "/tmp/xolib-log-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    Path path = Path(folder) / Path("test.log");
    {
        Log log;
        ASSERT_TRUE(log.Open(path));
        std::vector<String> seen;
        int id = log.AddObserver([&](LogLevel, const String& text) {
            seen.push_back(text);
            if (text == "outer")
                log.Write(LOG_INFO, "nested");  // an observer that logs must not deadlock
        });
        log.SetLevel(LOG_STATUS);
        log.Write(LOG_WARNING, "outer");
        log.Write(LOG_DEBUG, "dropped");
        log.RemoveObserver(id);
        log.Write(LOG_ERROR, "unobserved");
        EXPECT_EQ(seen, std::vector<String>{"outer"});  // "nested" is INFO: below the level
    }
    const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})";
    EXPECT_TRUE(std::regex_match(File::ReadAll(path).Str(),
                                 std::regex(stamp + " WARNING outer\n" + stamp + " ERROR unobserved\n")))
        << File::ReadAll(path).c_str();
    File::Remove(path);
    File::Remove(Path(folder));

    EXPECT_EQ((Path("a/") / Path("/b")).GetString(), "a/b");
    EXPECT_EQ((Path("") / Path("b")).GetString(), "b");
    EXPECT_EQ((Path("/") / Path("etc")).GetString(), "/etc");
    Path p = Path("/x/y") / Path::Branch(true, true);
    EXPECT_EQ(p.GetString(), "/x/y/Dravik/wxDravik");
    EXPECT_EQ(p.FileName(), "wxDravik");
    EXPECT_EQ(Path("/top").Parent().GetString(), "/");
    EXPECT_TRUE(Path("bare").Parent().Empty());
    EXPECT_EQ(Path("/a/./b/../c").MakeAbsolute().GetString(), "/a/c");
    EXPECT_EQ(Path("/..").MakeAbsolute().GetString(), "/");
    EXPECT_EQ(Path("sub/file").MakeAbsolute().GetString(), (fs::current_path() / "sub/file").c_str());
}

TEST(XolibFile, UserDirAndStartup)
{
    char folder[] = "/tmp/xolib-home-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const String xdg = String(folder) + "/xdg";
    {
        ScopedEnv home("HOME", folder);
        ScopedEnv config("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(File::GetUserDir().GetString(), String(folder) + "/.config");
        setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
        EXPECT_EQ(File::GetUserDir().GetString(), xdg);

        String logPath;
        ASSERT_TRUE(File::Startup("/usr/bin/farmview", logPath));
        EXPECT_EQ(logPath, xdg + "/Dravik/logs/farmview.log");
        LogStatus("startup test line");
        EXPECT_TRUE(File::ReadAll(logPath).Find("STATUS startup test line") >= 0);
        Log::s_GlobalLog.Close();
    }
    fs::remove_all(folder);
}
