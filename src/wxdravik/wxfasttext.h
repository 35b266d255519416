// Text drawn through a device context's graphics context, for views that
// draw hundreds of texts per repaint.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/font.h>
#include <wx/gdicmn.h>
#include <wx/graphics.h>

#include "wxdravik/wxdravikdefs.h"

/// One font's printable ASCII glyphs, rasterised once through Pango and cairo
/// and then copied straight into the pixels of a cairo image surface. A view
/// showing a page of text spends most of its repaint shaping every line
/// again; for plain ASCII the glyphs, their advances and the pair
/// adjustments (kerning) do not change, so they are kept.
///
/// The result must be the pixels Pango would give. Each glyph is taken from
/// Pango's own rendering, every pair of characters is rendered both ways the
/// first time it is met and compared, and a text with a pair that differs (a
/// ligature, a contextual form) or any other character is left to Pango.
class WXDRAVIK_API _GlyphCache
{
public:
    /// Builds the cache for the font in the pixel format and font options of
    /// the cairo context cairo (a cairo_t*). IsUsable() tells whether it can
    /// serve anything: not when text is rendered with sub-pixel colours or
    /// positions that are not whole pixels.
    _GlyphCache(void* cairo, const wxFont& font);
    ~_GlyphCache();
    _GlyphCache(const _GlyphCache&) = delete;
    _GlyphCache& operator=(const _GlyphCache&) = delete;

    bool IsUsable() const { return m_Usable; }
    const wxFont& GetFont() const { return m_Font; }
    int GetFormat() const { return m_Format; }

    /// The extent Pango gives text, or false when text is not served.
    bool Measure(const wxString& text, wxSize& extent);
    /// Draws text with its top left at (x, y) in user space of cairo, in
    /// colour, inside the context's clip; false (nothing drawn) when the text,
    /// the colour or the context is not served.
    bool Draw(void* cairo, const wxString& text, int x, int y, const wxColour& colour);

private:
    struct Glyph
    {
        int m_Left = 0, m_Top = 0;  // of the ink box, from the layout's origin
        int m_Width = 0, m_Height = 0;
        int m_Advance = 0;
        size_t m_Coverage = 0;  // offset in m_Coverage
        bool m_Served = false;  // the glyph comes from the font itself
    };
    struct Target;
    struct Scratch;

    bool Build(void* cairo);
    /// text as bytes in m_Bytes when every character is served.
    bool Accept(const wxString& text);
    /// The advance of a before b, or false when the pair is not served.
    bool PairAdvance(unsigned char a, unsigned char b, int& advance);
    bool CheckPair(unsigned char a, unsigned char b, int advance);
    /// Positions of m_Bytes' glyphs from x into m_Positions; false when a
    /// pair is not served.
    bool Place(int x);
    /// Draws the glyphs of bytes, whose origins are at positions and y.
    void Compose(Target& target, const std::string& bytes, const std::vector<int>& positions, int y,
                 uint32_t colour);
    const Glyph& GlyphOf(char c) const;
    /// colour through a box of coverage at (left, top) in user space.
    void Paint(Target& target, const uint8_t* coverage, int left, int top, int width, int height, uint32_t colour);
    /// The 256 results of colour over background, one per coverage.
    const uint32_t* Blended(uint32_t colour, uint32_t background);
    int TextWidth(const char* text, int length);

    wxFont m_Font;
    int m_Format = -1;
    bool m_Usable = false;
    int m_Height = 0;  // of every served text's extent
    int m_Margin = 0;  // room around a glyph in the scratch surfaces
    Glyph m_Glyphs[95];
    std::vector<uint8_t> m_Coverage;
    std::vector<int16_t> m_Pairs;  // 95 x 95 advances, or a mark
    std::unique_ptr<Scratch> m_Scratch;
    std::string m_Bytes;
    std::vector<int> m_Positions;
    std::vector<uint8_t> m_Mask;  // where glyphs of one text overlap
    std::vector<int> m_Lefts;     // the leftmost ink from each glyph on
    struct Blend
    {
        uint32_t m_Colour = 0, m_Background = 0;
        uint32_t m_Pixels[256] = {};
    };
    std::vector<Blend> m_Blends;
    size_t m_NextBlend = 0;  // the one to replace when all are taken
    size_t m_LastBlend = 0;  // the one found last
};

/// Draws single lines of text through the DC's graphics context when it has
/// one: the DC's own DrawText measures every text again to keep a bounding
/// box that views never read, a fifth of the cost of drawing it. On GTK
/// printable ASCII text is copied from a glyph cache kept for the drawer's
/// font; other text goes through one Pango layout kept for the whole
/// session, where the context would make a new layout for every text;
/// elsewhere the context's font is set again only when the DC's font or text
/// colour changed. A Session ties the drawer to one DC while it lives.
class WXDRAVIK_API _FastTextDrawer
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

    _FastTextDrawer();
    ~_FastTextDrawer();
    _FastTextDrawer(const _FastTextDrawer&) = delete;
    _FastTextDrawer& operator=(const _FastTextDrawer&) = delete;

    void Start(wxDC& dc);
    void Stop();
    /// Whether text for dc goes through this drawer.
    bool Serves(const wxDC& dc) const { return m_DC == &dc; }

    void Draw(const wxString& text, int x, int y);
    /// Limits the session's drawing to rect (user space) until the matching
    /// PopClip. Through cairo itself when it can: the graphics context makes
    /// a path object for every clip, a tenth of a list's drawing.
    void PushClip(const wxRect& rect);
    void PopClip();
    /// The extent dc.GetTextExtent would give, from the glyph cache; false
    /// when the cache does not serve the text.
    bool Measure(const wxString& text, wxSize& extent);

private:
    _GlyphCache* CacheFor(const wxFont& font);

    wxFont m_LayoutFont;       // the font the layout has
    void* m_Cairo = nullptr;   // the context's, not owned
    void* m_Layout = nullptr;  // owned for the session
    wxDC* m_DC = nullptr;
    wxGraphicsContext* m_Context = nullptr;
    wxFont m_Font;
    wxColour m_Colour;
    std::unique_ptr<_GlyphCache> m_Glyphs;  // kept across sessions
    int m_ExtentHeight = -1;               // of measured texts; -1: not measured here
    int m_TargetFormat = -1;               // of the session's image surface; -1: none
};
