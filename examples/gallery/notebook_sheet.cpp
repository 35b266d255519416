#include "notebook_sheet.h"

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/sizer.h>

#include "capture.h"
#include "wxdravik/wxbarhistoryctrl.h"
#include "wxdravik/wxdravikcolors.h"
#include "wxdravik/wxsnotebook.h"
#include "wxdravik/wxswrappers.h"
#include "wxdravik/wxtextlinectrl.h"

namespace
{

/// A page of plain lines of text and a button.
wxWindow* TextPage(wxWindow* parent, const std::vector<wxString>& lines, const wxString& button)
{
    auto* page = new wxsPanel(parent);  // owned by the notebook
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    for (const wxString& line : lines)
        sizer->Add(new wxsStaticText(page, wxID_ANY, line), 0, wxALL, 4);  // owned by the page
    sizer->AddStretchSpacer();
    sizer->Add(new wxsButton(page, wxID_ANY, button), 0, wxALL, 6);  // owned by the page
    page->SetSizer(sizer);
    return page;
}

wxWindow* LogPage(wxWindow* parent)
{
    auto* viewer = new wxTextLineCtrl(parent);  // owned by the notebook
    for (int frame = 1; frame <= 12; ++frame)
        viewer->Append(SFormat("[10:%02d:%02d] frame %03d rendered in %d.%d s", 12 + frame / 4, (frame * 17) % 60,
                               frame, 40 + frame * 3, frame % 10));
    return viewer;
}

wxWindow* EnginesPage(wxWindow* parent)
{
    auto* page = new wxsPanel(parent);  // owned by the notebook
    auto* grid = new wxFlexGridSizer(2, 6, 8);
    grid->AddGrowableCol(1);
    for (int i = 0; i < 3; ++i)
    {
        auto* graph = new wxBarHistoryCtrl(page, wxID_ANY, wxDefaultPosition, wxSize(200, 22));  // owned by the page
        graph->SetBounds(0, 100, false);
        graph->SetMidBound(80, false);
        for (int reading = 0; reading < 200; ++reading)
            graph->PushValue(unsigned(30 + 25 * i + (reading * 7919 % 13)));
        grid->Add(new wxsStaticText(page, wxID_ANY, wxString::Format("engine-%02d", i + 1)), 0,
                  wxALIGN_CENTER_VERTICAL);  // owned by the page
        grid->Add(graph, 1, wxEXPAND);
    }
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(grid, 0, wxEXPAND | wxALL, 8);
    page->SetSizer(sizer);
    return page;
}
}

wxBitmap CaptureNotebookSheet(const wxString& heading)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Notebook", wxPoint(20, 20), wxSize(760, 340));  // destroyed below
    auto* book = new wxsNotebook(frame, wxID_ANY, String());  // owned by the frame
    book->AddPage(TextPage(book, {"shot_010_lighting: running, 112 / 240 frames",
                                  "shot_020_fx: waiting for engine-02", "comp_final_v3: finished"},
                           "Refresh"),
                  "Jobs", true);
    book->AddPage(LogPage(book), "Log");
    book->AddPage(EnginesPage(book), "Engines");
    book->AddPage(TextPage(book, {"Render the turntable at half resolution first.", "Keep engine-03 for comp."},
                           "Edit notes"),
                  "Notes");
    frame->Show();
    Settle();
    // The user dragged "Log" off to the right and then "Notes" after it; the
    // current tab is "Jobs", and "Notes" is the right group's active tab.
    book->Split(1, wxRIGHT);
    const wxString split = book->SavePerspective();
    const wxArrayString groups = wxSplit(split.BeforeFirst('@'), '|', '\0');
    if (groups.size() == 2)
        book->LoadPerspective(groups[0].BeforeFirst('=') + "=*0,2|" + groups[1].BeforeFirst('=') + "=1,+3@" +
                              split.AfterFirst('@'));
    SettleIdle(30);
    const wxBitmap shot = CaptureAndDestroy(frame);
    if (!shot.IsOk())
        return wxNullBitmap;

    const wxArrayString captions(
        1, "wxsNotebook split into two tab groups: \"Jobs\" current at the left, \"Notes\" active at the right");
    return CaptionedSheet(heading, captions, shot);
}
