#include "wxdravik/wxfasttext.h"

#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include <wx/fontutil.h>

namespace
{
struct CairoMatrix
{
    double xx, yx, xy, yy, x0, y0;
};
struct CairoRectangle
{
    double x, y, width, height;
};
struct CairoRectangleList
{
    int status;
    CairoRectangle* rectangles;
    int count;
};
struct PangoRectangle
{
    int x, y, width, height;
};

const int k_FormatArgb32 = 0, k_FormatRgb24 = 1;
const int k_SurfaceImage = 0;
const int k_OperatorOver = 2;
const int k_PangoScale = 1024;
const unsigned k_FirstChar = 0x20, k_Chars = 95;  // printable ASCII
const int16_t k_PairUnknown = INT16_MIN, k_PairRefused = INT16_MIN + 1;

/// The Pango and cairo calls, looked up in the libraries the toolkit has
/// loaded (their development files are not needed to build).
struct Api
{
    void* (*CreateLayout)(void* cairo) = nullptr;
    void (*SetFontDescription)(void* layout, const void* description) = nullptr;
    void (*SetText)(void* layout, const char* text, int length) = nullptr;
    void (*ShowLayout)(void* cairo, void* layout) = nullptr;
    void (*GetExtents)(void* layout, PangoRectangle* ink, PangoRectangle* logical) = nullptr;
    void (*Unref)(void* object) = nullptr;
    void (*SetSource)(void* cairo, double r, double g, double b, double a) = nullptr;
    void (*MoveTo)(void* cairo, double x, double y) = nullptr;
    void (*Paint)(void* cairo) = nullptr;
    void* (*Create)(void* surface) = nullptr;
    void (*Destroy)(void* cairo) = nullptr;
    void* (*GetTarget)(void* cairo) = nullptr;
    int (*GetOperator)(void* cairo) = nullptr;
    void (*GetMatrix)(void* cairo, CairoMatrix* matrix) = nullptr;
    CairoRectangleList* (*CopyClipRectangles)(void* cairo) = nullptr;
    void (*DestroyRectangles)(CairoRectangleList* list) = nullptr;
    void* (*CreateFontOptions)() = nullptr;
    void (*DestroyFontOptions)(void* options) = nullptr;
    void (*GetFontOptions)(void* cairo, void* options) = nullptr;
    void (*SetFontOptions)(void* cairo, const void* options) = nullptr;
    void* (*CreateImage)(int format, int width, int height) = nullptr;
    void (*DestroySurface)(void* surface) = nullptr;
    int (*SurfaceType)(void* surface) = nullptr;
    void (*Flush)(void* surface) = nullptr;
    void (*MarkDirty)(void* surface) = nullptr;
    void (*DeviceOffset)(void* surface, double* x, double* y) = nullptr;
    void (*DeviceScale)(void* surface, double* x, double* y) = nullptr;
    int (*ImageFormat)(void* surface) = nullptr;
    unsigned char* (*ImageData)(void* surface) = nullptr;
    int (*ImageStride)(void* surface) = nullptr;
    int (*ImageWidth)(void* surface) = nullptr;
    int (*ImageHeight)(void* surface) = nullptr;
    void (*Save)(void* cairo) = nullptr;
    void (*Restore)(void* cairo) = nullptr;
    void (*NewPath)(void* cairo) = nullptr;
    void (*Rectangle)(void* cairo, double x, double y, double width, double height) = nullptr;
    void (*Clip)(void* cairo) = nullptr;
    bool m_Text = false;    // enough for one layout per session
    bool m_Glyphs = false;  // enough for the glyph cache
    bool m_Clip = false;    // enough to clip to rectangles

    static const Api& Get()
    {
        static const Api api;
        return api;
    }

private:
    Api()
    {
#ifdef __WXGTK3__
        m_Text = Find(CreateLayout, "pango_cairo_create_layout") &&
                 Find(SetFontDescription, "pango_layout_set_font_description") &&
                 Find(SetText, "pango_layout_set_text") && Find(ShowLayout, "pango_cairo_show_layout") &&
                 Find(SetSource, "cairo_set_source_rgba") && Find(MoveTo, "cairo_move_to") &&
                 Find(Unref, "g_object_unref");
        m_Glyphs = m_Text && Find(GetExtents, "pango_layout_get_extents") && Find(Paint, "cairo_paint") &&
                   Find(Create, "cairo_create") && Find(Destroy, "cairo_destroy") &&
                   Find(GetTarget, "cairo_get_target") && Find(GetOperator, "cairo_get_operator") &&
                   Find(GetMatrix, "cairo_get_matrix") &&
                   Find(CopyClipRectangles, "cairo_copy_clip_rectangle_list") &&
                   Find(DestroyRectangles, "cairo_rectangle_list_destroy") &&
                   Find(CreateFontOptions, "cairo_font_options_create") &&
                   Find(DestroyFontOptions, "cairo_font_options_destroy") &&
                   Find(GetFontOptions, "cairo_get_font_options") &&
                   Find(SetFontOptions, "cairo_set_font_options") &&
                   Find(CreateImage, "cairo_image_surface_create") &&
                   Find(DestroySurface, "cairo_surface_destroy") && Find(SurfaceType, "cairo_surface_get_type") &&
                   Find(Flush, "cairo_surface_flush") && Find(MarkDirty, "cairo_surface_mark_dirty") &&
                   Find(DeviceOffset, "cairo_surface_get_device_offset") &&
                   Find(DeviceScale, "cairo_surface_get_device_scale") &&
                   Find(ImageFormat, "cairo_image_surface_get_format") &&
                   Find(ImageData, "cairo_image_surface_get_data") &&
                   Find(ImageStride, "cairo_image_surface_get_stride") &&
                   Find(ImageWidth, "cairo_image_surface_get_width") &&
                   Find(ImageHeight, "cairo_image_surface_get_height");
        m_Clip = Find(Save, "cairo_save") && Find(Restore, "cairo_restore") && Find(NewPath, "cairo_new_path") &&
                 Find(Rectangle, "cairo_rectangle") && Find(Clip, "cairo_clip");
#endif
    }
    template <class Function>
    static bool Find(Function& function, const char* name)
    {
        function = reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
        return function != nullptr;
    }
};

const void* DescriptionOf(const wxFont& font)
{
    const wxNativeFontInfo* info = font.IsOk() ? font.GetNativeFontInfo() : nullptr;
    return info ? info->description : nullptr;
}

// A coverage m of an opaque colour over a pixel, byte by byte and rounded
// as cairo's compositor does (two bytes per multiplication), so that the
// result is the pixel cairo would write.
inline uint32_t MultiplyBytes(uint32_t x, unsigned a)
{
    uint32_t rb = (x & 0xff00ff) * a + 0x800080;
    rb = ((rb + ((rb >> 8) & 0xff00ff)) >> 8) & 0xff00ff;
    uint32_t ag = ((x >> 8) & 0xff00ff) * a + 0x800080;
    ag = (ag + ((ag >> 8) & 0xff00ff)) & 0xff00ff00;
    return rb | ag;
}

inline uint32_t AddBytes(uint32_t x, uint32_t y)
{
    uint32_t rb = (x & 0xff00ff) + (y & 0xff00ff);
    rb = (rb | (0x10000100 - ((rb >> 8) & 0xff00ff))) & 0xff00ff;
    uint32_t ag = ((x >> 8) & 0xff00ff) + ((y >> 8) & 0xff00ff);
    ag = (ag | (0x10000100 - ((ag >> 8) & 0xff00ff))) & 0xff00ff;
    return rb | (ag << 8);
}

inline void Over(uint32_t& pixel, uint32_t colour, unsigned coverage)
{
    if (coverage == 255)
        pixel = colour;
    else if (coverage)
        pixel = AddBytes(MultiplyBytes(colour, coverage), MultiplyBytes(pixel, 255 - coverage));
}

/// The colour as an opaque pixel of a cairo image surface.
uint32_t Opaque(const wxColour& colour)
{
    return 0xff000000u | (uint32_t(colour.Red()) << 16) | (uint32_t(colour.Green()) << 8) | colour.Blue();
}

bool Whole(double value)
{
    return value == std::floor(value) && std::fabs(value) < 1e7;
}
}  // namespace

/// The pixels one draw writes into: an image surface, the offset from user
/// space to its pixels and the clip, in pixels.
struct _GlyphCache::Target
{
    unsigned char* m_Data = nullptr;
    int m_Stride = 0;
    int m_OffsetX = 0, m_OffsetY = 0;
    std::vector<wxRect> m_Clip;
};

/// Two small surfaces of the cache's pixel format and a layout, for
/// rasterising glyphs and for comparing pairs.
struct _GlyphCache::Scratch
{
    Scratch(int format, int width, int height, void* fontOptions, const void* description)
        : m_Width(width), m_Height(height)
    {
        const Api& api = Api::Get();
        for (int i = 0; i < 2; ++i)
        {
            m_Surface[i] = api.CreateImage(format, width, height);
            m_Cairo[i] = api.Create(m_Surface[i]);
            api.SetFontOptions(m_Cairo[i], fontOptions);
        }
        m_Layout = api.CreateLayout(m_Cairo[0]);
        api.SetFontDescription(m_Layout, description);
    }
    ~Scratch()
    {
        const Api& api = Api::Get();
        api.Unref(m_Layout);
        for (int i = 0; i < 2; ++i)
        {
            api.Destroy(m_Cairo[i]);
            api.DestroySurface(m_Surface[i]);
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    void Fill(int i, const wxColour& colour)
    {
        const Api& api = Api::Get();
        api.SetSource(m_Cairo[i], colour.Red() / 255.0, colour.Green() / 255.0, colour.Blue() / 255.0, 1);
        api.Paint(m_Cairo[i]);
    }
    /// text rendered by Pango into surface 0 with its layout origin at (x, y).
    void Render(const char* text, int length, int x, int y, const wxColour& colour)
    {
        const Api& api = Api::Get();
        api.SetText(m_Layout, text, length);
        api.SetSource(m_Cairo[0], colour.Red() / 255.0, colour.Green() / 255.0, colour.Blue() / 255.0, 1);
        api.MoveTo(m_Cairo[0], x, y);
        api.ShowLayout(m_Cairo[0], m_Layout);
        api.Flush(m_Surface[0]);
    }
    /// The logical extent of text in Pango units.
    PangoRectangle Extent(const char* text, int length)
    {
        const Api& api = Api::Get();
        api.SetText(m_Layout, text, length);
        PangoRectangle ink{}, logical{};
        api.GetExtents(m_Layout, &ink, &logical);
        return logical;
    }
    uint32_t* Row(int i, int y) const
    {
        const Api& api = Api::Get();
        return reinterpret_cast<uint32_t*>(api.ImageData(m_Surface[i]) + size_t(y) * api.ImageStride(m_Surface[i]));
    }

    void* m_Surface[2] = {};
    void* m_Cairo[2] = {};
    void* m_Layout = nullptr;
    int m_Width, m_Height;
};

_GlyphCache::_GlyphCache(void* cairo, const wxFont& font) : m_Font(font)
{
    m_Usable = Build(cairo);
    if (!m_Usable)
        m_Scratch.reset();
}

_GlyphCache::~_GlyphCache() = default;

bool _GlyphCache::Build(void* cairo)
{
    const Api& api = Api::Get();
    if (!api.m_Glyphs || !cairo)
        return false;
    void* target = api.GetTarget(cairo);
    if (api.SurfaceType(target) != k_SurfaceImage)
        return false;
    // Known from here on, so that a cache refused for this font and format
    // is kept rather than built again for every text.
    m_Format = api.ImageFormat(target);
    const void* description = DescriptionOf(m_Font);
    if (!description || (m_Format != k_FormatArgb32 && m_Format != k_FormatRgb24))
        return false;

    // The line's height from a layout on the real context, then scratch
    // surfaces with the same font options, roomy enough for any two glyphs.
    void* layout = api.CreateLayout(cairo);
    api.SetFontDescription(layout, description);
    api.SetText(layout, "Xg", 2);
    PangoRectangle ink{}, logical{};
    api.GetExtents(layout, &ink, &logical);
    api.Unref(layout);
    m_Margin = (logical.height + k_PangoScale - 1) / k_PangoScale + 2;
    if (m_Margin < 3 || m_Margin > 400)
        return false;
    void* options = api.CreateFontOptions();
    api.GetFontOptions(cairo, options);
    m_Scratch = std::make_unique<Scratch>(m_Format, m_Margin * 8, m_Margin * 3, options, description);
    api.DestroyFontOptions(options);
    m_Height = m_Scratch->Extent("Xg", 2).height;

    // Each glyph white on black: a pixel's value is the glyph's coverage.
    // Colour fringes mean sub-pixel rendering, which a coverage cannot hold.
    for (unsigned c = 0; c < k_Chars; ++c)
    {
        const char text = char(k_FirstChar + c);
        const PangoRectangle extent = m_Scratch->Extent(&text, 1);
        if (extent.width % k_PangoScale != 0 || extent.width < 0)
            return false;  // positions that are not whole pixels
        Glyph& glyph = m_Glyphs[c];
        glyph.m_Advance = extent.width / k_PangoScale;
        glyph.m_Served = extent.height == m_Height;  // else from another font, with other metrics
        if (!glyph.m_Served)
            continue;
        m_Scratch->Fill(0, *wxBLACK);
        m_Scratch->Render(&text, 1, m_Margin, m_Margin, *wxWHITE);
        int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
        for (int y = 0; y < m_Scratch->m_Height; ++y)
        {
            const uint32_t* row = m_Scratch->Row(0, y);
            for (int x = 0; x < m_Scratch->m_Width; ++x)
            {
                const uint32_t red = (row[x] >> 16) & 0xff, green = (row[x] >> 8) & 0xff, blue = row[x] & 0xff;
                if (red != green || red != blue)
                    return false;
                if (red)
                {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        if (right < 0)
            continue;  // no ink: a space
        if (left == 0 || top == 0 || right == m_Scratch->m_Width - 1 || bottom == m_Scratch->m_Height - 1)
            return false;  // the glyph may reach beyond the scratch
        glyph.m_Left = left - m_Margin;
        glyph.m_Top = top - m_Margin;
        glyph.m_Width = right - left + 1;
        glyph.m_Height = bottom - top + 1;
        glyph.m_Coverage = m_Coverage.size();
        for (int y = top; y <= bottom; ++y)
        {
            const uint32_t* row = m_Scratch->Row(0, y);
            for (int x = left; x <= right; ++x)
                m_Coverage.push_back(uint8_t(row[x] & 0xff));
        }
    }
    m_Pairs.assign(k_Chars * k_Chars, k_PairUnknown);
    return true;
}

const _GlyphCache::Glyph& _GlyphCache::GlyphOf(char c) const
{
    return m_Glyphs[static_cast<unsigned char>(c) - k_FirstChar];
}

bool _GlyphCache::Accept(const wxString& text)
{
    if (!m_Usable || text.empty())
        return false;
    m_Bytes.resize(text.length());
    size_t i = 0;
    for (wxString::const_iterator it = text.begin(); it != text.end(); ++it, ++i)
    {
        const wxUint32 code = wxUniChar(*it).GetValue();
        if (code < k_FirstChar || code >= k_FirstChar + k_Chars || !m_Glyphs[code - k_FirstChar].m_Served)
            return false;
        m_Bytes[i] = char(code);
    }
    return true;
}

bool _GlyphCache::PairAdvance(unsigned char a, unsigned char b, int& advance)
{
    int16_t& pair = m_Pairs[(a - k_FirstChar) * k_Chars + (b - k_FirstChar)];
    if (pair == k_PairUnknown)
    {
        const char text[2] = {char(a), char(b)};
        const PangoRectangle extent = m_Scratch->Extent(text, 2);
        const int width = extent.width / k_PangoScale - GlyphOf(char(b)).m_Advance;
        const bool whole = extent.width % k_PangoScale == 0 && extent.height == m_Height;
        pair = whole && width > k_PairRefused && width < INT16_MAX && CheckPair(a, b, width) ? int16_t(width)
                                                                                             : k_PairRefused;
    }
    advance = pair;
    return pair != k_PairRefused;
}

bool _GlyphCache::CheckPair(unsigned char a, unsigned char b, int advance)
{
    // Colours that make every byte of the blend matter.
    const wxColour background(30, 60, 250), colour(200, 40, 90);
    const char text[2] = {char(a), char(b)};
    m_Scratch->Fill(0, background);
    m_Scratch->Render(text, 2, m_Margin, m_Margin, colour);
    m_Scratch->Fill(1, background);
    const Api& api = Api::Get();
    api.Flush(m_Scratch->m_Surface[1]);
    Target target;
    target.m_Data = api.ImageData(m_Scratch->m_Surface[1]);
    target.m_Stride = api.ImageStride(m_Scratch->m_Surface[1]);
    target.m_Clip.emplace_back(0, 0, m_Scratch->m_Width, m_Scratch->m_Height);
    const std::vector<int> positions = {m_Margin, m_Margin + advance};
    Compose(target, std::string(text, 2), positions, m_Margin, Opaque(colour));
    api.MarkDirty(m_Scratch->m_Surface[1]);
    const uint32_t compared = m_Format == k_FormatRgb24 ? 0xffffff : 0xffffffff;
    for (int y = 0; y < m_Scratch->m_Height; ++y)
    {
        const uint32_t *pango = m_Scratch->Row(0, y), *ours = m_Scratch->Row(1, y);
        for (int x = 0; x < m_Scratch->m_Width; ++x)
            if ((pango[x] ^ ours[x]) & compared)
                return false;
    }
    return true;
}

bool _GlyphCache::Place(int x)
{
    const size_t count = m_Bytes.size();
    m_Positions.resize(count + 1);
    int position = x;
    for (size_t i = 0; i < count; ++i)
    {
        m_Positions[i] = position;
        const unsigned char c = static_cast<unsigned char>(m_Bytes[i]);
        int advance = GlyphOf(char(c)).m_Advance;
        if (i + 1 < count && !PairAdvance(c, static_cast<unsigned char>(m_Bytes[i + 1]), advance))
            return false;
        position += advance;
    }
    m_Positions[count] = position;
    return true;
}

bool _GlyphCache::Measure(const wxString& text, wxSize& extent)
{
    if (!Accept(text) || !Place(0))
        return false;
    extent = wxSize(m_Positions.back(), m_Height / k_PangoScale);
    return true;
}

void _GlyphCache::Compose(Target& target, const std::string& bytes, const std::vector<int>& positions, int y,
                          uint32_t colour)
{
    // Glyphs whose boxes overlap are added into one coverage first, as cairo
    // composes such a text; a glyph clear of its neighbours goes straight to
    // the pixels, which gives the same. A group ends where no later glyph
    // reaches back into it (an italic glyph may lean past its neighbour).
    const size_t count = bytes.size();
    m_Lefts.resize(count + 1);
    m_Lefts[count] = INT_MAX;
    for (size_t i = count; i-- > 0;)
    {
        const Glyph& glyph = GlyphOf(bytes[i]);
        m_Lefts[i] = glyph.m_Width ? std::min(m_Lefts[i + 1], positions[i] + glyph.m_Left) : m_Lefts[i + 1];
    }
    size_t first = 0;
    while (first < count)
    {
        int left = INT_MAX, right = INT_MIN, top = INT_MAX, bottom = INT_MIN;
        size_t end = first, inked = 0;
        for (; end < count; ++end)
        {
            const Glyph& glyph = GlyphOf(bytes[end]);
            if (!glyph.m_Width)
                continue;
            const int glyphLeft = positions[end] + glyph.m_Left;
            if (inked && m_Lefts[end] >= right)
                break;  // this glyph and all after it are clear of the group
            ++inked;
            left = std::min(left, glyphLeft);
            right = std::max(right, glyphLeft + glyph.m_Width);
            top = std::min(top, y + glyph.m_Top);
            bottom = std::max(bottom, y + glyph.m_Top + glyph.m_Height);
        }
        if (inked == 1)
        {
            for (size_t i = first; i < end; ++i)
            {
                const Glyph& glyph = GlyphOf(bytes[i]);
                if (glyph.m_Width)
                    Paint(target, &m_Coverage[glyph.m_Coverage], positions[i] + glyph.m_Left, y + glyph.m_Top,
                          glyph.m_Width, glyph.m_Height, colour);
            }
        }
        else if (inked > 1)
        {
            const int width = right - left, height = bottom - top;
            m_Mask.assign(size_t(width) * height, 0);
            for (size_t i = first; i < end; ++i)
            {
                const Glyph& glyph = GlyphOf(bytes[i]);
                for (int row = 0; row < glyph.m_Height; ++row)
                {
                    uint8_t* mask =
                        &m_Mask[size_t(y + glyph.m_Top + row - top) * width + (positions[i] + glyph.m_Left - left)];
                    const uint8_t* cover = &m_Coverage[glyph.m_Coverage + size_t(row) * glyph.m_Width];
                    for (int column = 0; column < glyph.m_Width; ++column)
                        mask[column] = uint8_t(std::min(255, mask[column] + cover[column]));
                }
            }
            Paint(target, m_Mask.data(), left, top, width, height, colour);
        }
        first = end;
    }
}

void _GlyphCache::Paint(Target& target, const uint8_t* coverage, int left, int top, int width, int height,
                        uint32_t colour)
{
    const wxRect box(left + target.m_OffsetX, top + target.m_OffsetY, width, height);
    for (const wxRect& clip : target.m_Clip)
    {
        const wxRect area = box.Intersect(clip);
        if (area.IsEmpty())
            continue;
        // Text lies on plain backgrounds: over the colour of the area's first
        // pixel every coverage has its result ready.
        const uint32_t background =
            reinterpret_cast<const uint32_t*>(target.m_Data + size_t(area.y) * target.m_Stride)[area.x];
        const uint32_t* blended = Blended(colour, background);
        for (int row = area.y; row < area.y + area.height; ++row)
        {
            uint32_t* pixel = reinterpret_cast<uint32_t*>(target.m_Data + size_t(row) * target.m_Stride) + area.x;
            const uint8_t* cover = coverage + size_t(row - box.y) * width + (area.x - box.x);
            for (int column = 0; column < area.width; ++column)
            {
                const unsigned amount = cover[column];
                if (!amount)
                    continue;  // most of a glyph's box is not ink
                if (pixel[column] == background)
                    pixel[column] = blended[amount];
                else
                    Over(pixel[column], colour, amount);
            }
        }
    }
}

const uint32_t* _GlyphCache::Blended(uint32_t colour, uint32_t background)
{
    const size_t k_MostPairs = 8;
    // Glyph after glyph of a text asks for the same pair.
    if (m_LastBlend < m_Blends.size() && m_Blends[m_LastBlend].m_Colour == colour &&
        m_Blends[m_LastBlend].m_Background == background)
        return m_Blends[m_LastBlend].m_Pixels;
    for (m_LastBlend = 0; m_LastBlend < m_Blends.size(); ++m_LastBlend)
        if (m_Blends[m_LastBlend].m_Colour == colour && m_Blends[m_LastBlend].m_Background == background)
            return m_Blends[m_LastBlend].m_Pixels;
    if (m_Blends.size() < k_MostPairs)
        m_Blends.emplace_back();
    // A fresh entry has no colour (every colour served is opaque); once all
    // are taken they are replaced in turn.
    m_LastBlend = m_Blends.back().m_Colour == 0 ? m_Blends.size() - 1 : m_NextBlend++ % k_MostPairs;
    Blend& blend = m_Blends[m_LastBlend];
    blend.m_Colour = colour;
    blend.m_Background = background;
    for (unsigned coverage = 0; coverage < 256; ++coverage)
    {
        blend.m_Pixels[coverage] = background;
        Over(blend.m_Pixels[coverage], colour, coverage);
    }
    return blend.m_Pixels;
}

bool _GlyphCache::Draw(void* cairo, const wxString& text, int x, int y, const wxColour& colour)
{
    if (colour.Alpha() != wxALPHA_OPAQUE || !Accept(text))
        return false;
    const Api& api = Api::Get();
    void* surface = api.GetTarget(cairo);
    if (api.SurfaceType(surface) != k_SurfaceImage || api.ImageFormat(surface) != m_Format ||
        api.GetOperator(cairo) != k_OperatorOver)
        return false;
    CairoMatrix matrix{};
    api.GetMatrix(cairo, &matrix);
    double offsetX = 0, offsetY = 0, scaleX = 1, scaleY = 1;
    api.DeviceOffset(surface, &offsetX, &offsetY);
    api.DeviceScale(surface, &scaleX, &scaleY);
    if (matrix.xx != 1 || matrix.yy != 1 || matrix.xy != 0 || matrix.yx != 0 || scaleX != 1 || scaleY != 1 ||
        !Whole(matrix.x0 + offsetX) || !Whole(matrix.y0 + offsetY))
        return false;
    if (!Place(x))
        return false;

    Target target;
    target.m_OffsetX = int(matrix.x0 + offsetX);
    target.m_OffsetY = int(matrix.y0 + offsetY);
    CairoRectangleList* clip = api.CopyClipRectangles(cairo);
    bool servable = clip && clip->status == 0;
    const wxRect surfaceRect(0, 0, api.ImageWidth(surface), api.ImageHeight(surface));
    for (int i = 0; servable && i < clip->count; ++i)
    {
        // The rectangles are in user space.
        const CairoRectangle& r = clip->rectangles[i];
        servable = Whole(r.x) && Whole(r.y) && Whole(r.width) && Whole(r.height);
        const wxRect area = wxRect(int(r.x) + target.m_OffsetX, int(r.y) + target.m_OffsetY, int(r.width),
                                   int(r.height))
                                .Intersect(surfaceRect);
        if (servable && !area.IsEmpty())
            target.m_Clip.push_back(area);
    }
    if (clip)
        api.DestroyRectangles(clip);
    if (!servable)
        return false;
    if (target.m_Clip.empty())
        return true;  // all clipped away

    api.Flush(surface);
    target.m_Data = api.ImageData(surface);
    target.m_Stride = api.ImageStride(surface);
    if (!target.m_Data)
        return false;
    Compose(target, m_Bytes, m_Positions, y, Opaque(colour));
    api.MarkDirty(surface);
    return true;
}

// --- _FastTextDrawer ------------------------------------------------------------

_FastTextDrawer::_FastTextDrawer() = default;

_FastTextDrawer::~_FastTextDrawer()
{
    Stop();
}

void _FastTextDrawer::Start(wxDC& dc)
{
    m_DC = &dc;
    m_Context = dc.GetGraphicsContext();
    m_Font = wxFont();
    m_Colour = wxColour();
    m_LayoutFont = wxFont();
    const Api& api = Api::Get();
    m_Cairo = m_Context && api.m_Text ? m_Context->GetNativeContext() : nullptr;
    m_Layout = nullptr;  // made when a text needs it
    m_TargetFormat = -1;
    if (m_Cairo && api.m_Glyphs)
    {
        void* target = api.GetTarget(m_Cairo);
        if (api.SurfaceType(target) == k_SurfaceImage)
            m_TargetFormat = api.ImageFormat(target);
    }
}

void _FastTextDrawer::Stop()
{
    if (m_Layout)
        Api::Get().Unref(m_Layout);
    m_Layout = nullptr;
    m_Cairo = nullptr;
    m_DC = nullptr;
}

_GlyphCache* _FastTextDrawer::CacheFor(const wxFont& font)
{
    if (m_TargetFormat < 0)
        return nullptr;  // the glyphs are copied into image surfaces only
    if (!m_Glyphs || !(m_Glyphs->GetFont() == font) || m_Glyphs->GetFormat() != m_TargetFormat)
    {
        m_Glyphs = std::make_unique<_GlyphCache>(m_Cairo, font);
        if (m_Glyphs->IsUsable())
        {
            // Measuring must give what the DC gives, to the pixel.
            const wxString sample = "Wide, narrow: il1 MW 0.5%";
            wxSize extent;
            wxCoord width = 0, height = 0;
            m_DC->GetTextExtent(sample, &width, &height);
            m_ExtentHeight = m_Glyphs->Measure(sample, extent) && extent.x == width ? height : -1;
        }
    }
    return m_Glyphs->IsUsable() ? m_Glyphs.get() : nullptr;
}

void _FastTextDrawer::Draw(const wxString& text, int x, int y)
{
    if (!m_Context)
    {
        m_DC->DrawText(text, x, y);
        return;
    }
    const wxFont& font = m_DC->GetFont();
    const wxColour& colour = m_DC->GetTextForeground();
    const void* description = m_Cairo ? DescriptionOf(font) : nullptr;
    if (description)
    {
        _GlyphCache* glyphs = CacheFor(font);
        if (glyphs && glyphs->Draw(m_Cairo, text, x, y, colour))
            return;
        const Api& api = Api::Get();
        if (!m_Layout)
        {
            m_Layout = api.CreateLayout(m_Cairo);
            m_LayoutFont = wxFont();
        }
        if (!(font == m_LayoutFont))
        {
            api.SetFontDescription(m_Layout, description);
            m_LayoutFont = font;
        }
        const wxScopedCharBuffer utf8 = text.utf8_str();
        api.SetText(m_Layout, utf8.data(), int(utf8.length()));
        api.SetSource(m_Cairo, colour.Red() / 255.0, colour.Green() / 255.0, colour.Blue() / 255.0,
                      colour.Alpha() / 255.0);
        api.MoveTo(m_Cairo, x, y);
        api.ShowLayout(m_Cairo, m_Layout);
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

void _FastTextDrawer::PushClip(const wxRect& rect)
{
    const Api& api = Api::Get();
    if (m_Cairo && api.m_Clip)
    {
        api.Save(m_Cairo);
        api.NewPath(m_Cairo);  // between the DC's drawing calls there is no path to keep
        api.Rectangle(m_Cairo, rect.x, rect.y, rect.width, rect.height);
        api.Clip(m_Cairo);
    }
    else if (m_Context)
    {
        m_Context->PushState();
        m_Context->Clip(rect.x, rect.y, rect.width, rect.height);
    }
    else
        m_DC->SetClippingRegion(rect);
}

void _FastTextDrawer::PopClip()
{
    const Api& api = Api::Get();
    if (m_Cairo && api.m_Clip)
        api.Restore(m_Cairo);
    else if (m_Context)
        m_Context->PopState();
    else
        m_DC->DestroyClippingRegion();
}

bool _FastTextDrawer::Measure(const wxString& text, wxSize& extent)
{
    if (!m_DC || !m_Cairo)
        return false;
    _GlyphCache* glyphs = CacheFor(m_DC->GetFont());
    if (!glyphs || m_ExtentHeight < 0 || !glyphs->Measure(text, extent))
        return false;
    extent.y = m_ExtentHeight;
    return true;
}
