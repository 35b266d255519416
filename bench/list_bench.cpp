// The database list against the toolkit's own list controls, in one process
// on one data set: 10 text columns, 1,000,000 rows, a 1600 x 1000 view. It
// measures one full repaint of the visible page (and the floor: the same cell
// texts drawn into a memory bitmap), how a burst of redraw requests is
// coalesced, the repaints and CPU a stream of row updates costs, and the
// memory a million rows take. Prints "BENCH <name> <value> <unit>" lines;
// notes on what was measured go to standard error.
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/dataview.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/listctrl.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/timer.h>

#include "bench_util.h"
#include "gui_bench_util.h"
#include "wxdravik/wxdblistctrl.h"

namespace
{
using namespace dravik_bench;

const int k_Columns = 10;
const int k_Rows = 1000000;
const int k_ViewWidth = 1600;
const int k_ViewHeight = 1000;
const int k_ColumnWidth = k_ViewWidth / k_Columns;
const int k_BurstCalls = 100000;
const int k_StreamRate = 1000;    // row updates a second
const int k_StreamSeconds = 5;
const int k_StreamTickMs = 10;    // the updates come in batches this far apart
const int k_TopRows = 30;         // rows in view in every peer at the top of the list
const int k_RefreshTimerId = 1;   // the double-buffered window's refresh timer
const int k_PageRepeats = 15;     // page repaints each median is taken over

/// Times each row has changed: part of its text, so that an update shows.
std::vector<uint16_t> s_Changes;
/// Cell texts too long for their column, which the lists then shorten.
bool s_LongText = false;

/// The text of a cell, the same for every peer; fixed width, so that every
/// page of the list costs the same. The short form fits a column with the
/// default font (about 145 of 154 pixels with Sans 10), the long one not.
int FormatCell(char* buffer, size_t size, int row, int column)
{
    const char* format = s_LongText ? "r%07d c%d words and more words %03u" : "r%07d c%d word %03u";
    return std::snprintf(buffer, size, format, row, column, unsigned(s_Changes[row] % 1000));
}

wxString CellText(int row, int column)
{
    char buffer[64];
    const int length = FormatCell(buffer, sizeof(buffer), row, column);
    return wxString::FromAscii(buffer, size_t(length));
}


// --- The event loop ---------------------------------------------------------


/// The rows an update stream touches: every other one among the rows in
/// view, the rest anywhere below them.
class RowPicker
{
public:
    int operator()(int i)
    {
        if (i % 2 == 0)
            return (i / 2) % k_TopRows;
        return std::uniform_int_distribution<int>(1000, k_Rows - 1)(m_Random);
    }

private:
    std::mt19937 m_Random{12345};
};

// --- The peers --------------------------------------------------------------

/// The database list with the cells above. Counts its body's repaints (one
/// DrawBitmap visits the first visible row once), the cell texts asked for
/// and the refresh timers fired, and times the row loop of the latest
/// repaint.
class BenchDBList : public wxDBListCtrl
{
public:
    explicit BenchDBList(wxWindow* parent) : wxDBListCtrl(parent, wxID_ANY, 0, 0)
    {
        for (int column = 0; column < k_Columns; ++column)
            AddColumn(column, SFormat("Column %d", column), k_ColumnWidth);
        for (wxDoubleBufferedWindow* window : {static_cast<wxDoubleBufferedWindow*>(_GetHeader()),
                                               static_cast<wxDoubleBufferedWindow*>(_GetBody())})
            window->Bind(
                wxEVT_TIMER,
                [this](wxTimerEvent& event) {
                    ++m_TimersFired;
                    event.Skip();  // the window's own handler invalidates
                },
                k_RefreshTimerId);
    }

    bool IsRowSelected(int) override { return false; }
    xolib::vector<int> GetSelection() override { return {}; }
    String GetDisplayText(int row, int column) override
    {
        ++m_TextCalls;
        char buffer[64];
        const int length = FormatCell(buffer, sizeof(buffer), row, column);
        return String(buffer, size_t(length));
    }
    void PrepareToDraw(int row) override
    {
        if (row == FirstVisibleItem())
        {
            ++m_BitmapDraws;
            m_RowsStart = Clock::now();
        }
    }
    void CleanupAfterDraw(int) override { m_RowsEnd = Clock::now(); }

    long m_TextCalls = 0;
    long m_BitmapDraws = 0;
    int m_TimersFired = 0;  // refresh timers of the header and the body
    Clock::time_point m_RowsStart, m_RowsEnd;
};

/// The toolkit's list control in virtual report mode.
class BenchListCtrl : public wxListCtrl
{
public:
    explicit BenchListCtrl(wxWindow* parent)
        : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT | wxLC_VIRTUAL)
    {
        for (int column = 0; column < k_Columns; ++column)
            AppendColumn(wxString::Format("Column %d", column), wxLIST_FORMAT_LEFT, k_ColumnWidth);
    }

    /// The window that draws the rows (the other child is the header).
    wxWindow* RowsWindow() const
    {
        wxWindow* rows = nullptr;
        for (wxWindow* child : GetChildren())
            if (!rows || child->GetSize().y > rows->GetSize().y)
                rows = child;
        return rows;
    }

    wxString OnGetItemText(long item, long column) const override
    {
        ++m_TextCalls;
        return CellText(int(item), int(column));
    }

    mutable long m_TextCalls = 0;
};

/// The toolkit's data view's virtual model.
class BenchModel : public wxDataViewVirtualListModel
{
public:
    BenchModel() : wxDataViewVirtualListModel(k_Rows) {}

    unsigned int GetColumnCount() const override { return k_Columns; }
    wxString GetColumnType(unsigned int) const override { return "string"; }
    void GetValueByRow(wxVariant& value, unsigned int row, unsigned int column) const override
    {
        ++m_TextCalls;
        value = CellText(int(row), int(column));
    }
    bool SetValueByRow(const wxVariant&, unsigned int, unsigned int) override { return false; }

    mutable long m_TextCalls = 0;
};

// --- Measurements -----------------------------------------------------------

struct StreamResult
{
    double m_PaintsPerSecond = 0;
    double m_CpuMsPerSecond = 0;
    double m_IdleCpuMsPerSecond = 0;
    double m_CellsPerSecond = 0;
    bool m_ServerKnown = false;
    double m_ServerCpuMsPerSecond = 0;  // the X server's, above its idle
};

/// k_StreamRate row updates a second for k_StreamSeconds, in batches of a
/// timer, each reported by update(row); against an equally long idle run.
StreamResult RunStream(const std::function<void(int)>& update, const std::function<long()>& paints,
                       const std::function<long()>& cells)
{
    const int durationMs = k_StreamSeconds * 1000;
    StreamResult result;
    RunUntilQuiet(paints, 200, 2000);

    const int server = FindServerPid();
    auto start = Clock::now();
    double cpu = CpuMs(), serverCpu = ProcessCpuMs(server);
    RunFor(durationMs, 20);
    result.m_IdleCpuMsPerSecond = (CpuMs() - cpu) / (Ms(Clock::now() - start) / 1000);
    const double serverIdle = (ProcessCpuMs(server) - serverCpu) / (Ms(Clock::now() - start) / 1000);

    RowPicker pick;
    const int total = k_StreamRate * k_StreamSeconds;
    int done = 0;
    wxTimer ticker;
    ticker.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        const int due = std::min(total, int(Ms(Clock::now() - start) * k_StreamRate / 1000));
        for (; done < due; ++done)
        {
            const int row = pick(done);
            ++s_Changes[row];
            update(row);
        }
    });
    const long paintsBefore = paints(), cellsBefore = cells();
    start = Clock::now();
    cpu = CpuMs();
    serverCpu = ProcessCpuMs(server);
    ticker.Start(k_StreamTickMs);
    RunUntil([&] { return done == total; }, durationMs + 1000, 20);
    ticker.Stop();
    const double seconds = Ms(Clock::now() - start) / 1000;
    const double cpuMs = CpuMs() - cpu;
    result.m_PaintsPerSecond = (paints() - paintsBefore) / seconds;
    result.m_CpuMsPerSecond = cpuMs / seconds - result.m_IdleCpuMsPerSecond;
    result.m_CellsPerSecond = (cells() - cellsBefore) / seconds;
    result.m_ServerKnown = server > 0 && serverCpu >= 0;
    if (result.m_ServerKnown)
        result.m_ServerCpuMsPerSecond = (ProcessCpuMs(server) - serverCpu) / seconds - serverIdle;
    if (done != total)
        std::fprintf(stderr, "# stream: %d of %d updates sent\n", done, total);
    RunUntilQuiet(paints, 200, 2000);
    return result;
}

void ReportStream(const char* peer, const StreamResult& result)
{
    Report(std::string("list_stream_paints_per_s_") + peer, result.m_PaintsPerSecond, "paints");
    Report(std::string("list_stream_cpu_") + peer + "_ms_per_s", result.m_CpuMsPerSecond, "ms");
    Report(std::string("list_stream_idle_cpu_") + peer + "_ms_per_s", result.m_IdleCpuMsPerSecond, "ms");
    Report(std::string("list_stream_cells_per_s_") + peer, result.m_CellsPerSecond, "cells");
    if (result.m_ServerKnown)
        Report(std::string("list_stream_server_cpu_") + peer + "_ms_per_s", result.m_ServerCpuMsPerSecond, "ms");
}

/// 100,000 redraw requests made before the event loop runs again, so that
/// all of them fall in one refresh period; returns the repaints they caused.
long CountBurstRepaints(const std::function<void(int)>& redraw, const std::function<long()>& paints, double& callsMs)
{
    RunUntilQuiet(paints, 200, 2000);
    RowPicker pick;
    const long before = paints();
    const auto start = Clock::now();
    for (int i = 0; i < k_BurstCalls; ++i)
        redraw(pick(i));
    callsMs = Ms(Clock::now() - start);
    RunUntilQuiet(paints, 500, 3000);
    return paints() - before;
}

/// Resident memory added by tell() and the repaint that follows it, which
/// ends when cells() has grown and then rested.
double AddedKiB(const std::function<void()>& tell, const std::function<long()>& cells, int timeoutMs)
{
    const double before = ResidentKiB();
    const long cellsBefore = cells();
    tell();
    RunUntil([&] { return cells() > cellsBefore; }, timeoutMs);
    RunUntilQuiet(cells, 200, timeoutMs);
    return ResidentKiB() - before;
}

/// The floor: the visible cell texts, computed and drawn with DrawText into
/// a bitmap of the view's size through a memory device context.
class Floor
{
public:
    Floor(const wxSize& size, int rowHeight, int rows)
        : m_Bitmap(size.x, size.y, -1), m_Font(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT)),
          m_RowHeight(rowHeight), m_Rows(rows)
    {
    }

    /// Milliseconds of one page. With measureOnly the texts are measured
    /// (GetTextExtent) instead of drawn: the least that fitting each text
    /// into its cell costs.
    double PageMs(bool measureOnly = false)
    {
        const int padding = wxDBListCtrl::GetCellPadding();
        wxCoord width = 0, height = 0;
        const auto start = Clock::now();
        {
            wxMemoryDC dc(m_Bitmap);
            dc.SetFont(m_Font);
            dc.SetBackground(*wxWHITE_BRUSH);
            dc.Clear();
            dc.SetTextForeground(*wxBLACK);
            for (int row = 0; row < m_Rows; ++row)
                for (int column = 0; column < k_Columns; ++column)
                    if (measureOnly)
                        dc.GetTextExtent(CellText(row, column), &width, &height);
                    else
                        dc.DrawText(CellText(row, column), column * k_ColumnWidth + padding,
                                    row * m_RowHeight + padding);
        }
        KeepAlive(width);
        return Ms(Clock::now() - start);
    }

    int Cells() const { return m_Rows * k_Columns; }

private:
    wxBitmap m_Bitmap;
    wxFont m_Font;
    int m_RowHeight;
    int m_Rows;
};

/// One repaint measured: its time and the cell texts it asked for.
struct PageSample
{
    double m_Ms = 0;
    long m_Cells = 0;
};

/// A peer in its own top-level window of the view's size at the top-left of
/// the screen. The windows overlap; each peer is raised before it is timed.
class Peer
{
public:
    explicit Peer(const char* title) : m_Frame(new wxFrame(nullptr, wxID_ANY, title, wxPoint(0, 0), wxDefaultSize))
    {
        m_Frame->SetSizer(new wxBoxSizer(wxVERTICAL));
    }
    virtual ~Peer() = default;

    /// Cell texts asked for so far.
    virtual long Cells() const = 0;

    void Close()
    {
        m_Frame->Destroy();
        RunFor(100);
    }

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
            std::fprintf(stderr, "# %s: view is %d x %d, not %d x %d\n", m_Frame->GetTitle().utf8_str().data(),
                         view->GetSize().x, view->GetSize().y, size.x, size.y);
    }

    /// Brings the window to the top and lets the repaints that causes end.
    void Raise()
    {
        m_Frame->Raise();
        RunUntilQuiet([this] { return Cells(); }, 50, 1000);
    }

    wxFrame* m_Frame;  // destroyed by Close()
};

class DBListPeer : public Peer
{
public:
    DBListPeer() : Peer("wxDBListCtrl"), m_List(new BenchDBList(m_Frame))
    {
        Show(m_List);
        RunUntilQuiet([this] { return m_List->m_BitmapDraws; }, 200, 2000);
    }

    long Cells() const override { return m_List->m_TextCalls; }
    long Paints() const { return m_List->m_BitmapDraws; }
    /// The share of the body's pixels on the screen that are the drawn ones.
    double OnScreen() const { return ShareOnScreen(m_List->_GetBody()); }
    wxSize BodySize() const { return m_List->_GetBody()->GetClientSize(); }
    int RowHeight() const { return m_List->GetRowHeight(); }

    /// Rows are a count: a million of them should cost nothing per row.
    double MillionRowsKiB()
    {
        return AddedKiB([this] { m_List->Insert(0, size_t(k_Rows)); }, [this] { return Cells(); }, 2000);
    }

    /// One full repaint: the header and the body asked to redraw and their
    /// refresh timers fired (untimed: that wait is the coalescing delay),
    /// then the paint forced and the server waited for. rowsMs receives the
    /// body's row loop.
    PageSample Page(double& rowsMs)
    {
        Raise();
        RunUntilQuiet([this] { return Paints(); }, 50, 1000);
        m_List->m_TimersFired = 0;
        m_List->Redraw();
        RunUntil([this] { return m_List->m_TimersFired == 2; }, 2000, 1);
        const long draws = Paints(), cells = Cells();

        const auto start = Clock::now();
        m_List->_GetBody()->Update();
        m_List->_GetHeader()->Update();
        SyncWithServer();
        PageSample sample;
        sample.m_Ms = Ms(Clock::now() - start);
        sample.m_Cells = Cells() - cells;

        if (Paints() - draws != 1)
            std::fprintf(stderr, "# wxDBListCtrl: a timed repaint drew the body %ld times\n", Paints() - draws);
        rowsMs = Ms(m_List->m_RowsEnd - m_List->m_RowsStart);
        return sample;
    }

    /// A repaint that only copies the stored bitmap: the toolkit's paint
    /// path for the list body without any drawing.
    double ExposeMs()
    {
        Raise();
        RunUntilQuiet([this] { return Paints(); }, 50, 1000);
        const long draws = Paints();
        const auto start = Clock::now();
        // The area a page refreshes: the client area, not the scroll bars.
        m_List->_GetBody()->RefreshRect(wxRect(m_List->_GetBody()->GetClientSize()), false);
        m_List->_GetBody()->Update();
        SyncWithServer();
        const double ms = Ms(Clock::now() - start);
        if (Paints() != draws)
            std::fprintf(stderr, "# wxDBListCtrl: an exposure drew the bitmap\n");
        return ms;
    }

    long Burst(double& callsMs)
    {
        Raise();
        return CountBurstRepaints([this](int row) { m_List->RedrawItem(row); }, [this] { return Paints(); }, callsMs);
    }

    StreamResult Stream()
    {
        Raise();
        return RunStream([this](int row) { m_List->RedrawItem(row); }, [this] { return Paints(); },
                        [this] { return Cells(); });
    }

private:
    BenchDBList* m_List;  // a child of the frame
};

class ListCtrlPeer : public Peer
{
public:
    ListCtrlPeer() : Peer("wxListCtrl"), m_List(new BenchListCtrl(m_Frame))
    {
        Show(m_List);
        m_List->RowsWindow()->Bind(wxEVT_PAINT, [this](wxPaintEvent& event) {
            ++m_Paints;
            event.Skip();  // the control's own handler draws
        });
        RunUntilQuiet([this] { return m_Paints; }, 200, 2000);
    }

    long Cells() const override { return m_List->m_TextCalls; }

    double MillionRowsKiB()
    {
        return AddedKiB(
            [this] {
                m_List->SetItemCount(k_Rows);
                m_List->Refresh();
            },
            [this] { return Cells(); }, 2000);
    }

    /// One full repaint: Refresh(), Update(), the server waited for.
    PageSample Page()
    {
        Raise();
        const long cells = Cells();
        const auto start = Clock::now();
        m_List->Refresh();
        m_List->Update();
        SyncWithServer();
        PageSample sample;
        sample.m_Ms = Ms(Clock::now() - start);
        sample.m_Cells = Cells() - cells;
        return sample;
    }

    long Burst()
    {
        Raise();
        double callsMs = 0;
        return CountBurstRepaints([this](int row) { m_List->RefreshItem(row); }, [this] { return m_Paints; }, callsMs);
    }

    StreamResult Stream()
    {
        Raise();
        return RunStream([this](int row) { m_List->RefreshItem(row); }, [this] { return m_Paints; },
                        [this] { return Cells(); });
    }

private:
    BenchListCtrl* m_List;  // a child of the frame
    long m_Paints = 0;      // paint events of the rows window
};

class DataViewPeer : public Peer
{
public:
    DataViewPeer() : Peer("wxDataViewCtrl"), m_View(new wxDataViewCtrl(m_Frame, wxID_ANY)), m_Model(new BenchModel)
    {
        for (int column = 0; column < k_Columns; ++column)
            m_View->AppendTextColumn(wxString::Format("Column %d", column), unsigned(column), wxDATAVIEW_CELL_INERT,
                                     k_ColumnWidth);
        Show(m_View);
        RunFor(200);
        // Refresh() on the data view does not make GTK's tree view inside it
        // draw its rows again (no cell value is asked for): the tree view is
        // asked itself, as GTK code would.
        m_QueueDraw = reinterpret_cast<void (*)(void*)>(dlsym(RTLD_DEFAULT, "gtk_widget_queue_draw"));
    }

    long Cells() const override { return m_Model->m_TextCalls; }

    /// Associates the model of a million rows; associateMs receives the time
    /// until the first page has been drawn.
    double MillionRowsKiB(double& associateMs)
    {
        const auto start = Clock::now();
        const double kib = AddedKiB([this] { m_View->AssociateModel(m_Model.get()); }, [this] { return Cells(); },
                                    10000);
        associateMs = Ms(Clock::now() - start);
        return kib;
    }

    /// One full repaint: the tree view asked to redraw, Update(), the server
    /// waited for.
    PageSample Page()
    {
        Raise();
        const long cells = Cells();
        const auto start = Clock::now();
        if (m_QueueDraw)
            m_QueueDraw(m_View->GtkGetTreeView());
        else
            m_View->Refresh();
        m_View->Update();
        SyncWithServer();
        PageSample sample;
        sample.m_Ms = Ms(Clock::now() - start);
        sample.m_Cells = Cells() - cells;
        return sample;
    }

private:
    wxDataViewCtrl* m_View;  // a child of the frame
    wxObjectDataPtr<BenchModel> m_Model;
    void (*m_QueueDraw)(void*) = nullptr;
};

/// Notes how wide the cell texts are against the room a column gives them:
/// whether the lists draw them whole or shorten them depends on it.
void NoteTextWidths()
{
    wxBitmap scratch(16, 16, -1);
    wxMemoryDC dc(scratch);
    dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    const wxSize normal = dc.GetTextExtent(CellText(0, 0));
    s_LongText = true;
    const wxSize longer = dc.GetTextExtent(CellText(0, 0));
    s_LongText = false;
    std::fprintf(stderr, "# font %s: cell texts %d (long form %d) pixels wide, %d pixels of room\n",
                 dc.GetFont().GetNativeFontInfoUserDesc().utf8_str().data(), normal.x, longer.x,
                 k_ColumnWidth - 2 * wxDBListCtrl::GetCellPadding());
}

/// Medians of page samples.
struct PageFigures
{
    std::vector<double> m_Ms, m_Cells;
    void Add(const PageSample& sample)
    {
        m_Ms.push_back(sample.m_Ms);
        m_Cells.push_back(double(sample.m_Cells));
    }
    double Ms() const { return Median(m_Ms); }
    double Cells() const { return Median(m_Cells); }
};

void Run()
{
    // Text drawing warmed up (fonts loaded, glyph caches filled) before
    // anything is measured, so that no peer pays for it alone.
    Floor(wxSize(k_ViewWidth, k_ViewHeight), 20, 50).PageMs();
    NoteTextWidths();

    DBListPeer dblist;
    Report("list_million_rows_kib", dblist.MillionRowsKiB(), "KiB");
    ListCtrlPeer listCtrl;
    Report("list_million_rows_wxlistctrl_kib", listCtrl.MillionRowsKiB(), "KiB");
    DataViewPeer dataView;
    double associateMs = 0;
    Report("list_million_rows_dataview_kib", dataView.MillionRowsKiB(associateMs), "KiB");
    Report("list_million_rows_dataview_ms", associateMs, "ms");

    // The floor draws what the database list shows: its body's size, its row
    // height, every row that is at least partly in view. All take turns, so
    // that all see the same load on a shared machine, and each ratio is the
    // median of the rounds' ratios.
    const wxSize body = dblist.BodySize();
    const int rowHeight = dblist.RowHeight();
    std::fprintf(stderr, "# wxDBListCtrl: body %d x %d, rows %d pixels high\n", body.x, body.y, rowHeight);
    Floor floor(body, rowHeight, (body.y + rowHeight - 1) / rowHeight);
    PageFigures dblistPages, listCtrlPages, dataViewPages;
    std::vector<double> floorMs, measureMs, rowsMs, exposeMs, overFloor, listCtrlOver, dataViewOver;
    double onScreen = 1;
    for (int i = 0; i < Repeats(k_PageRepeats); ++i)
    {
        double rows = 0;
        floorMs.push_back(floor.PageMs());
        measureMs.push_back(floor.PageMs(true));
        dblistPages.Add(dblist.Page(rows));
        onScreen = std::min(onScreen, dblist.OnScreen());
        rowsMs.push_back(rows);
        exposeMs.push_back(dblist.ExposeMs());
        listCtrlPages.Add(listCtrl.Page());
        dataViewPages.Add(dataView.Page());
        const double dblistMs = dblistPages.m_Ms.back();
        overFloor.push_back(dblistMs / floorMs.back());
        listCtrlOver.push_back(listCtrlPages.m_Ms.back() / dblistMs);
        dataViewOver.push_back(dataViewPages.m_Ms.back() / dblistMs);
    }
    PageFigures dblistCut, listCtrlCut;
    s_LongText = true;
    for (int i = 0; i < Repeats(k_PageRepeats); ++i)
    {
        double rows = 0;
        dblistCut.Add(dblist.Page(rows));
        listCtrlCut.Add(listCtrl.Page());
    }
    s_LongText = false;
    dataView.Close();

    Report("list_page_dblist_ms", dblistPages.Ms(), "ms");
    Report("list_page_dblist_on_screen", onScreen, "share");
    Report("list_page_wxlistctrl_ms", listCtrlPages.Ms(), "ms");
    Report("list_page_dataview_ms", dataViewPages.Ms(), "ms");
    Report("list_page_floor_ms", Median(floorMs), "ms");
    Report("list_page_floor_measure_ms", Median(measureMs), "ms");
    Report("list_page_dblist_rows_ms", Median(rowsMs), "ms");
    Report("list_page_dblist_expose_ms", Median(exposeMs), "ms");
    Report("list_page_cells_dblist", dblistPages.Cells(), "cells");
    Report("list_page_cells_wxlistctrl", listCtrlPages.Cells(), "cells");
    Report("list_page_cells_dataview", dataViewPages.Cells(), "cells");
    Report("list_page_cells_floor", floor.Cells(), "cells");
    Report("list_page_dblist_over_floor", Median(overFloor), "x");
    Report("list_page_wxlistctrl_over_dblist", Median(listCtrlOver), "x");
    Report("list_page_dataview_over_dblist", Median(dataViewOver), "x");
    Report("list_page_cut_dblist_ms", dblistCut.Ms(), "ms");
    Report("list_page_cut_wxlistctrl_ms", listCtrlCut.Ms(), "ms");

    double callsMs = 0;
    Report("list_burst_repaints", dblist.Burst(callsMs), "repaints");
    Report("list_burst_calls_ms", callsMs, "ms");
    Report("list_burst_repaints_wxlistctrl", listCtrl.Burst(), "repaints");

    // The streams run one at a time, each control raised above the other.
    const StreamResult dblistStream = dblist.Stream();
    const StreamResult listCtrlStream = listCtrl.Stream();
    dblist.Close();
    listCtrl.Close();
    ReportStream("dblist", dblistStream);
    ReportStream("wxlistctrl", listCtrlStream);
    Report("list_stream_cpu_wxlistctrl_over_dblist",
           listCtrlStream.m_CpuMsPerSecond / std::max(1.0, dblistStream.m_CpuMsPerSecond), "x");
}
}  // namespace

int main(int argc, char** argv)
{
    s_Changes.assign(k_Rows, 0);
    return RunWithToolkit(argc, argv, Run);
}
