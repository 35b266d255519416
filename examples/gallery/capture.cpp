#include "capture.h"

#include <chrono>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>

#include "screen_read.h"

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
