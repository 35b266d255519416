#include "capture.h"

#include <chrono>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include "screen_read.h"
#include "wxdravik/wxdravikcolors.h"

void Settle()
{
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
    while (std::chrono::steady_clock::now() < deadline)
    {
        wxTheApp->ProcessPendingEvents();
        if (loop && loop->Pending())
            loop->Dispatch();
        else if (loop)
            loop->DispatchTimeout(20);
    }
}

void SettleIdle(int rounds)
{
    for (int round = 0; round < rounds; ++round)
    {
        wxTheApp->Yield(true);
        wxMilliSleep(10);
    }
}

wxBitmap CaptureAndDestroy(wxWindow* window)
{
    const wxBitmap shot = CaptureShownWindow(*window);
    window->Destroy();
    wxTheApp->ProcessIdle();  // deletes the destroyed window now
    return shot;
}

wxBitmap CaptureShownWindow(wxWindow& window)
{
    const wxRect rect = window.GetScreenRect();
    if (rect.IsEmpty() || !window.IsShownOnScreen())
        return wxNullBitmap;
    // The screen as the X server holds it, native children included.
    const wxBitmap screen = ReadScreen(rect);
    if (screen.IsOk())
        return screen;
    wxBitmap bitmap(rect.GetSize(), 24);
    bool read = false;
    {
        wxWindowDC source(&window);
        wxMemoryDC dc(bitmap);
        read = dc.Blit(0, 0, rect.width, rect.height, &source, 0, 0);
    }
    return read ? bitmap : wxNullBitmap;
}

int DrawSheetHeading(wxDC& dc, const wxString& heading)
{
    const wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    dc.SetBackground(wxBrush(wxsGetColor(COLOR_BACKGROUND)));
    dc.Clear();
    dc.SetTextForeground(wxsGetColor(COLOR_TEXT));
    dc.SetFont(font.Bold().Larger());
    dc.DrawText(heading, k_SheetMargin, k_SheetMargin);
    dc.SetFont(font);
    return k_SheetMargin + k_SheetTitleHeight;
}

wxBitmap CaptionedSheet(const wxString& heading, const wxArrayString& captions, const wxBitmap& shot)
{
    const int captionsHeight = int(captions.size()) * k_SheetCaptionHeight;
    wxBitmap sheet(shot.GetWidth() + 2 * k_SheetMargin,
                   shot.GetHeight() + 2 * k_SheetMargin + k_SheetTitleHeight + captionsHeight, 24);
    wxMemoryDC dc(sheet);
    int y = DrawSheetHeading(dc, heading);
    for (const wxString& caption : captions)
    {
        dc.DrawText(caption, k_SheetMargin, y);
        y += k_SheetCaptionHeight;
    }
    dc.DrawBitmap(shot, k_SheetMargin, y);
    dc.SelectObject(wxNullBitmap);
    return sheet;
}
