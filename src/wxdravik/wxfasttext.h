// Text drawn through a device context's graphics context, for views that
// draw hundreds of texts per repaint.
#pragma once

#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/font.h>
#include <wx/graphics.h>

/// Draws single lines of text through the DC's graphics context when it has
/// one: the DC's own DrawText measures every text again to keep a bounding
/// box that views never read, a fifth of the cost of drawing it. The
/// context's font is set again only when the DC's font or text colour
/// changed. A Session ties the drawer to one DC while it lives.
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
    }
    void Stop() { m_DC = nullptr; }
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
        if (!(font == m_Font) || colour != m_Colour)
        {
            m_Context->SetFont(font, colour);
            m_Font = font;
            m_Colour = colour;
        }
        m_Context->DrawText(text, x, y);
    }

private:
    wxDC* m_DC = nullptr;
    wxGraphicsContext* m_Context = nullptr;
    wxFont m_Font;
    wxColour m_Colour;
};
