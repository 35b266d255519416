// The text line viewer against the toolkit's styled text control and its
// multi-line text control, in one process on one data set: 1,000,000
// generated log lines of 80 to 120 characters and a 1000 x 800 view in a
// shown frame. Each control in turn is created, filled one line per call with
// its view following the end and the event loop run after every 1,000 lines,
// measured and destroyed. Measured: the append rate, the viewer's repaints
// while appending, the resident memory added per byte of text held, the CPU
// spent following a log that grows by 1,000 lines a second (above the idle
// event loop), and one full repaint of the viewer's page against drawing the
// same lines with DrawText into a bitmap. Prints "BENCH <name> <value>
// <unit>" lines; notes on what was measured go to standard error.
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/sizer.h>
#include <wx/stc/stc.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include "bench_util.h"
#include "gui_bench_util.h"
#include "wxdravik/wxtextlinectrl.h"

namespace
{
using namespace dravik_bench;

const int k_Lines = 1000000;
// The multi-line text control appends about 10,000 lines a second: a tenth
// of the lines keeps its run near ten seconds. Its rate and its memory per
// byte are measured on these; both are per-line figures.
const int k_TextCtrlLines = 100000;
const int k_Burst = 1000;          // lines appended between two runs of the event loop
const int k_MaxDispatches = 200;   // events dispatched at most by one run of the event loop
const int k_ViewWidth = 1000;
const int k_ViewHeight = 800;
const int k_RefreshMs = 75;        // the viewer's refresh delay
const int k_RefreshTimerId = 1;    // the viewer's refresh timer
const int k_FollowRate = 1000;     // lines a second while following
const int k_FollowSeconds = 5;
const int k_FollowTickMs = 10;     // the lines come in batches this far apart
const int k_PageRepeats = 31;      // page repaints each median is taken over


// --- The event loop ---------------------------------------------------------

/// What a host does between two bursts of lines: the events that are ready,
/// timers and repaints included, but never more than k_MaxDispatches, so
/// that a control with endless background work cannot stall the appending.
void RunReadyEvents()
{
    wxTheApp->ProcessPendingEvents();
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    for (int i = 0; i < k_MaxDispatches && loop->Pending(); ++i)
        loop->Dispatch();
}


// --- The lines --------------------------------------------------------------

/// Log lines in one block, each followed by a line feed, so that every peer
/// gets them in the form its call takes, made straight from the bytes: the
/// viewer a String, the styled control the bytes with the line feed, the
/// text control a wxString with it.
class LogLines
{
public:
    explicit LogLines(int count)
    {
        static const char* const levels[] = {"INFO ", "INFO ", "INFO ", "DEBUG", "WARN ", "ERROR"};
        static const char* const words[] = {"render", "frame",   "tile",   "sample", "texture", "cache",  "miss",
                                            "hit",    "loaded",  "shader", "bucket", "pass",    "denoise",
                                            "memory", "threads", "scene",  "light",  "camera",  "done"};
        std::mt19937 random(20261206);
        std::uniform_int_distribution<int> length(80, 120), word(0, int(std::size(words)) - 1);
        m_Starts.reserve(size_t(count) + 1);
        m_Text.reserve(size_t(count) * 101);
        char head[96];
        std::string line;
        for (int i = 0; i < count; ++i)
        {
            const int target = length(random);
            std::snprintf(head, sizeof(head), "2026-12-06 %02d:%02d:%02d.%03d %s [engine-%02d] job %05d frame %04d:",
                          (i / 3600000) % 24, (i / 60000) % 60, (i / 1000) % 60, i % 1000, levels[i % 6], i % 37,
                          i / 250, i % 250);
            line = head;
            while (int(line.size()) < target)
            {
                line += ' ';
                line += words[word(random)];
            }
            line.resize(size_t(target));
            m_Starts.push_back(uint32_t(m_Text.size()));
            m_Text += line;
            m_Text += '\n';
        }
        m_Starts.push_back(uint32_t(m_Text.size()));
    }

    int Count() const { return int(m_Starts.size()) - 1; }
    /// Line index modulo the count; the line feed follows its Length() bytes.
    const char* Data(int index) const { return m_Text.data() + m_Starts[size_t(index % Count())]; }
    size_t Length(int index) const
    {
        const size_t i = size_t(index % Count());
        return m_Starts[i + 1] - m_Starts[i] - 1;
    }
    /// Bytes of the first count lines without their line feeds: the text held.
    double Bytes(int count) const
    {
        double bytes = 0;
        for (int i = 0; i < count; ++i)
            bytes += double(Length(i));
        return bytes;
    }

private:
    std::string m_Text;
    std::vector<uint32_t> m_Starts;
};

// --- The peers --------------------------------------------------------------

/// One full repaint of the viewer: the whole of it, the DrawBitmap call
/// within it and the wait for the server that ends it.
struct PageSample
{
    double m_Ms = 0;
    double m_DrawMs = 0;
    double m_ServerMs = 0;
};

/// A control in its own top-level window, the view k_ViewWidth x
/// k_ViewHeight, at the top-left of the screen. Destroyed with the peer, so
/// that each peer is measured alone.
class Peer
{
public:
    Peer(const char* title, const LogLines& lines)
        : m_Lines(lines), m_Frame(new wxFrame(nullptr, wxID_ANY, title, wxPoint(0, 0), wxDefaultSize))
    {
        m_Frame->SetSizer(new wxBoxSizer(wxVERTICAL));
    }
    virtual ~Peer()
    {
        m_Frame->Destroy();
        RunFor(200);
    }

    const char* Name() const { return m_Name; }
    /// Appends line index (of the generated lines, modulo their count) and
    /// keeps the end in view.
    virtual void Append(int index) = 0;
    /// Called after each burst of lines, before the event loop runs.
    virtual void EndBurst() {}
    /// Repaints of the text so far, -1 when they cannot be counted.
    virtual long Repaints() const { return -1; }
    /// Whether the last line is in view.
    virtual bool AtEnd() const = 0;
    /// Lets the work the appending left pending end (repaints, layout).
    virtual void Settle() { RunUntilQuiet(ResidentKiB, 500, 20000); }

protected:
    void Show(wxWindow* view)
    {
        m_Frame->GetSizer()->Add(view, 1, wxEXPAND);
        m_Frame->SetClientSize(k_ViewWidth, k_ViewHeight);
        m_Frame->Show();
        m_Frame->Layout();
        const wxSize size(k_ViewWidth, k_ViewHeight);
        RunUntil([view, size] { return view->IsShownOnScreen() && view->GetSize() == size; }, 3000);
        if (view->GetSize() != size)
            std::fprintf(stderr, "# %s: view is %d x %d, not %d x %d\n", m_Name, view->GetSize().x,
                         view->GetSize().y, size.x, size.y);
        RunFor(300);
    }

    const LogLines& m_Lines;
    const char* m_Name = "";
    wxFrame* m_Frame;  // destroyed with the peer
};

/// The viewer, counting and timing its bitmap repaints and its refresh
/// timers, with the state the page measurement needs opened up.
class BenchTextLine : public wxTextLineCtrl
{
public:
    explicit BenchTextLine(wxWindow* parent) : wxTextLineCtrl(parent)
    {
        Bind(
            wxEVT_TIMER,
            [this](wxTimerEvent& event) {
                ++m_TimersFired;
                event.Skip();  // the window's own handler invalidates
            },
            k_RefreshTimerId);
    }

    void DrawBitmap() override
    {
        ++m_BitmapDraws;
        const auto start = Clock::now();
        wxTextLineCtrl::DrawBitmap();
        m_LastDrawMs = Ms(Clock::now() - start);
    }

    bool RefreshPending() const { return m_Timer.IsRunning(); }
    int VisibleLines() const { return m_VisibleLines; }

    long m_BitmapDraws = 0;
    long m_TimersFired = 0;
    double m_LastDrawMs = 0;
};

class TextLinePeer : public Peer
{
public:
    explicit TextLinePeer(const LogLines& lines) : Peer("wxTextLineCtrl", lines), m_View(new BenchTextLine(m_Frame))
    {
        m_Name = "textline";
        // The search bar starts hidden; it is laid out as a host would.
        m_Frame->GetSizer()->Add(m_View->GetSearchPanel(), 0, wxEXPAND);
        Show(m_View);
    }

    void Append(int index) override { m_View->Append(String(m_Lines.Data(index), m_Lines.Length(index))); }
    long Repaints() const override { return m_View->m_BitmapDraws; }
    /// The share of the viewer's pixels on the screen that are the drawn ones.
    double OnScreen() const { return ShareOnScreen(m_View); }
    bool AtEnd() const override
    {
        const int64_t range = int64_t(m_View->GetLineHeight()) * int64_t(m_View->GetLineCount());
        return m_View->GetScrollRange(wxVERTICAL) == std::min<int64_t>(range, INT32_MAX) &&
               m_View->GetScrollPos(wxVERTICAL) ==
                   m_View->GetScrollRange(wxVERTICAL) - m_View->GetScrollThumb(wxVERTICAL);
    }
    void Settle() override
    {
        RunUntil([this] { return !m_View->RefreshPending(); }, 2000);
        Peer::Settle();
    }

    BenchTextLine* View() const { return m_View; }

    /// One full repaint: Redraw(), the refresh timer fired (untimed: that
    /// wait is the coalescing delay), then the paint forced and the server
    /// waited for.
    PageSample Page()
    {
        RunUntil([this] { return !m_View->RefreshPending(); }, 2000);
        const long timers = m_View->m_TimersFired;
        m_View->Redraw();
        RunUntil([this, timers] { return m_View->m_TimersFired > timers; }, 2000, 1);
        const long draws = m_View->m_BitmapDraws;
        PageSample sample;
        const auto start = Clock::now();
        m_View->Update();
        const auto painted = Clock::now();
        SyncWithServer();
        sample.m_Ms = Ms(Clock::now() - start);
        sample.m_ServerMs = Ms(Clock::now() - painted);
        sample.m_DrawMs = m_View->m_LastDrawMs;
        if (m_View->m_BitmapDraws - draws != 1)
            std::fprintf(stderr, "# textline: a timed repaint drew the bitmap %ld times\n",
                         m_View->m_BitmapDraws - draws);
        return sample;
    }

    /// A repaint that only copies the stored bitmap (an exposure): what the
    /// toolkit's paint path costs this window without any drawing.
    double ExposeMs()
    {
        RunUntil([this] { return !m_View->RefreshPending(); }, 2000);
        const long draws = m_View->m_BitmapDraws;
        const auto start = Clock::now();
        m_View->Refresh(false);
        m_View->Update();
        SyncWithServer();
        const double ms = Ms(Clock::now() - start);
        if (m_View->m_BitmapDraws != draws)
            std::fprintf(stderr, "# textline: an exposure drew the bitmap\n");
        return ms;
    }

    /// The least a window drawn from a bitmap pays on top of the drawing:
    /// the bitmap copied to the viewer's window through a client device
    /// context, the server waited for.
    double CopyMs(const wxBitmap& bitmap)
    {
        const auto start = Clock::now();
        {
            wxClientDC dc(m_View);
            dc.DrawBitmap(bitmap, 0, 0, false);
        }
        SyncWithServer();
        return Ms(Clock::now() - start);
    }

private:
    BenchTextLine* m_View;  // a child of the frame
};

/// The styled text control set up as a log: no undo history, no lexer. Lines
/// go in as raw bytes (AppendText without the round trip through wxString)
/// and ScrollToEnd follows the end without moving the caret: after every
/// line, or, as a host that knows its lines come in bursts may do, after
/// every burst.
class StyledPeer : public Peer
{
public:
    StyledPeer(const LogLines& lines, bool followEachLine)
        : Peer("wxStyledTextCtrl", lines), m_View(new wxStyledTextCtrl(m_Frame, wxID_ANY)),
          m_FollowEachLine(followEachLine)
    {
        m_Name = followEachLine ? "stc" : "stc_follow_per_burst";
        m_View->SetUndoCollection(false);
        m_View->EmptyUndoBuffer();
        m_View->SetMarginWidth(1, 0);  // no symbol margin: text only, as in the viewer
        Show(m_View);
        m_View->Bind(wxEVT_PAINT, [this](wxPaintEvent& event) {
            ++m_Paints;
            event.Skip();  // the control's own handler draws
        });
    }

    void Append(int index) override
    {
        m_View->AppendTextRaw(m_Lines.Data(index), int(m_Lines.Length(index) + 1));
        if (m_FollowEachLine)
            m_View->ScrollToEnd();
    }
    void EndBurst() override
    {
        if (!m_FollowEachLine)
            m_View->ScrollToEnd();
    }
    long Repaints() const override { return m_Paints; }
    bool AtEnd() const override
    {
        // The document ends with a line feed: its last line is empty.
        return m_View->GetFirstVisibleLine() + m_View->LinesOnScreen() >= m_View->GetLineCount() - 1;
    }

private:
    wxStyledTextCtrl* m_View;  // a child of the frame
    bool m_FollowEachLine;
    long m_Paints = 0;
};

/// The multi-line text control, read-only and not wrapping, as a log. Its
/// AppendText keeps the end in view when the view was at the end.
class TextCtrlPeer : public Peer
{
public:
    explicit TextCtrlPeer(const LogLines& lines)
        : Peer("wxTextCtrl", lines),
          m_View(new wxTextCtrl(m_Frame, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                wxTE_MULTILINE | wxTE_READONLY | wxTE_DONTWRAP))
    {
        m_Name = "textctrl";
        Show(m_View);
    }

    void Append(int index) override
    {
        m_View->AppendText(wxString::FromUTF8(m_Lines.Data(index), m_Lines.Length(index) + 1));
    }
    bool AtEnd() const override
    {
        const int range = m_View->GetScrollRange(wxVERTICAL), thumb = m_View->GetScrollThumb(wxVERTICAL);
        return range > 0 && m_View->GetScrollPos(wxVERTICAL) >= range - thumb - 1;
    }

private:
    wxTextCtrl* m_View;  // a child of the frame
};

// --- Measurements -----------------------------------------------------------

struct FillResult
{
    int m_Lines = 0;
    double m_Seconds = 0;
    long m_Repaints = 0;
    double m_AddedKiB = 0;
    double m_Bytes = 0;

    double LinesPerSecond() const { return m_Lines / m_Seconds; }
    double MemoryPerByte() const { return m_AddedKiB * 1024.0 / m_Bytes; }
};

/// Appends the first count lines one call at a time, the event loop run
/// after every k_Burst; then lets the control settle and takes the resident
/// memory it added. The heap is trimmed first, so that the control's growth
/// shows as new resident pages rather than as pages an earlier peer freed.
FillResult Fill(Peer& peer, const LogLines& lines, int count)
{
    peer.Settle();
    malloc_trim(0);
    FillResult result;
    result.m_Lines = count;
    result.m_Bytes = lines.Bytes(count);
    const double before = ResidentKiB();
    const long repaints = peer.Repaints();

    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
    {
        peer.Append(i);
        if ((i + 1) % k_Burst == 0)
        {
            peer.EndBurst();
            RunReadyEvents();
        }
    }
    peer.EndBurst();
    RunReadyEvents();
    result.m_Seconds = Ms(Clock::now() - start) / 1000;
    result.m_Repaints = peer.Repaints() - repaints;

    peer.Settle();
    result.m_AddedKiB = ResidentKiB() - before;
    std::fprintf(stderr, "# %s: %d lines in %.2f s, %.0f MiB added for %.0f MiB of text, last line %s\n",
                 peer.Name(), count, result.m_Seconds, result.m_AddedKiB / 1024, result.m_Bytes / 1048576,
                 peer.AtEnd() ? "in view" : "NOT in view");
    return result;
}

struct FollowResult
{
    double m_CpuMsPerSecond = 0;       // above idle
    double m_IdleCpuMsPerSecond = 0;
    double m_RepaintsPerSecond = 0;
    bool m_ServerKnown = false;
    double m_ServerCpuMsPerSecond = 0;  // the X server's, above its idle
};

/// k_FollowRate lines a second for k_FollowSeconds, in batches of a timer,
/// appended after the lines already held (first is the next line index);
/// against an equally long run of the idle event loop.
FollowResult Follow(Peer& peer, int first)
{
    const int durationMs = k_FollowSeconds * 1000;
    FollowResult result;
    peer.Settle();

    const int server = FindServerPid();
    auto start = Clock::now();
    double cpu = CpuMs(), serverCpu = ProcessCpuMs(server);
    RunFor(durationMs, 20);
    double seconds = Ms(Clock::now() - start) / 1000;
    result.m_IdleCpuMsPerSecond = (CpuMs() - cpu) / seconds;
    const double serverIdle = (ProcessCpuMs(server) - serverCpu) / seconds;

    const int total = k_FollowRate * k_FollowSeconds;
    int done = 0;
    wxTimer ticker;
    ticker.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        const int due = std::min(total, int(Ms(Clock::now() - start) * k_FollowRate / 1000));
        for (; done < due; ++done)
            peer.Append(first + done);
        peer.EndBurst();
    });
    const long repaints = peer.Repaints();
    start = Clock::now();
    cpu = CpuMs();
    serverCpu = ProcessCpuMs(server);
    ticker.Start(k_FollowTickMs);
    RunUntil([&] { return done == total; }, durationMs + 1000, 20);
    ticker.Stop();
    seconds = Ms(Clock::now() - start) / 1000;
    result.m_CpuMsPerSecond = (CpuMs() - cpu) / seconds - result.m_IdleCpuMsPerSecond;
    result.m_RepaintsPerSecond = (peer.Repaints() - repaints) / seconds;
    result.m_ServerKnown = server > 0 && serverCpu >= 0;
    if (result.m_ServerKnown)
        result.m_ServerCpuMsPerSecond = (ProcessCpuMs(server) - serverCpu) / seconds - serverIdle;
    if (done != total)
        std::fprintf(stderr, "# %s follow: %d of %d lines sent\n", peer.Name(), done, total);
    peer.Settle();
    std::fprintf(stderr, "# %s follow: last line %s\n", peer.Name(), peer.AtEnd() ? "in view" : "NOT in view");
    return result;
}

/// The floor: the lines the viewer shows, each made a wxString and drawn
/// with DrawText into a bitmap of the viewer's client size, in its font,
/// through a memory device context.
class Floor
{
public:
    Floor(const LogLines& lines, const wxSize& size, const wxFont& font, int lineHeight, int charWidth)
        : m_Lines(lines), m_Bitmap(size.x, size.y, -1), m_Font(font), m_LineHeight(lineHeight),
          m_CharWidth(charWidth)
    {
    }

    /// Milliseconds of one page of count lines from first, the top one
    /// yOffset pixels above the top edge.
    double PageMs(int first, int count, int yOffset)
    {
        const auto start = Clock::now();
        {
            wxMemoryDC dc(m_Bitmap);
            dc.SetFont(m_Font);
            dc.SetBackground(*wxWHITE_BRUSH);
            dc.Clear();
            dc.SetTextForeground(*wxBLACK);
            for (int row = 0; row < count; ++row)
                dc.DrawText(wxString::FromUTF8(m_Lines.Data(first + row), m_Lines.Length(first + row)),
                            m_CharWidth / 2, row * m_LineHeight - yOffset);
        }
        return Ms(Clock::now() - start);
    }

    const wxBitmap& Bitmap() const { return m_Bitmap; }

private:
    const LogLines& m_Lines;
    wxBitmap m_Bitmap;
    wxFont m_Font;
    int m_LineHeight;
    int m_CharWidth;
};

void ReportFill(const char* peer, const FillResult& fill)
{
    Report(std::string("log_append_lines_per_s_") + peer, fill.LinesPerSecond(), "lines/s");
    Report(std::string("log_memory_per_byte_") + peer, fill.MemoryPerByte(), "x");
}

void ReportFollow(const char* peer, const FollowResult& follow)
{
    Report(std::string("log_follow_cpu_") + peer + "_ms_per_s", follow.m_CpuMsPerSecond, "ms");
    Report(std::string("log_follow_idle_cpu_") + peer + "_ms_per_s", follow.m_IdleCpuMsPerSecond, "ms");
    Report(std::string("log_follow_repaints_per_s_") + peer, follow.m_RepaintsPerSecond, "repaints");
    if (follow.m_ServerKnown)
        Report(std::string("log_follow_server_cpu_") + peer + "_ms_per_s", follow.m_ServerCpuMsPerSecond, "ms");
}

void Run()
{
    const auto generated = Clock::now();
    const LogLines lines(k_Lines);
    std::fprintf(stderr, "# %d lines, %.0f MiB of text, generated in %.1f s\n", lines.Count(),
                 lines.Bytes(lines.Count()) / 1048576, Ms(Clock::now() - generated) / 1000);

    // Each peer alone: created, filled, measured and destroyed before the
    // next one starts.
    FillResult textlineFill, stcFill, stcBurstFill, textctrlFill;
    FollowResult textlineFollow, stcFollow;
    std::vector<double> pageMs, drawMs, serverMs, exposeMs, copyMs, floorMs, overFloor, drawOverFloor;
    double onScreen = 1;  // the least share of drawn pixels on the screen after a page
    {
        TextLinePeer textline(lines);
        BenchTextLine* view = textline.View();
        const wxSize client = view->GetClientSize();
        std::fprintf(stderr, "# textline: client %d x %d, font %s, character %d x %d pixels\n", client.x, client.y,
                     view->GetFont().GetNativeFontInfoUserDesc().utf8_str().data(), view->GetCharWidth(),
                     view->GetLineHeight());
        Floor floor(lines, client, view->GetFont(), view->GetLineHeight(), view->GetCharWidth());
        // Text drawing warmed up (font loaded, glyph cache filled) before
        // anything is timed.
        floor.PageMs(0, view->VisibleLines(), 0);

        textlineFill = Fill(textline, lines, k_Lines);
        textlineFollow = Follow(textline, k_Lines);

        // Both draw what the viewer shows: the same lines at the same
        // offsets. They take turns, and the ratio is the median of the
        // rounds' ratios.
        const int position = view->GetScrollPos(wxVERTICAL);
        const int firstLine = position / view->GetLineHeight(), yOffset = position % view->GetLineHeight();
        const int shown = int(std::min<size_t>(size_t(view->VisibleLines()), view->GetLineCount() - size_t(firstLine)));
        std::fprintf(stderr, "# page: lines %d to %d of %zu\n", firstLine, firstLine + shown - 1, view->GetLineCount());
        for (int i = 0; i < Repeats(k_PageRepeats); ++i)
        {
            floorMs.push_back(floor.PageMs(firstLine, shown, yOffset));
            const PageSample page = textline.Page();
            onScreen = std::min(onScreen, textline.OnScreen());
            pageMs.push_back(page.m_Ms);
            drawMs.push_back(page.m_DrawMs);
            serverMs.push_back(page.m_ServerMs);
            overFloor.push_back(page.m_Ms / floorMs.back());
            drawOverFloor.push_back(page.m_DrawMs / floorMs.back());
            exposeMs.push_back(textline.ExposeMs());
            copyMs.push_back(textline.CopyMs(floor.Bitmap()));
        }
    }
    {
        StyledPeer stc(lines, true);
        stcFill = Fill(stc, lines, k_Lines);
        stcFollow = Follow(stc, k_Lines);
    }
    {
        StyledPeer stc(lines, false);
        stcBurstFill = Fill(stc, lines, k_Lines);
    }
    {
        TextCtrlPeer textctrl(lines);
        textctrlFill = Fill(textctrl, lines, k_TextCtrlLines);
    }

    ReportFill("textline", textlineFill);
    ReportFill("stc", stcFill);
    ReportFill("textctrl", textctrlFill);
    Report("log_append_lines_per_s_stc_follow_per_burst", stcBurstFill.LinesPerSecond(), "lines/s");
    Report("log_append_lines_textctrl", textctrlFill.m_Lines, "lines");
    Report("log_append_seconds_textline", textlineFill.m_Seconds, "s");
    Report("log_append_repaints_textline", double(textlineFill.m_Repaints), "repaints");
    // One repaint per refresh period, and one for the last lines.
    Report("log_append_repaints_allowed_textline", std::floor(textlineFill.m_Seconds * 1000 / k_RefreshMs) + 1,
           "repaints");
    Report("log_append_over_faster_peer_textline",
           textlineFill.LinesPerSecond() /
               std::max({stcFill.LinesPerSecond(), stcBurstFill.LinesPerSecond(), textctrlFill.LinesPerSecond()}),
           "x");

    ReportFollow("textline", textlineFollow);
    ReportFollow("stc", stcFollow);
    Report("log_follow_cpu_textline_over_stc",
           textlineFollow.m_CpuMsPerSecond / std::max(0.001, stcFollow.m_CpuMsPerSecond), "x");

    Report("log_page_textline_ms", Median(pageMs), "ms");
    Report("log_page_textline_on_screen", onScreen, "share");
    Report("log_page_textline_drawbitmap_ms", Median(drawMs), "ms");
    Report("log_page_textline_server_ms", Median(serverMs), "ms");
    Report("log_page_floor_ms", Median(floorMs), "ms");
    Report("log_page_expose_ms", Median(exposeMs), "ms");
    Report("log_page_copy_ms", Median(copyMs), "ms");
    Report("log_page_textline_over_floor", Median(overFloor), "x");
    Report("log_page_textline_drawbitmap_over_floor", Median(drawOverFloor), "x");
}
}  // namespace

int main(int argc, char** argv)
{
    return RunWithToolkit(argc, argv, Run);
}
