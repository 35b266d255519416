// What the benchmarks of windows share: clocks and resident memory, the X
// server's CPU, medians, and bounded runs of the event loop.
#pragma once

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/gdicmn.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/utils.h>

#include <memory>

#include <wx/bitmap.h>
#include <wx/image.h>

#include "../examples/screen_read.h"
#include "bench_util.h"
#include "wxdravik/wxdoublebufferedwindow.h"

// The one Xlib call needed, declared here: Xlib's header cannot be included
// beside the core library, whose class Time clashes with Xlib's typedef.
extern "C" int XSync(struct _XDisplay* display, int discard);

namespace dravik_bench
{
typedef std::chrono::steady_clock Clock;

inline double Ms(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

inline double CpuMs()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

/// Resident memory of the process in KiB.
inline double ResidentKiB()
{
    long pages = 0, resident = 0;
    if (FILE* file = std::fopen("/proc/self/statm", "r"))
    {
        if (std::fscanf(file, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(file);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1024.0;
}

/// The first line of a small /proc file, empty when it cannot be read.
inline std::string ReadLine(const std::string& path)
{
    char buffer[4096] = "";
    if (FILE* file = std::fopen(path.c_str(), "r"))
    {
        if (!std::fgets(buffer, sizeof(buffer), file))
            buffer[0] = '\0';
        std::fclose(file);
    }
    return buffer;
}

/// The X server that xvfb-run started next to this program (a child of the
/// same parent), or -1. The toolkit controls draw into server-side surfaces,
/// so part of their cost is CPU of that process, not of this one.
inline int FindServerPid()
{
    const std::string parent = std::to_string(getppid());
    const std::string children = ReadLine("/proc/" + parent + "/task/" + parent + "/children");
    int pid = 0, used = 0;
    for (const char* text = children.c_str(); std::sscanf(text, "%d%n", &pid, &used) == 1; text += used)
        if (ReadLine("/proc/" + std::to_string(pid) + "/comm").rfind("Xvfb", 0) == 0)
            return pid;
    return -1;
}

/// CPU milliseconds the process has used so far, -1 when unknown.
inline double ProcessCpuMs(int pid)
{
    if (pid <= 0)
        return -1;
    const std::string stat = ReadLine("/proc/" + std::to_string(pid) + "/stat");
    const size_t name = stat.rfind(')');  // the command name may hold blanks
    unsigned long user = 0, system = 0;
    if (name == std::string::npos ||
        std::sscanf(stat.c_str() + name + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user,
                    &system) != 2)
        return -1;
    return double(user + system) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

/// Waits until the X server has carried out every request sent so far: the
/// server draws part of what the toolkit controls ask for, and a repaint is
/// not over before the pixels are.
inline void SyncWithServer()
{
    const wxDisplayInfo info = wxGetDisplayInfo();
    if (info.type == wxDisplayX11 && info.dpy)
        XSync(static_cast<_XDisplay*>(info.dpy), 0);
}

/// Runs the event loop until the condition holds or the time is up; returns
/// the condition's last value. sliceMs bounds each wait for events.
inline bool RunUntil(const std::function<bool()>& condition, int timeoutMs, int sliceMs = 5)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    while (!condition())
    {
        if (Clock::now() >= deadline)
            return condition();
        wxTheApp->ProcessPendingEvents();
        if (loop->Pending())
            loop->Dispatch();
        else
            loop->DispatchTimeout(sliceMs);  // returns at once when something arrives
    }
    return true;
}

inline void RunFor(int ms, int sliceMs = 5)
{
    RunUntil([] { return false; }, ms, sliceMs);
}

/// Runs the event loop until counter() has not changed for quietMs, for at
/// most maxMs.
template <class Counter>
inline void RunUntilQuiet(const Counter& counter, int quietMs, int maxMs)
{
    auto last = counter();
    auto lastChange = Clock::now();
    RunUntil(
        [&] {
            const auto now = counter();
            if (now != last)
            {
                last = now;
                lastChange = Clock::now();
            }
            return Clock::now() - lastChange >= std::chrono::milliseconds(quietMs);
        },
        maxMs);
}
/// The share of the window's client pixels on the screen that equal its
/// bitmap's, on a grid of points: a repaint that never reached the screen
/// would otherwise be timed as a fast one. 0 when either cannot be read.
inline double ShareOnScreen(wxDoubleBufferedWindow* window)
{
    struct Access : wxDoubleBufferedWindow
    {
        static const wxBitmap* Of(wxDoubleBufferedWindow* view) { return (view->*(&Access::m_Bitmap)).get(); }
    };
    const wxBitmap* bitmap = Access::Of(window);
    // Only the part of the window that lies on the screen can be compared.
    const wxRect client(window->ClientToScreen(wxPoint(0, 0)), window->GetClientSize());
    const wxRect visible = client.Intersect(wxRect(wxGetDisplaySize()));
    const wxBitmap screen = visible.IsEmpty() ? wxNullBitmap : ReadScreen(visible);
    if (!bitmap || !bitmap->IsOk() || !screen.IsOk())
        return 0;
    const wxImage drawn = bitmap->ConvertToImage(), shown = screen.ConvertToImage();
    const wxPoint offset = visible.GetTopLeft() - client.GetTopLeft();
    const int width = std::min(shown.GetWidth(), drawn.GetWidth() - offset.x);
    const int height = std::min(shown.GetHeight(), drawn.GetHeight() - offset.y);
    int points = 0, equal = 0;
    for (int y = 0; y < height; y += 7)
        for (int x = 0; x < width; x += 5, ++points)
        {
            const int bx = x + offset.x, by = y + offset.y;
            equal += drawn.GetRed(bx, by) == shown.GetRed(x, y) && drawn.GetGreen(bx, by) == shown.GetGreen(x, y) &&
                     drawn.GetBlue(bx, by) == shown.GetBlue(x, y);
        }
    return points > 0 ? double(equal) / points : 0;
}

/// The program's body run with the toolkit started and an event loop
/// active; returns the exit code (2 when the toolkit cannot start).
inline int RunWithToolkit(int argc, char** argv, const std::function<void()>& run)
{
    UseSteadyHeap();
    setenv("NO_AT_BRIDGE", "1", 1);
    wxApp::SetInstance(new wxApp);  // owned by the toolkit from here on
    if (!wxEntryStart(argc, argv))
    {
        std::fprintf(stderr, "cannot initialise the toolkit (no display?)\n");
        return 2;
    }
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator activate(&loop);
        run();
    }
    wxEntryCleanup();
    return 0;
}
}  // namespace dravik_bench
