#include "wxdravik/wxcolorscheme.h"

#include <algorithm>

#include <wx/log.h>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdravikframe.h"
#include "wxdravik/wxdravikstring.h"

namespace
{
struct Rgb
{
    unsigned char r, g, b;
};

// Columns in ColorName order. The custom scheme has no row of its own: it
// starts as a copy of the dark one.
const Rgb k_Defaults[SCHEME_CUSTOM][k_ColorNameCount] = {
    // SCHEME_GREY
    {{185, 185, 185}, {210, 210, 210}, {168, 168, 168}, {52, 52, 52},    {235, 30, 19},   {184, 99, 0},
     {165, 145, 28},  {0, 115, 0},     {0, 166, 166},   {0, 31, 166},    {136, 0, 255},   {225, 0, 205},
     {185, 25, 10},   {152, 82, 0},    {190, 180, 55},  {31, 166, 0},    {40, 180, 180},  {0, 0, 165},
     {108, 52, 148},  {145, 26, 116},  {85, 90, 105},   {165, 165, 165}, {69, 69, 69},    {155, 155, 155},
     {0, 0, 0},       {222, 163, 62},  {168, 168, 168}},
    // SCHEME_LIGHT
    {{233, 233, 233}, {255, 255, 255}, {215, 215, 215}, {10, 10, 10},    {245, 25, 12},   {191, 80, 0},
     {242, 227, 19},  {0, 165, 0},     {0, 166, 166},   {0, 31, 166},    {136, 0, 255},   {225, 0, 205},
     {185, 25, 10},   {132, 68, 0},    {190, 180, 55},  {31, 166, 0},    {40, 180, 180},  {0, 0, 165},
     {108, 52, 148},  {145, 26, 116},  {85, 90, 105},   {205, 205, 205}, {55, 55, 55},    {200, 200, 200},
     {0, 0, 0},       {250, 169, 35},  {211, 211, 211}},
    // SCHEME_DARK
    {{72, 72, 72},    {92, 92, 92},    {56, 56, 56},    {235, 235, 235}, {255, 60, 33},   {255, 136, 0},
     {255, 225, 0},   {0, 255, 0},     {0, 255, 255},   {132, 153, 245}, {147, 46, 255},  {255, 0, 230},
     {185, 25, 10},   {200, 127, 42},  {190, 180, 55},  {80, 190, 55},   {40, 180, 180},  {0, 0, 165},
     {123, 92, 156},  {214, 9, 135},   {160, 170, 190}, {165, 165, 165}, {69, 69, 69},    {108, 108, 108},
     {255, 255, 255}, {224, 145, 61},  {115, 115, 115}},
    // SCHEME_BLACK
    {{32, 32, 32},    {58, 58, 58},    {12, 12, 12},    {205, 205, 205}, {235, 40, 23},   {235, 156, 0},
     {235, 210, 0},   {0, 235, 0},     {0, 235, 235},   {130, 150, 235}, {147, 46, 255},  {235, 0, 230},
     {185, 25, 10},   {200, 127, 42},  {190, 180, 55},  {80, 190, 55},   {40, 180, 180},  {0, 0, 165},
     {123, 92, 156},  {214, 9, 135},   {160, 170, 190}, {145, 145, 145}, {49, 49, 49},    {75, 75, 75},
     {235, 235, 235}, {199, 129, 16},  {55, 55, 55}},
};

typedef wxColour SchemeTable[k_ColorSchemeCount][k_ColorNameCount];

SchemeTable& Table()
{
    // Built on first use so that another module's load-time code can already
    // ask for a colour; s_TableAtLoad below makes sure that happens at load.
    static SchemeTable table;
    static const bool built = [] {
        for (int scheme = 0; scheme < k_ColorSchemeCount; ++scheme)
        {
            const Rgb* row = k_Defaults[scheme == SCHEME_CUSTOM ? SCHEME_DARK : scheme];
            for (int name = 0; name < k_ColorNameCount; ++name)
                table[scheme][name] = wxColour(row[name].r, row[name].g, row[name].b);
        }
        return true;
    }();
    (void)built;
    return table;
}

const bool s_TableAtLoad = (Table(), true);

ColorScheme s_CurrentScheme = SCHEME_DARK;

bool IsScheme(int value)
{
    return unsigned(value) < unsigned(k_ColorSchemeCount);
}

Path ColorSchemePath()
{
    Path path = File::GetUserDir();
    path /= Path::Branch(true, true);
    path /= Path("Colors.ini");
    return path;
}

/// A colour text as the toolkit reads it; anything it cannot parse gives an
/// invalid colour, quietly: the text comes from a file anyone may have edited.
wxColour ParseColour(const String& text)
{
    wxLogNull quiet;
    wxColour colour;
    if (!colour.Set(wxsToWx(text)))
        return wxColour();
    return colour;
}

void SaveColorScheme()
{
    try
    {
        IniFile ini(false);
        ini.SetValue(String(), "scheme", int(s_CurrentScheme));
        for (int name = 0; name < k_ColorNameCount; ++name)
        {
            const wxColour& custom = Table()[SCHEME_CUSTOM][name];
            // An invalid colour has no text to keep; without the key it reads
            // back as the dark colour in the other programs.
            if (custom.IsOk() && custom != Table()[SCHEME_DARK][name])
                ini.SetValue(String(), String::FromInt(name), wxsFromWx(custom.GetAsString(wxC2S_HTML_SYNTAX)));
        }
        ini.Save(ColorSchemePath());
    }
    catch (Exception* exception)
    {
        delete exception;
    }
}

void NotifyOtherPrograms()
{
    // This program has already repainted. The others are told without waiting
    // for them: a peer whose GUI thread is busy applies the change when it gets
    // to it, and holds up nobody here meanwhile.
    String self;
    if (DravikClientApp* app = dynamic_cast<DravikClientApp*>(Application::the_Application))
        if (app->IsListening())
            self = app->GetComponentName();

    for (int index = 0; index < Components::k_Count; ++index)
    {
        const String name = Components::GetName(index);
        if (name == self || !Components::DidStart(name))
            continue;
        LogInfo("Notifying color changed to: " + name);
        Application::PostRequest(Path(name), "COLORS");
    }
}

int ClampChannel(int value)
{
    return std::min(255, std::max(0, value));
}

/// An invalid custom colour counts as black in the arithmetic rather than
/// tripping the toolkit's checks in the middle of a paint.
wxColour Usable(const wxColour& colour)
{
    return colour.IsOk() ? colour : wxColour(0, 0, 0);
}
}

wxColour& wxsGetColor(ColorScheme scheme, ColorName name)
{
    return Table()[scheme][name];
}

wxColour wxsGetColor(ColorName name)
{
    return Table()[s_CurrentScheme][name];
}

void wxsSetCustomColor(ColorName name, const wxColour& colour)
{
    Table()[SCHEME_CUSTOM][name] = colour;
}

ColorScheme wxsSetColorScheme(ColorScheme scheme)
{
    if (scheme == SCHEME_QUERY)
        return s_CurrentScheme;
    s_CurrentScheme = IsScheme(scheme) ? scheme : SCHEME_DARK;
    SaveColorScheme();
    wxDravikFrame::ProcessColorChange();
    NotifyOtherPrograms();
    return s_CurrentScheme;
}

void wxsLoadColorScheme()
{
    try
    {
        const Path path = ColorSchemePath();
        // A folder in the file's place is not a settings file: leave all as is.
        if (File::IsDirectory(path))
            return;
        const IniFile ini(path, true, false);
        const int scheme = ini.GetValue(String(), "scheme", int(s_CurrentScheme));
        if (IsScheme(scheme))
            s_CurrentScheme = ColorScheme(scheme);
        for (int name = 0; name < k_ColorNameCount; ++name)
        {
            const String text = ini.GetValue(String(), String::FromInt(name), String());
            if (!text.Empty())
                Table()[SCHEME_CUSTOM][name] = ParseColour(text);
        }
    }
    catch (Exception* exception)
    {
        delete exception;
    }
}

wxString wxsGetColorSchemePath()
{
    return wxsToWx(ColorSchemePath().GetString());
}

wxColour AdjustColour(const wxColour& c, int dr, int dg, int db)
{
    const wxColour base = Usable(c);
    return wxColour(ClampChannel(base.Red() + dr), ClampChannel(base.Green() + dg), ClampChannel(base.Blue() + db),
                    255);
}

wxColour BlendColour(const wxColour& a, const wxColour& b, double t)
{
    t = t > 0 ? (t < 1 ? t : 1.0) : 0.0;  // NaN falls to 0 as well
    const wxColour from = Usable(a);
    const wxColour to = Usable(b);
    // Truncated towards zero; with t in [0, 1] the result stays in range.
    auto mix = [t](int x, int y) { return int(x * (1.0 - t) + y * t); };
    return wxColour(mix(from.Red(), to.Red()), mix(from.Green(), to.Green()), mix(from.Blue(), to.Blue()), 255);
}
