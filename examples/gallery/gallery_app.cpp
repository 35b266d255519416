// Draws one sheet per colour scheme with every element the theme renderer
// paints, and saves each as "<scheme>.png"; then the live controls
// ("controls-<scheme>.png"), the dialogs ("dialogs-<scheme>.png"), the
// fast views ("views-<scheme>.png"), the drop-downs ("dropdowns-<scheme>.png")
// and the notebook ("notebook-<scheme>.png"):
//
//     dravik-gallery [output folder, default docs/gallery]
//
// New controls join the gallery as one more entry of Sections().
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <wx/evtloop.h>
#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/filename.h>
#include <wx/image.h>

#include "controls_sheet.h"
#include "dialogs_sheet.h"
#include "dropdowns_sheet.h"
#include "notebook_sheet.h"
#include "views_sheet.h"
#include "wxdravik/wxdravikapp.h"
#include "wxdravik/wxdravikcolors.h"

namespace
{
const int k_SheetWidth = 760;
const int k_Margin = 16;
const int k_TitleHeight = 22;
const int k_SectionGap = 14;

/// What a section draws with: the sheet's DC, the renderer and the fonts.
struct Sheet
{
    wxDC& dc;
    wxsRenderer& renderer;
    wxFont font;
    wxFont bold;

    void Label(const wxString& text, int x, int y) const
    {
        dc.SetFont(font);
        dc.SetTextForeground(wxsGetColor(COLOR_TEXT));
        dc.DrawText(text, x, y);
    }
};

/// One titled band of the sheet; draw gets the area below the title.
struct Section
{
    wxString title;
    int height;
    std::function<void(Sheet&, const wxRect&)> draw;
};

/// A control state worth showing, as renderer flags.
struct State
{
    wxString label;
    int flags;
};

/// One labelled sample of a row; draw gets the space above the label.
struct Cell
{
    wxString label;
    std::function<void(const wxRect&)> draw;
};

/// Lays cells out from left to right: the element on top, its label below.
void DrawCells(Sheet& sheet, const wxRect& area, int cellWidth, const std::vector<Cell>& cells)
{
    int x = area.x;
    for (const Cell& cell : cells)
    {
        cell.draw(wxRect(x, area.y, cellWidth, area.height - 18));
        sheet.Label(cell.label, x, area.y + area.height - 16);
        x += cellWidth;
    }
}

/// A row of 13-pixel marks in each state, labelled at their right as a
/// check box or radio button shows its text.
void DrawMarks(Sheet& sheet, const wxRect& area,
               const std::function<void(const wxRect&, int flags)>& drawMark)
{
    static const std::vector<State> states = {
        {"unchecked", 0},
        {"checked", wxCONTROL_CHECKED},
        {"disabled", wxCONTROL_DISABLED},
        {"disabled on", wxCONTROL_DISABLED | wxCONTROL_CHECKED},
        {"focused", wxCONTROL_FOCUSED},
        {"current", wxCONTROL_CURRENT},
        {"current on", wxCONTROL_CURRENT | wxCONTROL_CHECKED},
    };
    int x = area.x;
    for (const State& state : states)
    {
        drawMark(wxRect(x, area.y + 2, 13, 13), state.flags);
        sheet.Label(state.label, x + 19, area.y + 1);
        x += 104;
    }
}

const char* const k_ColorLabels[k_ColorNameCount] = {
    "BACKGROUND", "BACKGROUND_LIGHT", "FIELD",       "TEXT",         "RED",         "ORANGE",
    "YELLOW",     "GREEN",            "CYAN",        "BLUE",         "PURPLE",      "MAGENTA",
    "DARK_RED",   "DARK_ORANGE",      "DARK_YELLOW", "DARK_GREEN",   "DARK_CYAN",   "DARK_BLUE",
    "DARK_PURPLE", "DARK_MAGENTA",    "TEXT_DISABLED", "EDGE_LIGHT", "EDGE_DARK",   "CONTROL",
    "GLYPH",      "HIGHLIGHT",        "HEADER",
};

/// A drop-down field: the face, its text and the arrow at the right.
void DrawChoiceSample(Sheet& sheet, const wxRect& rect, const wxString& text, int flags)
{
    sheet.renderer.DrawChoice(nullptr, sheet.dc, rect, flags);
    sheet.dc.SetFont(sheet.font);
    sheet.dc.SetTextForeground(
        wxsGetColor((flags & wxCONTROL_DISABLED) ? COLOR_TEXT_DISABLED : COLOR_TEXT));
    const int textHeight = sheet.dc.GetCharHeight();
    sheet.dc.DrawText(text, rect.x + 6, rect.y + (rect.height - textHeight) / 2);
    sheet.renderer.DrawDropArrow(nullptr, sheet.dc, rect, flags);
}

std::vector<Section> Sections()
{
    std::vector<Section> sections;

    sections.push_back({"Check boxes", 18, [](Sheet& sheet, const wxRect& area) {
        DrawMarks(sheet, area, [&](const wxRect& mark, int flags) {
            sheet.renderer.DrawCheckBox(nullptr, sheet.dc, mark, flags);
        });
    }});

    sections.push_back({"Radio marks", 18, [](Sheet& sheet, const wxRect& area) {
        DrawMarks(sheet, area, [&](const wxRect& mark, int flags) {
            sheet.renderer.DrawRadioBitmap(nullptr, sheet.dc, mark, flags);
        });
    }});

    sections.push_back({"Choice faces", 44, [](Sheet& sheet, const wxRect& area) {
        const std::vector<State> states = {
            {"normal", 0},
            {"special (open, editable)", wxCONTROL_SPECIAL},
            {"disabled", wxCONTROL_DISABLED},
            {"special disabled", wxCONTROL_SPECIAL | wxCONTROL_DISABLED},
        };
        std::vector<Cell> cells;
        for (const State& state : states)
            cells.push_back({state.label, [&sheet, flags = state.flags](const wxRect& cell) {
                                 DrawChoiceSample(sheet, wxRect(cell.x, cell.y, 160, 24), "Render layer",
                                                  flags);
                             }});
        DrawCells(sheet, area, 180, cells);
    }});

    sections.push_back({"Combo drop buttons and drop arrows", 48, [](Sheet& sheet, const wxRect& area) {
        wxDC& dc = sheet.dc;
        wxsRenderer& renderer = sheet.renderer;
        DrawCells(sheet, area, 180,
                  {{"combo box",
                    [&](const wxRect& cell) {
                        const wxRect field(cell.x, cell.y, 160, 24);
                        dc.SetPen(wxPen(wxsGetColor(COLOR_EDGE_DARK)));
                        dc.SetBrush(wxBrush(wxsGetColor(COLOR_FIELD)));
                        dc.DrawRectangle(field);
                        sheet.Label("frame_####.exr", field.x + 6, field.y + 4);
                        const wxRect button(field.GetRight() - 20, field.y + 1, 20, 22);
                        renderer.DrawComboBoxDropButton(nullptr, dc, button);
                    }},
                   {"drop button",
                    [&](const wxRect& cell) {
                        renderer.DrawComboBoxDropButton(nullptr, dc, wxRect(cell.x, cell.y, 24, 24));
                    }},
                   {"arrow 20 x 20",
                    [&](const wxRect& cell) {
                        renderer.DrawDropArrow(nullptr, dc, wxRect(cell.x, cell.y, 20, 20));
                    }},
                   {"arrow 24 x 28", [&](const wxRect& cell) {
                        renderer.DrawDropArrow(nullptr, dc, wxRect(cell.x, cell.y, 24, 28));
                    }}});
    }});

    sections.push_back({"Focus rectangles and splitter sash", 78, [](Sheet& sheet, const wxRect& area) {
        wxDC& dc = sheet.dc;
        int x = area.x;
        for (const wxString text : {"Focused label", "Another focus"})
        {
            sheet.Label(text, x + 4, area.y + 4);
            const wxSize extent = dc.GetTextExtent(text);
            sheet.renderer.DrawFocusRect(nullptr, dc, wxRect(x, area.y, extent.x + 8, extent.y + 8), 0);
            x += extent.x + 30;
        }
        // The sash draws in window coordinates: move the origin to a pretend
        // splitter window, then lay its two panes over it.
        const wxRect splitter(area.x + 360, area.y, 340, area.height - 4);
        dc.SetDeviceOrigin(splitter.x, splitter.y);
        sheet.renderer.DrawSplitterSash(nullptr, dc, splitter.GetSize(), 160, wxVERTICAL, 0);
        sheet.renderer.DrawSplitterBorder(nullptr, dc, wxRect(wxPoint(0, 0), splitter.GetSize()), 0);
        dc.SetDeviceOrigin(0, 0);
        const int sash = sheet.renderer.GetSplitterParams(nullptr).widthSash;
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(wxsGetColor(COLOR_FIELD)));
        dc.DrawRectangle(splitter.x, splitter.y, 160, splitter.height);
        dc.DrawRectangle(splitter.x + 160 + sash, splitter.y, splitter.width - 160 - sash, splitter.height);
        sheet.Label("left pane", splitter.x + 8, splitter.y + 8);
        sheet.Label("right pane", splitter.x + 173, splitter.y + 8);
        sheet.Label("a splitter: the sash gap", splitter.x + 8, splitter.GetBottom() - 20);
    }});

    sections.push_back({"Graded rectangles (inner HIGHLIGHT, outer BACKGROUND)", 64,
                        [](Sheet& sheet, const wxRect& area) {
        struct Sample
        {
            const char* label;
            float exponent;
            bool bottom;
            bool top;
        };
        const Sample samples[] = {
            {"both, 1.4", 1.4f, true, true},   {"both, 1.7", 1.7f, true, true},
            {"both, 2.75", 2.75f, true, true}, {"bottom only", 1.7f, true, false},
            {"top only", 1.7f, false, true},   {"neither", 1.7f, false, false},
        };
        int x = area.x;
        for (const Sample& sample : samples)
        {
            DrawGradedRectangle(sheet.dc, wxRect(x, area.y, 108, 40), wxsGetColor(COLOR_HIGHLIGHT),
                                wxsGetColor(COLOR_BACKGROUND), sample.exponent, sample.bottom, sample.top);
            sheet.Label(sample.label, x, area.y + 44);
            x += 121;
        }
    }});

    sections.push_back({"Colours", 7 * 22, [](Sheet& sheet, const wxRect& area) {
        wxDC& dc = sheet.dc;
        const int columns = 4;
        const int columnWidth = area.width / columns;
        for (int i = 0; i < k_ColorNameCount; ++i)
        {
            const int x = area.x + (i / 7) * columnWidth;
            const int y = area.y + (i % 7) * 22;
            // The outline keeps a swatch visible when it matches the sheet.
            dc.SetPen(wxPen(wxsGetColor(COLOR_TEXT_DISABLED)));
            dc.SetBrush(wxBrush(wxsGetColor(ColorName(i))));
            dc.DrawRectangle(x, y, 28, 18);
            sheet.Label(k_ColorLabels[i], x + 36, y + 2);
        }
    }});

    return sections;
}

struct SchemeInfo
{
    ColorScheme scheme;
    const char* name;
};

const SchemeInfo k_Schemes[] = {
    {SCHEME_GREY, "grey"}, {SCHEME_LIGHT, "light"}, {SCHEME_DARK, "dark"},
    {SCHEME_BLACK, "black"}, {SCHEME_CUSTOM, "custom"},
};

wxBitmap DrawSheet(const wxString& heading, wxsRenderer& renderer)
{
    const std::vector<Section> sections = Sections();
    int height = k_Margin + 28;
    for (const Section& section : sections)
        height += k_TitleHeight + section.height + k_SectionGap;
    height += k_Margin - k_SectionGap;

    wxBitmap bitmap(k_SheetWidth, height, 24);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(wxBrush(wxsGetColor(COLOR_BACKGROUND)));
    dc.Clear();
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);

    Sheet sheet{dc, renderer, wxFont(wxFontInfo(9).Family(wxFONTFAMILY_SWISS)),
                wxFont(wxFontInfo(10).Family(wxFONTFAMILY_SWISS).Bold())};
    dc.SetFont(wxFont(wxFontInfo(13).Family(wxFONTFAMILY_SWISS).Bold()));
    dc.SetTextForeground(wxsGetColor(COLOR_TEXT));
    dc.DrawText(heading, k_Margin, k_Margin);

    int y = k_Margin + 28;
    const int contentWidth = k_SheetWidth - 2 * k_Margin;
    for (const Section& section : sections)
    {
        dc.SetFont(sheet.bold);
        dc.SetTextForeground(wxsGetColor(COLOR_TEXT));
        dc.DrawText(section.title, k_Margin, y);
        dc.SetPen(wxPen(wxsGetColor(COLOR_TEXT_DISABLED)));
        dc.DrawLine(k_Margin, y + k_TitleHeight - 4, k_Margin + contentWidth, y + k_TitleHeight - 4);
        y += k_TitleHeight;
        section.draw(sheet, wxRect(k_Margin, y, contentWidth, section.height));
        y += section.height + k_SectionGap;
    }
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

/// Keeps the scheme switches away from the user's own "Colors.ini" and from
/// the request sockets of any running program of the suite.
class PrivateSettings
{
public:
    PrivateSettings()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "dravik-gallery-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return;
        m_Path = pattern;
        setenv("XDG_CONFIG_HOME", (m_Path + "/config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", m_Path.c_str(), 1);
    }
    ~PrivateSettings()
    {
        std::error_code ignored;
        if (!m_Path.empty())
            std::filesystem::remove_all(m_Path, ignored);
    }
    PrivateSettings(const PrivateSettings&) = delete;
    PrivateSettings& operator=(const PrivateSettings&) = delete;
    bool IsReady() const { return !m_Path.empty(); }

private:
    std::string m_Path;
};

class GalleryApp : public wxApp
{
public:
    // The library's renderer draws the live controls of the controls sheet.
    wxAppTraits* CreateTraits() override { return new wxsTraits; }

    bool OnInit() override
    {
        m_Folder = argc > 1 ? argv[1] : wxString("docs/gallery");
        return true;
    }

    int OnRun() override
    {
        PrivateSettings settings;
        if (!settings.IsReady())
        {
            fprintf(stderr, "dravik-gallery: cannot create a private settings folder\n");
            return 1;
        }
        if (!wxFileName::Mkdir(m_Folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL))
        {
            fprintf(stderr, "dravik-gallery: cannot create %s\n", (const char*)m_Folder.utf8_str());
            return 1;
        }
        wxInitAllImageHandlers();

        // Show that the custom scheme is editable: a blue accent on dark.
        wxsSetCustomColor(COLOR_HIGHLIGHT, wxColour(70, 140, 230));
        wxsSetCustomColor(COLOR_HEADER, wxColour(60, 80, 110));
        wxsSetCustomColor(COLOR_CONTROL, wxColour(96, 104, 118));

        wxsRenderer renderer;
        wxGUIEventLoop loop;  // the live controls need one to be painted
        wxEventLoopActivator activate(&loop);
        int result = 0;
        for (const SchemeInfo& info : k_Schemes)
        {
            wxsSetColorScheme(info.scheme);
            wxString heading = wxString::Format("wxDravik theme renderer: %s scheme", info.name);
            if (info.scheme == SCHEME_CUSTOM)
                heading += " (dark, three colours edited)";
            const wxBitmap sheet = DrawSheet(heading, renderer);
            const wxString path = wxFileName(m_Folder, wxString(info.name) + ".png").GetFullPath();
            if (!sheet.SaveFile(path, wxBITMAP_TYPE_PNG))
            {
                fprintf(stderr, "dravik-gallery: cannot write %s\n", (const char*)path.utf8_str());
                result = 1;
            }
            else
                printf("%s\n", (const char*)path.utf8_str());

            const std::pair<const char*, std::function<wxBitmap(const wxString&)>> captured[] = {
                {"controls", [&](const wxString& name) {
                     return CaptureControlsSheet(wxString::Format("wxDravik controls: %s scheme", name));
                 }},
                {"dialogs", [&](const wxString& name) {
                     return CaptureDialogsSheet(wxString::Format("wxDravik dialogs: %s scheme", name));
                 }},
                {"views", [&](const wxString& name) {
                     return CaptureViewsSheet(wxString::Format("wxDravik views: %s scheme", name));
                 }},
                {"dropdowns", [&](const wxString& name) {
                     return CaptureDropdownsSheet(wxString::Format("wxDravik drop-downs: %s scheme", name));
                 }},
                {"notebook", [&](const wxString& name) {
                     return CaptureNotebookSheet(wxString::Format("wxDravik notebook: %s scheme", name));
                 }},
            };
            for (const auto& [kind, capture] : captured)
            {
                const wxBitmap bitmap = capture(info.name);
                const wxString shotPath =
                    wxFileName(m_Folder, wxString(kind) + "-" + info.name + ".png").GetFullPath();
                if (!bitmap.IsOk() || !bitmap.SaveFile(shotPath, wxBITMAP_TYPE_PNG))
                {
                    fprintf(stderr, "dravik-gallery: cannot capture the %s into %s\n", kind,
                            (const char*)shotPath.utf8_str());
                    result = 1;
                }
                else
                    printf("%s\n", (const char*)shotPath.utf8_str());
            }
        }
        return result;
    }

private:
    wxString m_Folder;
};
}

wxIMPLEMENT_APP(GalleryApp);
