// Identifiers, time, lifetime hooks, thread pool, log and paths.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <set>
#include <thread>

#include "xolib/core.h"
#include "xolib/file.h"
#include "xolib/log.h"

namespace
{
// Sets TZ for the lifetime of the object and restores the previous zone.
class ScopedZone
{
public:
    explicit ScopedZone(const char* zone)
    {
        const char* old = getenv("TZ");
        m_HadOld = old != nullptr;
        if (old)
            m_Old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedZone()
    {
        if (m_HadOld)
            setenv("TZ", m_Old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_HadOld = false;
    std::string m_Old;
};

struct Calendar
{
    int y, mo, d, h, mi, s, ms;
    bool operator==(const Calendar& o) const
    {
        return y == o.y && mo == o.mo && d == o.d && h == o.h && mi == o.mi && s == o.s && ms == o.ms;
    }
};

std::ostream& operator<<(std::ostream& os, const Calendar& c)
{
    return os << c.y << '-' << c.mo << '-' << c.d << ' ' << c.h << ':' << c.mi << ':' << c.s << '.' << c.ms;
}

Calendar Split(const Time& t)
{
    Calendar c{};
    t.ExtractDate(c.y, c.mo, c.d);
    t.ExtractTime(c.h, c.mi, c.s, c.ms);
    return c;
}
}  // namespace

TEST(XolibUID, TextRoundTripAndOrdering)
{
    UID empty(false);
    EXPECT_FALSE(empty);
    EXPECT_FALSE(UID::Null);
    EXPECT_EQ(empty, UID::Null);
    EXPECT_EQ(empty.ToString(), "00000000-0000-0000-0000-000000000000");

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
    UID c = UID::FromString("10000000-0000-0000-0000-000000000000");
    EXPECT_TRUE(a < b && b < c);
    EXPECT_FALSE(b < a);
    EXPECT_NE(a, b);

    for (const char* bad : {"", "xyz", "00000000-0000-0000-0000-00000000000g",
                            "00000000+0000-0000-0000-000000000001", "00000000-0000-0000-0000-0000000000011"})
        EXPECT_FALSE(UID::FromString(bad)) << bad;
}

TEST(XolibTime, CalendarAndLocalZone)
{
    Time t(2024, 2, 29, 23, 59, 58, 123);
    EXPECT_EQ(Split(t), (Calendar{2024, 2, 29, 23, 59, 58, 123}));
    EXPECT_EQ(t.Format(), "2024-02-29 23:59:58");
    EXPECT_EQ(Time(1970, 1, 1, 0, 0, 1).Microseconds(), 1000000);
    EXPECT_EQ(Split(Time(1969, 12, 31, 23, 59, 59, 999)), (Calendar{1969, 12, 31, 23, 59, 59, 999}));
    EXPECT_EQ((Time(2000, 3, 1, 0, 0, 0) - Time(2000, 2, 28, 0, 0, 0)).Microseconds(), 2LL * 86400 * 1000000);

    ScopedZone zone("America/New_York");
    // Winter: UTC-5; summer: UTC-4; the day boundary moves with the zone.
    Time winter = Time(2023, 1, 15, 3, 30, 0, 250).ConvertToLocal();
    EXPECT_EQ(Split(winter), (Calendar{2023, 1, 14, 22, 30, 0, 250}));
    Time summer = Time(2023, 7, 4, 16, 0, 0).ConvertToLocal();
    EXPECT_EQ(Split(summer), (Calendar{2023, 7, 4, 12, 0, 0, 0}));
    // Just before and after the spring-forward instant (07:00 UTC).
    EXPECT_EQ(Split(Time(2023, 3, 12, 6, 59, 59).ConvertToLocal()), (Calendar{2023, 3, 12, 1, 59, 59, 0}));
    EXPECT_EQ(Split(Time(2023, 3, 12, 7, 0, 0).ConvertToLocal()), (Calendar{2023, 3, 12, 3, 0, 0, 0}));

    for (Time utc : {Time(2023, 1, 15, 3, 30, 0, 250), Time(2023, 7, 4, 16, 0, 0), Time(1999, 12, 31, 23, 0, 0)})
        EXPECT_EQ(utc.ConvertToLocal().ConvertToUTC(), utc) << utc.Format().c_str();

    // The current moment converts like any other.
    Time now = Time::CurrentTime();
    EXPECT_GT(now, Time(2020, 1, 1, 0, 0, 0));
    int64_t shift = (now.ConvertToLocal() - now).Microseconds();
    EXPECT_TRUE(shift == -5LL * 3600 * 1000000 || shift == -4LL * 3600 * 1000000);
}

TEST(XolibTime, FormatDuration)
{
    EXPECT_EQ(Time::FormatDuration(Time()), "0s");
    EXPECT_EQ(Time::Seconds(45).FormatDuration(), "45s");
    EXPECT_EQ(Time::Seconds(185).FormatDuration(), "3m 05s");
    EXPECT_EQ(Time::Seconds(2 * 3600 + 3 * 60 + 59).FormatDuration(), "2h 03m");
    EXPECT_EQ(Time::Seconds(4 * 86400 + 2 * 3600 + 1).FormatDuration(), "4d 02h");
    EXPECT_EQ(Time(59999999).FormatDuration(), "59s");
    EXPECT_EQ(Time::Seconds(-45).FormatDuration(), "-45s");
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
    EXPECT_EQ(order, (std::vector<String>{"second", "first"}));
    LibStatic::RunLibShutdown();
    EXPECT_EQ(order.size(), 2u);

    CountingStatic late("late", order);
    LibStatic::RunLibShutdown();
    EXPECT_EQ(order, (std::vector<String>{"second", "first", "late"}));
}

TEST(XolibThreadPool, RunsPostedTasksOnWorkers)
{
    EXPECT_FALSE(ThreadPool::IsReady());
    EXPECT_FALSE(ThreadPool::Post([] {}));
    ThreadPool::Start(3);
    ASSERT_TRUE(ThreadPool::IsReady());

    std::mutex mutex;
    std::condition_variable done;
    int count = 0;
    std::set<std::thread::id> threads;
    const int k_Tasks = 200;
    for (int i = 0; i < k_Tasks; ++i)
        ASSERT_TRUE(ThreadPool::Post([&] {
            std::lock_guard<std::mutex> lock(mutex);
            threads.insert(std::this_thread::get_id());
            if (++count == k_Tasks)
                done.notify_all();
        }));
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(done.wait_for(lock, std::chrono::seconds(30), [&] { return count == k_Tasks; }));
        EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
    }
    // A throwing task does not take its worker down.
    std::atomic<bool> after{false};
    ThreadPool::Post([] { throw 1; });
    ThreadPool::Post([&] { after = true; });
    ThreadPool::Stop();  // drains the queue before the workers end
    EXPECT_TRUE(after);
    EXPECT_FALSE(ThreadPool::IsReady());
    EXPECT_FALSE(ThreadPool::Post([] {}));
}

TEST(XolibLog, LinesLevelsAndObservers)
{
    char folder[] = "/tmp/xolib-log-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    Path path = Path(folder) / Path("test.log");
    {
        Log log;
        ASSERT_TRUE(log.Open(path));
        std::vector<std::pair<LogLevel, String>> seen;
        int id = log.AddObserver([&](LogLevel level, const String& text) {
            seen.emplace_back(level, text);
            if (text == "outer")
                log.Write(LOG_INFO, "nested");  // an observer that logs must not deadlock
        });
        log.SetLevel(LOG_STATUS);
        log.Write(LOG_WARNING, "outer");
        log.Write(LOG_DEBUG, "dropped");
        log.RemoveObserver(id);
        log.Write(LOG_ERROR, "unobserved");
        ASSERT_EQ(seen.size(), 1u);  // "nested" is INFO: below the level
        EXPECT_EQ(seen[0].second, "outer");
        log.Close();
    }
    String text = File::ReadAll(path);
    xolib::vector<String> lines;
    StringTokenizer tokens(text, '\n', false, '\0', '\0');
    while (tokens.HasMore())
        lines.push_back(tokens.GetNext());
    ASSERT_EQ(lines.size(), 2u) << text.c_str();
    // "YYYY-MM-DD hh:mm:ss.mmm LEVEL text"
    EXPECT_EQ(lines[0].Length(), 23u + std::string(" WARNING outer").size());
    EXPECT_EQ(lines[0][4], '-');
    EXPECT_EQ(lines[0][10], ' ');
    EXPECT_EQ(lines[0][19], '.');
    EXPECT_TRUE(lines[0].EndsWith(" WARNING outer"));
    EXPECT_TRUE(lines[1].EndsWith(" ERROR unobserved"));
    File::Remove(path);
    File::Remove(Path(folder));
}

TEST(XolibPath, JoinSplitAndResolve)
{
    EXPECT_EQ((Path("a/") / Path("/b")).GetString(), "a/b");
    EXPECT_EQ((Path("") / Path("b")).GetString(), "b");
    EXPECT_EQ((Path("/") / Path("etc")).GetString(), "/etc");
    Path p("/x/y");
    p /= Path::Branch(true, true);
    EXPECT_EQ(p.GetString(), "/x/y/Dravik/wxDravik");
    EXPECT_EQ(Path::Branch(true, false).GetString(), "Dravik");
    EXPECT_EQ(p.FileName(), "wxDravik");
    EXPECT_EQ(p.Parent().GetString(), "/x/y/Dravik");
    EXPECT_EQ(Path("/top").Parent().GetString(), "/");
    EXPECT_TRUE(Path("bare").Parent().Empty());
    EXPECT_EQ(Path("/a/./b/../c").MakeAbsolute().GetString(), "/a/c");
    EXPECT_EQ(Path("/..").MakeAbsolute().GetString(), "/");
    Path relative = Path("sub/file").MakeAbsolute();
    EXPECT_TRUE(relative.IsAbsolute());
    EXPECT_TRUE(relative.GetString().EndsWith("/sub/file"));
}

TEST(XolibFile, UserDirAndStartup)
{
    char folder[] = "/tmp/xolib-home-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const char* oldXdg = getenv("XDG_CONFIG_HOME");
    std::string savedXdg = oldXdg ? oldXdg : "";
    const char* oldHome = getenv("HOME");
    std::string savedHome = oldHome ? oldHome : "";

    setenv("HOME", folder, 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(File::GetUserDir().GetString(), String(folder) + "/.config");
    String xdg = String(folder) + "/xdg";
    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    EXPECT_EQ(File::GetUserDir().GetString(), xdg);

    String logPath;
    ASSERT_TRUE(File::Startup("/usr/bin/farmview", logPath));
    EXPECT_EQ(logPath, xdg + "/Dravik/logs/farmview.log");
    LogStatus("startup test line");
    EXPECT_TRUE(File::ReadAll(logPath).Find("STATUS startup test line") >= 0);
    Log::s_GlobalLog.Close();

    if (oldXdg)
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    if (oldHome)
        setenv("HOME", savedHome.c_str(), 1);
    std::string cleanup = std::string("rm -rf ") + folder;
    EXPECT_EQ(system(cleanup.c_str()), 0);
}
