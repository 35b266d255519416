#include "dialogs_sheet.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/dialog.h>
#include <wx/settings.h>
#include <wx/timer.h>

#include "capture.h"
#include "wxdravik/wxconfirmdlg.h"
#include "wxdravik/wxdravikcolors.h"

namespace
{
const int k_Margin = k_SheetMargin;
const int k_TitleHeight = k_SheetTitleHeight;
const int k_LabelHeight = k_SheetCaptionHeight;
const int k_Gap = 24;

wxBitmap CaptureConfirmation()
{
    // Modal dialogs are shown modeless here: the sheet only needs their look.
    auto* confirm = new wxConfirmDlg(nullptr, "Resubmit \"shot_010_lighting\"?\nThe frames rendered so far are kept.",
                                     "GalleryResubmit", true);  // destroyed below
    confirm->Show();
    Settle();
    return CaptureAndDestroy(confirm);
}

wxBitmap CapturePrompt()
{
    // The prompt runs its own modal loop: a timer inside it reads the dialog
    // once it has been painted, then ends it.
    wxBitmap bitmap;
    wxTimer reader;
    reader.Bind(wxEVT_TIMER, [&bitmap](wxTimerEvent&) {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal())
            {
                bitmap = CaptureShownWindow(*dialog);
                dialog->EndModal(wxID_CANCEL);
                return;
            }
    });
    reader.StartOnce(600);
    wxsGetTextFromUser("Name of the new job:", "New job", "shot_030_lighting", nullptr);
    return bitmap;
}
}

wxBitmap CaptureDialogsSheet(const wxString& heading)
{
    const wxBitmap confirm = CaptureConfirmation();
    const wxBitmap prompt = CapturePrompt();
    if (!confirm.IsOk() || !prompt.IsOk())
        return wxNullBitmap;

    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    const wxString confirmLabel = "Confirmation (wxConfirmDlg with Cancel)";
    const wxString promptLabel = "Text prompt (wxsGetTextFromUser)";
    int confirmColumn, promptColumn;
    {
        wxMemoryDC measure;
        measure.SetFont(font);
        confirmColumn = std::max(confirm.GetWidth(), measure.GetTextExtent(confirmLabel).x);
        promptColumn = std::max(prompt.GetWidth(), measure.GetTextExtent(promptLabel).x);
    }
    const int width = k_Margin * 2 + confirmColumn + k_Gap + promptColumn;
    const int height = k_Margin * 2 + k_TitleHeight + k_LabelHeight + std::max(confirm.GetHeight(), prompt.GetHeight());
    wxBitmap sheet(width, height, 24);
    wxMemoryDC dc(sheet);
    const int top = DrawSheetHeading(dc, heading);
    const int promptLeft = k_Margin + confirmColumn + k_Gap;
    dc.DrawText(confirmLabel, k_Margin, top);
    dc.DrawText(promptLabel, promptLeft, top);
    dc.DrawBitmap(confirm, k_Margin, top + k_LabelHeight);
    dc.DrawBitmap(prompt, promptLeft, top + k_LabelHeight);
    dc.SelectObject(wxNullBitmap);
    return sheet;
}
