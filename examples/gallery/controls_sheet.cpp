#include "controls_sheet.h"

#include "capture.h"

#include <chrono>
#include <functional>
#include <vector>

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/sizer.h>

#include "wxdravik/wxdravikcolors.h"

namespace
{
/// One row of the sheet: a label and a maker that builds the control.
struct Row
{
    const char* label;
    std::function<wxWindow*(wxWindow* parent, bool enabled)> make;
};

template <class Control>
wxWindow* Disabled(Control* control, bool enabled)
{
    if (!enabled)
        control->Enable(false);
    return control;
}

std::vector<Row> Rows()
{
    return {
        {"Push button",
         [](wxWindow* p, bool on) { return Disabled(new wxsButton(p, wxID_ANY, "Render"), on); }},
        {"Default button",
         [](wxWindow* p, bool on) {
             auto* button = new wxsButton(p, wxID_ANY, "Submit");
             button->SetDefault();
             return Disabled(button, on);
         }},
        {"Check box",
         [](wxWindow* p, bool on) { return Disabled(new wxsCheckBox(p, wxID_ANY, "Pause on error"), on); }},
        {"Check box, checked",
         [](wxWindow* p, bool on) {
             auto* box = new wxsCheckBox(p, wxID_ANY, "Keep output");
             box->SetValue(true);
             return Disabled(box, on);
         }},
        {"Radio buttons",
         [](wxWindow* p, bool on) {
             auto* panel = new wxsPanel(p);
             auto* sizer = new wxBoxSizer(wxHORIZONTAL);
             auto* low = new wxsRadioButton(panel, wxID_ANY, "Low", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
             auto* high = new wxsRadioButton(panel, wxID_ANY, "High");
             high->SetValue(true);
             sizer->Add(low, 0, wxRIGHT, 12);
             sizer->Add(high);
             panel->SetSizer(sizer);
             if (!on)
             {
                 low->Enable(false);
                 high->Enable(false);
             }
             return panel;
         }},
        {"Bitmap button",
         [](wxWindow* p, bool on) {
             return Disabled(new wxsBitmapButton(p, wxID_ANY, wxArtProvider::GetBitmap(wxART_FOLDER_OPEN)), on);
         }},
        {"Static text",
         [](wxWindow* p, bool on) { return Disabled(new wxsStaticText(p, wxID_ANY, "Frames 1-240"), on); }},
        {"Text field",
         [](wxWindow* p, bool on) {
             return Disabled(new wxsTextCtrl(p, wxID_ANY, "shot_010_lighting", wxDefaultPosition, wxSize(180, -1)),
                             on);
         }},
        {"Text field, read-only",
         [](wxWindow* p, bool on) {
             return Disabled(new wxsTextCtrl(p, wxID_ANY, "/renders/shot_010", wxDefaultPosition, wxSize(180, -1),
                                             wxTE_READONLY),
                             on);
         }},
        {"Separator line",
         [](wxWindow* p, bool on) {
             auto* line = new wxsLine(p);
             line->SetMinSize(wxSize(180, 25));
             return Disabled(line, on);
         }},
        {"Expandable panel",
         [](wxWindow* p, bool on) {
             auto* panel = new wxExpandablePanel(p, wxVERTICAL);
             panel->SetOpenLabel("Advanced settings");
             panel->SetClosedLabel("Advanced settings...");
             panel->m_OptionsSection = "Gallery";
             panel->m_OptionsKey = "Advanced";
             panel->CreateInfrastructure("Show or hide the advanced settings", true);
             return Disabled(panel, on);
         }},
        {"Static box",
         [](wxWindow* p, bool on) {
             auto* panel = new wxsPanel(p);
             auto* box = new wxsStaticBoxSizer(wxVERTICAL, panel, "Output");
             box->Add(new wxsStaticText(box->GetStaticBox(), wxID_ANY, "EXR, 16-bit half"), 0, wxALL, 6);
             panel->SetSizer(box);
             if (!on)
                 panel->Enable(false);
             return panel;
         }},
        {"Splitter",
         [](wxWindow* p, bool on) {
             auto* splitter = new wxsSplitterWindow(p, wxID_ANY, wxDefaultPosition, wxSize(180, 44));
             auto* left = new wxsPanel(splitter);
             auto* right = new wxsPanel(splitter);
             left->SetBGColor(COLOR_FIELD, 0);
             right->SetBGColor(COLOR_FIELD, 0);
             splitter->SplitVertically(left, right, 90);
             return Disabled(splitter, on);
         }},
        {"Date and time",
         [](wxWindow* p, bool on) {
             auto* editor = new wxsDateTimeCtrl(p, wxID_ANY);
             editor->SetValue(Time(2026, 12, 6, 18, 30, 0));
             return Disabled(editor, on);
         }},
    };
}

/// A top-level window in the scheme's background, with a heading and the
/// two columns.
class SheetFrame : public wxFrame, public wxsColorManaged
{
public:
    explicit SheetFrame(const wxString& heading)
        : wxFrame(nullptr, wxID_ANY, heading, wxPoint(0, 0), wxDefaultSize, wxBORDER_NONE)
    {
        Manage(this);
        auto* grid = new wxFlexGridSizer(3, 10, 24);
        grid->AddSpacer(1);
        grid->Add(Caption("enabled"));
        grid->Add(Caption("disabled"));
        for (const Row& row : Rows())
        {
            grid->Add(Caption(row.label), 0, wxALIGN_CENTER_VERTICAL);
            grid->Add(row.make(this, true), 0, wxALIGN_CENTER_VERTICAL);
            grid->Add(row.make(this, false), 0, wxALIGN_CENTER_VERTICAL);
        }
        auto* outer = new wxBoxSizer(wxVERTICAL);
        auto* title = Caption(heading);
        title->SetFont(title->GetFont().Bold().Larger());
        outer->Add(title, 0, wxALL, 16);
        outer->Add(grid, 0, wxLEFT | wxRIGHT | wxBOTTOM, 16);
        SetSizerAndFit(outer);
    }

private:
    wxWindow* Caption(const wxString& text)
    {
        // Drawn by hand so the captions follow the scheme on every platform.
        auto* caption = new wxWindow(this, wxID_ANY);
        caption->SetBackgroundStyle(wxBG_STYLE_PAINT);
        wxClientDC measure(caption);
        caption->SetMinSize(measure.GetTextExtent(text) + wxSize(4, 4));
        caption->Bind(wxEVT_PAINT, [caption, text](wxPaintEvent&) {
            wxPaintDC dc(caption);
            dc.SetBackground(wxBrush(wxsGetColor(COLOR_BACKGROUND)));
            dc.Clear();
            dc.SetFont(caption->GetFont());
            dc.SetTextForeground(wxsGetColor(COLOR_TEXT));
            dc.DrawText(text, 0, 2);
        });
        return caption;
    }
};

}

wxBitmap CaptureControlsSheet(const wxString& heading)
{
    auto* frame = new SheetFrame(heading);  // destroyed below
    frame->Show();
    frame->SetFocus();  // no control shows a focus mark on the sheet
    frame->Update();
    Settle();

    const wxBitmap bitmap = CaptureShownWindow(*frame);
    frame->Hide();
    frame->Destroy();
    wxTheApp->ProcessIdle();  // deletes the destroyed window now
    Settle();
    return bitmap;
}
