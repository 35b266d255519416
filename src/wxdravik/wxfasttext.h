// Text drawn through a device context's graphics context, for views that
// draw hundreds of texts per repaint.
#pragma once

#include <dlfcn.h>

#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/font.h>
#include <wx/fontutil.h>
#include <wx/graphics.h>

/// Draws single lines of text through the DC's graphics context when it has
/// one: the DC's own DrawText measures every text again to keep a bounding
/// box that views never read, a fifth of the cost of drawing it. On GTK the
/// text goes through one Pango layout kept for the whole session, where the
/// context would make a new layout for every text; elsewhere the context's
/// font is set again only when the DC's font or text colour changed. A
/// Session ties the drawer to one DC while it lives.
class _FastTextDrawer
{
public:
    class Session
    {
    public:
        Session(_FastTextDrawer& drawer, wxDC& dc) : m_Drawer(drawer) { m_Drawer.Start(dc); }
        ~Session() { m_Drawer.Stop(); }
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

    private:
        _FastTextDrawer& m_Drawer;
    };

    void Start(wxDC& dc)
    {
        m_DC = &dc;
        m_Context = dc.GetGraphicsContext();
        m_Font = wxFont();
        m_Colour = wxColour();
        m_LayoutFont = wxFont();
        const Pango& pango = Pango::Get();
        m_Cairo = m_Context && pango.m_Usable ? m_Context->GetNativeContext() : nullptr;
        m_Layout = m_Cairo ? pango.m_CreateLayout(m_Cairo) : nullptr;
    }
    void Stop()
    {
        if (m_Layout)
            Pango::Get().m_Unref(m_Layout);
        m_Layout = nullptr;
        m_Cairo = nullptr;
        m_DC = nullptr;
    }
    /// Whether text for dc goes through this drawer.
    bool Serves(const wxDC& dc) const { return m_DC == &dc; }

    void Draw(const wxString& text, int x, int y)
    {
        if (!m_Context)
        {
            m_DC->DrawText(text, x, y);
            return;
        }
        const wxFont& font = m_DC->GetFont();
        const wxColour& colour = m_DC->GetTextForeground();
        const wxNativeFontInfo* info = m_Layout && font.IsOk() ? font.GetNativeFontInfo() : nullptr;
        if (info && info->description)
        {
            const Pango& pango = Pango::Get();
            if (!(font == m_LayoutFont))
            {
                pango.m_SetFontDescription(m_Layout, info->description);
                m_LayoutFont = font;
            }
            const wxScopedCharBuffer utf8 = text.utf8_str();
            pango.m_SetText(m_Layout, utf8.data(), int(utf8.length()));
            pango.m_SetSource(m_Cairo, colour.Red() / 255.0, colour.Green() / 255.0, colour.Blue() / 255.0,
                              colour.Alpha() / 255.0);
            pango.m_MoveTo(m_Cairo, x, y);
            pango.m_ShowLayout(m_Cairo, m_Layout);
            return;
        }
        if (!(font == m_Font) || colour != m_Colour)
        {
            m_Context->SetFont(font, colour);
            m_Font = font;
            m_Colour = colour;
        }
        m_Context->DrawText(text, x, y);
    }

private:
    /// The few Pango and Cairo calls, looked up in the libraries the toolkit
    /// has loaded (their development files are not needed to build).
    struct Pango
    {
        void* (*m_CreateLayout)(void* cairo) = nullptr;
        void (*m_SetFontDescription)(void* layout, const void* description) = nullptr;
        void (*m_SetText)(void* layout, const char* text, int length) = nullptr;
        void (*m_ShowLayout)(void* cairo, void* layout) = nullptr;
        void (*m_SetSource)(void* cairo, double r, double g, double b, double a) = nullptr;
        void (*m_MoveTo)(void* cairo, double x, double y) = nullptr;
        void (*m_Unref)(void* object) = nullptr;
        bool m_Usable = false;

        static const Pango& Get()
        {
            static const Pango pango;
            return pango;
        }
        Pango()
        {
#ifdef __WXGTK3__
            Find(m_CreateLayout, "pango_cairo_create_layout");
            Find(m_SetFontDescription, "pango_layout_set_font_description");
            Find(m_SetText, "pango_layout_set_text");
            Find(m_ShowLayout, "pango_cairo_show_layout");
            Find(m_SetSource, "cairo_set_source_rgba");
            Find(m_MoveTo, "cairo_move_to");
            Find(m_Unref, "g_object_unref");
            m_Usable = m_CreateLayout && m_SetFontDescription && m_SetText && m_ShowLayout && m_SetSource &&
                       m_MoveTo && m_Unref;
#endif
        }
        template <class Function>
        static void Find(Function& function, const char* name)
        {
            function = reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
        }
    };

    wxFont m_LayoutFont;       // the font the layout has
    void* m_Cairo = nullptr;   // the context's, not owned
    void* m_Layout = nullptr;  // owned for the session
    wxDC* m_DC = nullptr;
    wxGraphicsContext* m_Context = nullptr;
    wxFont m_Font;
    wxColour m_Colour;
};
