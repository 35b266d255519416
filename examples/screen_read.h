// Reading what the X server shows, for the example programs' screenshots.
#pragma once

#include <dlfcn.h>

#include <wx/bitmap.h>
#include <wx/gdicmn.h>

/// The pixels of rect on the screen, native child windows included; invalid
/// when the screen cannot be read. Read through GDK each time (the toolkit's
/// screen DC keeps the first image it took), with GDK's functions looked up
/// rather than linked: the toolkit has loaded GDK, and no GTK development
/// files are needed.
inline wxBitmap ReadScreen(const wxRect& rect)
{
    using RootWindow = void* (*)();
    using ReadWindow = GdkPixbuf* (*)(void*, int, int, int, int);
    const auto root = reinterpret_cast<RootWindow>(dlsym(RTLD_DEFAULT, "gdk_get_default_root_window"));
    const auto read = reinterpret_cast<ReadWindow>(dlsym(RTLD_DEFAULT, "gdk_pixbuf_get_from_window"));
    GdkPixbuf* pixels = root && read ? read(root(), rect.x, rect.y, rect.width, rect.height) : nullptr;
    return pixels ? wxBitmap(pixels) : wxNullBitmap;  // the bitmap takes the pixbuf over
}
