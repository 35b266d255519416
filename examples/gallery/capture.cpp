#include "capture.h"

#include <chrono>

#include <dlfcn.h>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>

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
    // The screen as the X server holds it, native children included: read
    // through GDK, which the toolkit has loaded (looked up, so that no GTK
    // development files are needed).
    using RootWindow = void* (*)();
    using ReadWindow = GdkPixbuf* (*)(void*, int, int, int, int);
    const auto root = reinterpret_cast<RootWindow>(dlsym(RTLD_DEFAULT, "gdk_get_default_root_window"));
    const auto readScreen = reinterpret_cast<ReadWindow>(dlsym(RTLD_DEFAULT, "gdk_pixbuf_get_from_window"));
    if (GdkPixbuf* pixels = root && readScreen ? readScreen(root(), rect.x, rect.y, rect.width, rect.height) : nullptr)
        return wxBitmap(pixels);  // takes the pixbuf over
    wxBitmap bitmap(rect.GetSize(), 24);
    bool read = false;
    {
        wxWindowDC source(&window);
        wxMemoryDC dc(bitmap);
        read = dc.Blit(0, 0, rect.width, rect.height, &source, 0, 0);
    }
    return read ? bitmap : wxNullBitmap;
}
