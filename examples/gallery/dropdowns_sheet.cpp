#include "dropdowns_sheet.h"

#include <cstdio>
#include <vector>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/settings.h>

#include "capture.h"
#include "wxdravik/wxdravikcolors.h"
#include "wxdravik/wxsnumberselector.h"

namespace
{
/// Columns of the frame and the width of a control in them.
const int k_Column[] = {16, 256, 496, 736};
const int k_Width = 210;
const int k_FrameWidth = 970;
const int k_FrameHeight = 480;

/// A caption drawn over the shot above a control.
struct Caption
{
    wxString text;
    wxPoint at;
};

const wxString k_Layers[] = {"beauty", "diffuse", "specular", "shadow", "cryptomatte", "z-depth"};
const wxString k_Files[] = {"frame_####.exr", "frame_####.png", "frame_####.tif", "preview_####.jpg"};

wxsNumberSelector::Values Priorities()
{
    wxsNumberSelector::Values values;
    values["10"] = "Low";
    values["50"] = "Normal";
    values["90"] = "High";
    return values;
}

/// Places a control and its caption.
template <class Control>
Control* Put(Control* control, std::vector<Caption>& captions, const wxString& caption, int column, int y,
             int height = -1, bool enabled = true)
{
    control->SetSize(k_Column[column], y, k_Width, height > 0 ? height : control->GetBestSize().y);
    if (!enabled)
        control->Enable(false);
    captions.push_back({caption, wxPoint(k_Column[column], y - 18)});
    return control;
}

/// Runs the event loop until the drop-down's list shows (bounded).
bool Open(wxComboCtrl* control)
{
    control->Popup();
    for (int round = 0; round < 30 && !control->IsPopupShown(); ++round)
        Settle();
    Settle();
    return control->IsPopupShown();
}
}

wxBitmap CaptureDropdownsSheet(const wxString& heading)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Drop-downs", wxPoint(20, 20), wxSize(k_FrameWidth, k_FrameHeight),
                              wxBORDER_NONE);  // destroyed below
    auto* panel = new wxsPanel(frame);         // owned by the frame; every control below is the panel's
    std::vector<Caption> captions;

    // Choices: closed, disabled, open (its list drops into the free space
    // below), and a read-only combo box in the last column.
    int y = 34;
    Put(new wxsChoice(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, 6, k_Layers), captions,
        "wxsChoice", 0, y)->SetSelection(0);
    Put(new wxsChoice(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, 6, k_Layers), captions,
        "wxsChoice, disabled", 1, y, -1, false)->SetSelection(1);
    auto* openChoice = Put(new wxsChoice(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, 6, k_Layers), captions,
                           "wxsChoice, open", 2, y);
    openChoice->SetSelection(2);
    Put(new wxsComboBox(panel, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, 4, k_Files, wxCB_READONLY), captions,
        "wxsComboBox, read-only", 3, y)->SetSelection(1);

    // Combo boxes: editable, disabled, open (last column, list below it).
    y = 200;
    Put(new wxsComboBox(panel, wxID_ANY, "frame_####.exr", wxDefaultPosition, wxDefaultSize, 4, k_Files), captions,
        "wxsComboBox", 0, y, 26);
    Put(new wxsComboBox(panel, wxID_ANY, "frame_####.png", wxDefaultPosition, wxDefaultSize, 4, k_Files), captions,
        "wxsComboBox, disabled", 1, y, 26, false);
    auto* openCombo = Put(new wxsComboBox(panel, wxID_ANY, "preview_####.jpg", wxDefaultPosition, wxDefaultSize, 4,
                                          k_Files),
                          captions, "wxsComboBox, open", 3, y, 26);

    // Check list boxes, number selectors and sliders.
    y = 282;
    const wxString passes[] = {"Beauty", "Diffuse", "Specular", "Shadow", "Motion vectors", "Z-depth"};
    for (int column = 0; column < 2; ++column)
    {
        auto* list = Put(new wxsCheckListBox(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, 6, passes), captions,
                         column == 0 ? "wxsCheckListBox" : "wxsCheckListBox, disabled", column, y, 128, column == 0);
        list->Check(0);
        list->Check(2);
        list->Check(4);
        list->SetSelection(2);
    }
    auto* normal = Put(new wxsNumberSelector(panel, wxID_ANY, Priorities(), {}), captions,
                       "wxsNumberSelector (High)", 2, y);
    normal->SetValue("90");
    auto* custom = Put(new wxsNumberSelector(panel, wxID_ANY, Priorities(), {"", "Negative"}), captions,
                       "custom and negative entries", 2, y + 56);
    custom->SetValue("-25");
    Put(new wxsNumberSelector(panel, wxID_ANY, Priorities(), {}, 1), captions, "read-only (style 1)", 2, y + 112)
        ->SetValue("12.5");
    Put(new wxsSlider(panel, wxID_ANY, 65, 0, 100), captions, "wxsSlider 0..100", 3, y + 56);
    Put(new wxsSlider(panel, wxID_ANY, 0.25, 0.0, 1.0), captions, "wxsSlider 0.0..1.0", 3, y + 112);
    Put(new wxsSlider(panel, wxID_ANY, 30, 0, 100), captions, "wxsSlider, disabled", 3, y + 168, -1, false);

    panel->SetSize(frame->GetClientSize());
    frame->Show();
    frame->SetFocus();
    Settle();
    // Idle time: windows inside a disabled parent take their disabled colours there.
    for (int round = 0; round < 3; ++round)
        wxTheApp->ProcessIdle();
    Settle();

    // One list at a time is open: the choice's first, then the combo box's,
    // whose part of the second shot is laid into the first.
    const bool choiceOpen = Open(openChoice);
    const wxBitmap first = CaptureShownWindow(*frame);
    openChoice->Dismiss();
    Settle();
    const bool comboOpen = Open(openCombo);
    const wxBitmap second = CaptureShownWindow(*frame);
    openCombo->Dismiss();
    Settle();
    const wxRect comboArea(k_Column[3] - 4, 200 - 20, k_Width + 8, 135);
    frame->Destroy();
    wxTheApp->ProcessIdle();
    if (!first.IsOk() || !second.IsOk())
        return wxNullBitmap;
    if (!choiceOpen || !comboOpen)
        fprintf(stderr, "dravik-gallery: a drop-down list did not open (choice %d, combo box %d)\n", choiceOpen,
                comboOpen);

    wxBitmap sheet(first.GetWidth() + 2 * k_SheetMargin, first.GetHeight() + 2 * k_SheetMargin + k_SheetTitleHeight,
                   24);
    wxMemoryDC dc(sheet);
    const wxPoint origin(k_SheetMargin, DrawSheetHeading(dc, heading));
    dc.DrawBitmap(first, origin);
    dc.DrawBitmap(second.GetSubBitmap(comboArea), origin + comboArea.GetPosition());
    for (const Caption& caption : captions)
        dc.DrawText(caption.text, origin + caption.at);
    dc.SelectObject(wxNullBitmap);
    return sheet;
}
