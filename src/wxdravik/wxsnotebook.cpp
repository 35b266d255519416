// The notebook with saved layout, its tab art and its dock art.
#include "wxdravik/wxsnotebook.h"

#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <vector>

#include <wx/control.h>
#include <wx/dc.h>
#include <wx/pen.h>
#include <wx/renderer.h>
#include <wx/wupdlock.h>

#include "draviklib/draviklib.h"
#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxsrenderer.h"

namespace
{
const char* const k_WindowSection = "Window";
const char* const k_DummyPane = "dummy";

// Bounds for the docking manager's numbers read from a stored text: far
// beyond any real layout, small enough that its sums cannot overflow.
const long k_MaxLayer = 16;
const long k_MaxRow = 64;
const long k_MaxPos = 1024;
const long k_MaxProportion = 1000000;
const long k_MaxExtent = 16384;

/// One tab group of a parsed perspective: its pane name (empty: let the
/// docking manager name it), its pages in tab order, and which of them is
/// its active page.
struct _TabGroup
{
    wxString name;
    std::vector<size_t> pages;
    size_t active = 0;
};

struct _NotebookLayout
{
    std::vector<_TabGroup> groups;
    size_t selected = 0;
    wxString manager;  // the docking manager's part, unchecked
};

enum class _ParseResult
{
    Ok,
    Malformed,  // empty or without "@": not a text of this format
    NoPages,    // well formed, but no group holds a page of this notebook
};

/// Names that can travel through both parts of the text unescaped and
/// cannot clash with the manager's placeholder pane.
bool _IsUsablePaneName(const wxString& name)
{
    if (name.empty() || name.length() > 64 || name == k_DummyPane)
        return false;
    for (wxUniChar c : name)
    {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '_' || c == '-' || c == '.';
        if (!plain)
            return false;
    }
    return true;
}

/// The value of the leading decimal digits, saturating instead of
/// overflowing; false when the text does not start with a digit.
bool _LeadingIndex(const wxString& text, size_t& value)
{
    value = 0;
    size_t digits = 0;
    for (wxUniChar c : text)
    {
        if (c < '0' || c > '9')
            break;
        const size_t digit = static_cast<size_t>(c.GetValue() - '0');
        value = value > (SIZE_MAX - digit) / 10 ? SIZE_MAX : value * 10 + digit;
        ++digits;
    }
    return digits > 0;
}

/// Splits the notebook's part of a perspective into tab groups for a
/// notebook of pageCount pages. Indices out of range, repeated or without
/// digits are dropped, groups left without pages are dropped, and pages the
/// text does not name join the last group.
_ParseResult _ParseLayout(const wxString& text, size_t pageCount, _NotebookLayout& layout)
{
    const int at = text.Find('@');
    if (text.empty() || at == wxNOT_FOUND)
        return _ParseResult::Malformed;
    layout.manager = text.Mid(at + 1);

    std::vector<bool> placed(pageCount, false);
    std::set<wxString> names;
    for (const wxString& groupText : wxSplit(text.Left(at), '|', '\0'))
    {
        if (groupText.empty())
            continue;
        _TabGroup group;
        const wxString name = groupText.BeforeFirst('=');
        // A repeated or unusable name gets a fresh one from the manager, so
        // that two groups never share a pane.
        if (_IsUsablePaneName(name) && names.insert(name).second)
            group.name = name;
        for (wxString entry : wxSplit(groupText.AfterFirst('='), ',', '\0'))
        {
            const wxUniChar mark = entry.empty() ? wxUniChar(' ') : entry[0];
            if (mark == '*' || mark == '+')
                entry.erase(0, 1);
            size_t index;
            if (!_LeadingIndex(entry, index) || index >= pageCount || placed[index])
                continue;
            placed[index] = true;
            group.pages.push_back(index);
            if (mark == '*')
                layout.selected = index;
            if (mark == '*' || mark == '+')
                group.active = group.pages.size() - 1;
        }
        if (!group.pages.empty())
            layout.groups.push_back(group);
    }
    if (layout.groups.empty())
        return _ParseResult::NoPages;
    for (size_t index = 0; index < pageCount; ++index)
        if (!placed[index])
            layout.groups.back().pages.push_back(index);
    return _ParseResult::Ok;
}

/// A whole decimal number (optional sign), or false.
bool _ParseLong(wxString text, long& value)
{
    text.Trim(true).Trim(false);
    return !text.empty() && text.ToLong(&value);
}

/// The docking manager's part rebuilt from what it says about our own panes:
/// unknown panes and keys, repeats and malformed entries are dropped, numbers
/// are brought into range (sizes to at most limit, which is the largest a
/// dock may take of the notebook), and each pane keeps the state and size
/// limits it has now, so that a stored text can neither hide, float,
/// maximise nor squeeze a group away. Empty when the text is not a manager
/// perspective at all.
wxString _CleanManagerPerspective(const wxString& text, const std::map<wxString, wxAuiPaneInfo>& panes,
                                  const wxSize& limit)
{
    wxArrayString tokens = wxSplit(text, '|', '\0');
    if (tokens.empty() || wxString(tokens[0]).Trim(true).Trim(false) != "layout2")
        return wxString();

    wxString result = "layout2|";
    std::set<wxString> seenPanes;
    std::set<std::vector<long>> seenDocks;
    for (size_t t = 1; t < tokens.size(); ++t)
    {
        const wxString token = wxString(tokens[t]).Trim(true).Trim(false);
        if (token.StartsWith("dock_size"))
        {
            const wxArrayString numbers =
                wxSplit(token.BeforeFirst('=').AfterFirst('(').BeforeLast(')'), ',', '\0');
            long dir, layer, row, size;
            if (numbers.size() != 3 || !_ParseLong(numbers[0], dir) || !_ParseLong(numbers[1], layer) ||
                !_ParseLong(numbers[2], row) || !_ParseLong(token.AfterFirst('='), size) ||
                dir < wxAUI_DOCK_TOP || dir > wxAUI_DOCK_CENTER)
                continue;
            layer = std::clamp(layer, 0L, k_MaxLayer);
            row = std::clamp(row, 0L, k_MaxRow);
            if (!seenDocks.insert({dir, layer, row}).second)
                continue;
            const long most = (dir == wxAUI_DOCK_TOP || dir == wxAUI_DOCK_BOTTOM) ? limit.y : limit.x;
            result += wxString::Format("dock_size(%ld,%ld,%ld)=%ld|", dir, layer, row, std::clamp(size, 0L, most));
            continue;
        }

        std::map<wxString, wxString> values;
        for (const wxString& pair : wxSplit(token, ';', '\0'))
        {
            const wxString key = pair.BeforeFirst('=').Lower().Trim(true).Trim(false);
            if (!key.empty() && !values.count(key))
                values[key] = pair.AfterFirst('=');
        }
        const wxString name = wxString(values["name"]).Trim(true).Trim(false);
        const auto pane = panes.find(name);
        if (pane == panes.end() || !seenPanes.insert(name).second)
            continue;
        const wxAuiPaneInfo& now = pane->second;
        // Each number falls back to the pane's present value when missing or malformed.
        auto number = [&values](const char* key, long fallback, long low, long high) {
            long value;
            const auto found = values.find(key);
            if (found == values.end() || !_ParseLong(found->second, value))
                value = fallback;
            return std::clamp(value, low, high);
        };
        long dir = number("dir", now.dock_direction, 0, LONG_MAX);
        if (dir < wxAUI_DOCK_TOP || dir > wxAUI_DOCK_CENTER)
            dir = now.dock_direction;
        result += wxString::Format(
            "name=%s;caption=;state=%u;dir=%ld;layer=%ld;row=%ld;pos=%ld;prop=%ld;bestw=%ld;besth=%ld;"
            "minw=%ld;minh=%ld;maxw=%ld;maxh=%ld;floatx=%ld;floaty=%ld;floatw=%ld;floath=%ld|",
            name, now.state, dir, number("layer", now.dock_layer, 0, k_MaxLayer),
            number("row", now.dock_row, 0, k_MaxRow), number("pos", now.dock_pos, 0, k_MaxPos),
            number("prop", 100000, 1, k_MaxProportion), number("bestw", now.best_size.x, -1, limit.x),
            number("besth", now.best_size.y, -1, limit.y), static_cast<long>(now.min_size.x),
            static_cast<long>(now.min_size.y), static_cast<long>(now.max_size.x),
            static_cast<long>(now.max_size.y),
            number("floatx", now.floating_pos.x, -k_MaxExtent, k_MaxExtent),
            number("floaty", now.floating_pos.y, -k_MaxExtent, k_MaxExtent),
            number("floatw", now.floating_size.x, -1, k_MaxExtent),
            number("floath", now.floating_size.y, -1, k_MaxExtent));
    }
    return result;
}

wxPen _LinePen(const wxColour& colour)
{
    wxPen pen(colour, 1, wxPENSTYLE_SOLID);
    pen.SetJoin(wxJOIN_MITER);
    pen.SetCap(wxCAP_BUTT);
    return pen;
}
}  // namespace

// ---------------------------------------------------------------- tab art

wxAuiTabArt* wxsTabArt::Clone()
{
    return new wxsTabArt(*this);
}

void wxsTabArt::DrawBackground(wxDC& dc, wxWindow*, const wxRect& rect)
{
    DrawGradedRectangle(dc, rect, wxsGetColor(COLOR_BACKGROUND), wxsGetColor(COLOR_BACKGROUND_LIGHT), 1.4f, false,
                        true);
    // The band along the edge that meets the pages.
    const wxRect band(-1, (m_flags & wxAUI_NB_BOTTOM) ? 0 : rect.height - 4, rect.width + 2, 4);
    DrawGradedRectangle(dc, band, wxsGetColor(COLOR_BACKGROUND), wxsGetColor(COLOR_FIELD), 2.0f, false, true);
}

void wxsTabArt::DrawTab(wxDC& dc, wxWindow* wnd, const wxAuiNotebookPage& page, const wxRect& inRect,
                        int closeButtonState, wxRect* outTabRect, wxRect* outButtonRect, int* xExtent)
{
    // An empty caption is measured as a typical one.
    const wxString measured = page.caption.empty() ? wxString("Xj") : page.caption;
    wxCoord selectedTextX, selectedTextY, normalTextX, normalTextY;
    dc.SetFont(m_selectedFont);
    dc.GetTextExtent(measured, &selectedTextX, &selectedTextY);
    dc.SetFont(m_normalFont);
    dc.GetTextExtent(measured, &normalTextX, &normalTextY);

    const wxSize tabSize = GetTabSize(dc, wnd, page.caption, page.bitmap, page.active, closeButtonState, xExtent);
    const wxCoord tabHeight = m_tabCtrlHeight - 3;
    const wxCoord tabWidth = tabSize.x;
    const wxCoord tabX = inRect.x;
    const wxCoord tabY = inRect.y + inRect.height - tabHeight;

    // Both kinds of tab draw with the normal font; the selected one only measures.
    dc.SetFont(m_normalFont);
    const wxCoord textY = normalTextY;

    int clipWidth = tabWidth;
    if (tabX + clipWidth > inRect.x + inRect.width)
        clipWidth = inRect.x + inRect.width - tabX;
    dc.SetClippingRegion(tabX, tabY, clipWidth + 1, tabHeight - 3);

    wxPoint border[6];
    if (m_flags & wxAUI_NB_BOTTOM)
    {
        border[0] = wxPoint(tabX, tabY);
        border[1] = wxPoint(tabX, tabY + tabHeight - 6);
        border[2] = wxPoint(tabX + 2, tabY + tabHeight - 4);
        border[3] = wxPoint(tabX + tabWidth - 2, tabY + tabHeight - 4);
        border[4] = wxPoint(tabX + tabWidth, tabY + tabHeight - 6);
        border[5] = wxPoint(tabX + tabWidth, tabY);
    }
    else
    {
        border[0] = wxPoint(tabX, tabY + tabHeight - 4);
        border[1] = wxPoint(tabX, tabY + 2);
        border[2] = wxPoint(tabX + 2, tabY);
        border[3] = wxPoint(tabX + tabWidth - 2, tabY);
        border[4] = wxPoint(tabX + tabWidth, tabY + 2);
        border[5] = wxPoint(tabX + tabWidth, tabY + tabHeight - 4);
    }
    const int drawnTabY = border[1].y;
    const int drawnTabHeight = border[0].y - border[1].y;

    const wxColour highlight = wxsGetColor(COLOR_HIGHLIGHT);
    if (page.active)
        DrawGradedRectangle(dc, wxRect(tabX + 1, tabY + 1, tabWidth - 1, tabHeight - 1), highlight,
                            highlight.ChangeLightness(60), 2.75f, true, false);
    else
        DrawGradedRectangle(dc, wxRect(tabX, tabY + 1, tabWidth, tabHeight - 3),
                            wxsGetColor(COLOR_BACKGROUND_LIGHT), wxsGetColor(COLOR_BACKGROUND), 2.75f, true, false);

    dc.SetPen(_LinePen(AdjustColour(wxsGetColor(COLOR_FIELD), -20, -20, -20)));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawPolygon(WXSIZEOF(border), border);
    if (page.active)
    {
        // Opens the active tab towards its page.
        dc.SetPen(_LinePen(wxsGetColor(COLOR_BACKGROUND_LIGHT)));
        dc.DrawLine(border[0].x + 1, border[0].y, border[5].x, border[5].y);
    }

    int textOffset;
    int bitmapOffset = 0;
    if (page.bitmap.IsOk())
    {
        bitmapOffset = tabX + wnd->FromDIP(8);
        const wxBitmap bitmap = page.bitmap.GetBitmapFor(wnd);
        dc.DrawBitmap(bitmap, bitmapOffset, drawnTabY + drawnTabHeight / 2 - bitmap.GetLogicalHeight() / 2, true);
        textOffset = bitmapOffset + bitmap.GetLogicalWidth() + wnd->FromDIP(3);
    }
    else
    {
        textOffset = tabX + wnd->FromDIP(8);
    }

    int closeButtonWidth = 0;
    if (closeButtonState != wxAUI_BUTTON_STATE_HIDDEN)
    {
        const bool lit =
            closeButtonState == wxAUI_BUTTON_STATE_HOVER || closeButtonState == wxAUI_BUTTON_STATE_PRESSED;
        const wxBitmap bmp = (lit ? m_activeCloseBmp : m_disabledCloseBmp).GetBitmapFor(wnd);
        const int offsetY = (m_flags & wxAUI_NB_BOTTOM) ? 1 : tabY - 1;
        wxRect rect(tabX + tabWidth - bmp.GetLogicalWidth() - wnd->FromDIP(1),
                    offsetY + tabHeight / 2 - bmp.GetLogicalHeight() / 2, bmp.GetLogicalWidth(), tabHeight);
        if (closeButtonState == wxAUI_BUTTON_STATE_PRESSED)
            rect.Offset(wnd->FromDIP(wxSize(1, 1)).x, wnd->FromDIP(wxSize(1, 1)).y);
        dc.DrawBitmap(bmp, rect.x, rect.y, true);
        *outButtonRect = rect;
        closeButtonWidth = bmp.GetLogicalWidth();
    }

    const wxString text = wxControl::Ellipsize(page.caption, dc, wxELLIPSIZE_END,
                                               tabWidth - (textOffset - tabX) - closeButtonWidth);
    const wxColour inverse(255 - highlight.Red(), 255 - highlight.Green(), 255 - highlight.Blue());
    dc.SetTextForeground(page.active ? inverse.ChangeLightness(-25) : wxsGetColor(COLOR_TEXT).ChangeLightness(80));
    dc.DrawText(text, textOffset, drawnTabY + drawnTabHeight / 2 - textY / 2 - 1);

    if (page.active && wnd->FindFocus() == wnd)
    {
        const wxRect textRect(textOffset, drawnTabY + drawnTabHeight / 2 - textY / 2 - 1, selectedTextX,
                              selectedTextY);
        wxRect focusRect;
        if (page.bitmap.IsOk())
        {
            const wxBitmap bitmap = page.bitmap.GetBitmapFor(wnd);
            const wxRect bitmapRect(bitmapOffset, drawnTabY + drawnTabHeight / 2 - bitmap.GetLogicalHeight() / 2,
                                    bitmap.GetLogicalWidth(), bitmap.GetLogicalHeight());
            focusRect = text.empty() ? bitmapRect : textRect.Union(bitmapRect);
        }
        else if (!text.empty())
        {
            focusRect = textRect;
        }
        focusRect.Inflate(2, 2);
        wxRendererNative::Get().DrawFocusRect(wnd, dc, focusRect, 0);
    }

    *outTabRect = wxRect(tabX, tabY, tabWidth, tabHeight);
    dc.DestroyClippingRegion();
}

// ---------------------------------------------------------------- dock art

wxsDockArt::~wxsDockArt() = default;

void wxsDockArt::DrawSash(wxDC& dc, wxWindow*, int, const wxRect& rect)
{
    const wxColour control = wxsGetColor(COLOR_CONTROL);
    dc.SetBrush(wxBrush(control));
    dc.SetPen(_LinePen(control));
    dc.DrawRectangle(rect);
}

void wxsDockArt::DrawBorder(wxDC& dc, wxWindow*, const wxRect& rect, wxAuiPaneInfo&)
{
    // Lighter than a dark background, darker than a light one.
    const wxColour background = wxsGetColor(COLOR_BACKGROUND);
    const int step = background.Green() < 128 ? 48 : -48;
    dc.SetPen(_LinePen(AdjustColour(background, step, step, step)));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(rect);
}

void wxsDockArt::UpdateColoursFromSystem()
{
    wxAuiDefaultDockArt::UpdateColoursFromSystem();
    ApplySchemeColours();
}

void wxsDockArt::ApplySchemeColours()
{
    SetColour(wxAUI_DOCKART_BACKGROUND_COLOUR, wxsGetColor(COLOR_FIELD));
    SetColour(wxAUI_DOCKART_BORDER_COLOUR, wxsGetColor(COLOR_FIELD));
}

// ---------------------------------------------------------------- notebook

/// Sits on top of the notebook's event handlers to see the mouse button
/// going up at the end of a sash drag between tab groups, which the docking
/// manager handles without telling anyone.
class wxsNotebook::_SashWatcher : public wxEvtHandler
{
public:
    explicit _SashWatcher(wxsNotebook* notebook) : m_Notebook(notebook)
    {
        Bind(wxEVT_LEFT_UP, &_SashWatcher::OnLeftUp, this);
    }

private:
    void OnLeftUp(wxMouseEvent& event)
    {
        event.Skip();
        // The manager holds the mouse for the whole of a drag it handles.
        if (m_Notebook->HasCapture())
            m_Notebook->CallAfter(&wxsNotebook::SaveLayout);
    }

    wxsNotebook* m_Notebook;
};

wxBEGIN_EVENT_TABLE(wxsNotebook, wxAuiNotebook)
    EVT_AUINOTEBOOK_DRAG_DONE(wxID_ANY, wxsNotebook::TabDrag)
    EVT_SPLITTER_SASH_POS_CHANGED(wxID_ANY, wxsNotebook::SashDrag)
    EVT_CHILD_FOCUS(wxsNotebook::ChildFocusEvent)
wxEND_EVENT_TABLE()

wxsNotebook::wxsNotebook(wxWindow* parent, int id, const String& layoutKey)
    : wxAuiNotebook(parent, id, wxDefaultPosition, wxDefaultSize,
                    wxAUI_NB_TOP | wxAUI_NB_TAB_SPLIT | wxAUI_NB_TAB_MOVE | wxAUI_NB_SCROLL_BUTTONS | wxBORDER_NONE),
      m_LayoutKey(layoutKey),
      m_DockArt(nullptr)
{
    Manage(this);

    wxFont font = *wxSMALL_FONT;
    font.SetFractionalPointSize(font.GetFractionalPointSize() + 1);
    wxFont measuring = font;
    measuring.SetFractionalPointSize(font.GetFractionalPointSize() + 2);
    // The fonts go in before the art does: installing it sizes the tab row.
    auto tabArt = std::make_unique<wxsTabArt>();
    tabArt->SetNormalFont(font);
    tabArt->SetSelectedFont(font);
    tabArt->SetMeasuringFont(measuring);
    tabArt->SetActiveColour(wxsGetColor(COLOR_HIGHLIGHT));
    tabArt->SetColour(wxsGetColor(COLOR_BACKGROUND));
    SetArtProvider(tabArt.release());  // the notebook owns it from here on
    SetNormalFont(font);
    SetSelectedFont(font);
    SetMeasuringFont(measuring);

    auto dockArt = std::make_unique<wxsDockArt>();
    dockArt->ApplySchemeColours();
    m_DockArt = dockArt.get();
    m_mgr.SetArtProvider(dockArt.release());  // the manager owns it from here on
    m_mgr.SetFlags(wxAUI_MGR_ALLOW_FLOATING | wxAUI_MGR_TRANSPARENT_HINT | wxAUI_MGR_HINT_FADE |
                   wxAUI_MGR_NO_VENETIAN_BLINDS_FADE | wxAUI_MGR_LIVE_RESIZE);

    m_SashWatcher = std::make_unique<_SashWatcher>(this);
    PushEventHandler(m_SashWatcher.get());
}

wxsNotebook::~wxsNotebook()
{
    RemoveEventHandler(m_SashWatcher.get());
}

wxAuiTabCtrl* wxsNotebook::_TabCtrlOfPane(const wxAuiPaneInfo& pane)
{
    for (wxWindow* child : GetChildren())
    {
        auto* ctrl = dynamic_cast<wxAuiTabCtrl*>(child);
        if (ctrl && GetTabFrameFromTabCtrl(ctrl) == pane.window)
            return ctrl;
    }
    return nullptr;
}

wxString wxsNotebook::SavePerspective()
{
    const int current = GetSelection();
    wxString text;
    wxAuiPaneInfoArray& panes = m_mgr.GetAllPanes();
    for (size_t i = 0; i < panes.GetCount(); ++i)
    {
        if (panes[i].name == k_DummyPane)
            continue;
        wxAuiTabCtrl* ctrl = _TabCtrlOfPane(panes[i]);
        if (!ctrl)
            continue;
        if (!text.empty())
            text += '|';
        text += panes[i].name + '=';
        const int active = ctrl->GetActivePage();
        for (size_t j = 0; j < ctrl->GetPageCount(); ++j)
        {
            const int index = FindPage(ctrl->GetWindowFromIdx(j));
            if (j > 0)
                text += ',';
            if (index == current)
                text += '*';
            else if (static_cast<int>(j) == active)
                text += '+';
            text += wxString::Format("%llu", static_cast<unsigned long long>(index));
        }
    }
    return text + '@' + m_mgr.SavePerspective();
}

bool wxsNotebook::LoadPerspective(const wxString& text)
{
    _NotebookLayout layout;
    const _ParseResult parsed = _ParseLayout(text, GetPageCount(), layout);
    if (parsed == _ParseResult::NoPages && GetPageCount() > 0)
        LogWarning("Notebook loaded empty perspective but now has tabs. Try resetting Dravik preferences");
    if (parsed != _ParseResult::Ok)
        return false;

    wxWindowUpdateLocker frozen(this);

    // Take every page out of its tab control; the emptied tab frames go.
    for (size_t i = 0; i < GetPageCount(); ++i)
    {
        wxAuiTabCtrl* ctrl;
        int index;
        if (FindTab(GetPage(i), &ctrl, &index))
            ctrl->RemovePage(GetPage(i));
    }
    RemoveEmptyTabFrames();

    // The toolkit makes a tab frame only when the manager holds none, so each
    // new frame is set aside until all exist and then added back in order.
    struct BuiltGroup
    {
        wxAuiTabCtrl* ctrl;
        wxWindow* frame;
        wxAuiPaneInfo pane;
    };
    std::vector<BuiltGroup> built;
    for (const _TabGroup& group : layout.groups)
    {
        m_curPage = -1;
        wxAuiTabCtrl* ctrl = GetActiveTabCtrl();
        wxWindow* frame = GetTabFrameFromTabCtrl(ctrl);
        wxAuiPaneInfo& pane = m_mgr.GetPane(frame);
        if (!group.name.empty())
            pane.Name(group.name);
        // A group the stored text does not place gets the size of a fresh split.
        pane.Bottom().CaptionVisible(false).BestSize(CalculateNewSplitSize());
        for (size_t index : group.pages)
        {
            wxAuiNotebookPage info = m_tabs.GetPage(index);
            info.active = false;
            ctrl->AddPage(info.window, info);
        }
        ctrl->SetActivePage(group.active);
        built.push_back({ctrl, frame, pane});
        m_mgr.DetachPane(frame);
    }
    std::map<wxString, wxAuiPaneInfo> panesByName;
    for (BuiltGroup& group : built)
    {
        // A stored name that happens to match one the manager made meanwhile
        // gives way to a fresh one.
        if (m_mgr.GetPane(group.pane.name).IsOk())
            group.pane.name.clear();
        m_mgr.AddPane(group.frame, group.pane);
        const wxAuiPaneInfo& added = m_mgr.GetPane(group.frame);
        panesByName[added.name] = added;
    }

    // A stored dock may not crowd out the others: at most three quarters of
    // a notebook that has its size already, the absolute bound otherwise.
    const wxSize client = GetClientSize();
    const wxSize limit(client.x > 100 ? client.x * 3 / 4 : k_MaxExtent,
                       client.y > 100 ? client.y * 3 / 4 : k_MaxExtent);
    const wxString manager = _CleanManagerPerspective(layout.manager, panesByName, limit);
    if (!manager.empty())
        m_mgr.LoadPerspective(manager, false);
    // Whatever the text said, every group is shown and docked, the
    // placeholder stays hidden, and one group fills the centre.
    bool centreFound = false;
    wxAuiPaneInfoArray& panes = m_mgr.GetAllPanes();
    for (size_t i = 0; i < panes.GetCount(); ++i)
    {
        if (panes[i].name == k_DummyPane)
        {
            panes[i].Hide();
            continue;
        }
        panes[i].Show().Dock().CaptionVisible(false);
        centreFound = centreFound || panes[i].dock_direction == wxAUI_DOCK_CENTER;
    }
    if (!centreFound && !built.empty())
        m_mgr.GetPane(built.front().frame).Centre();
    m_mgr.Update();

    for (BuiltGroup& group : built)
        group.ctrl->DoShowHide();
    m_curPage = -1;
    SetSelection(layout.selected);
    DoSizing();
    Refresh();
    return true;
}

void wxsNotebook::SaveLayout()
{
    if (m_LayoutKey.Empty())
        return;
    DravikApp::GetOptions().SetValue(k_WindowSection, m_LayoutKey, wxsFromWx(SavePerspective()));
}

bool wxsNotebook::LoadLayout()
{
    if (m_LayoutKey.Empty())
        return false;
    const String stored = DravikApp::GetOptions().GetValue(k_WindowSection, m_LayoutKey, String());
    if (stored.Empty())
        return false;
    return LoadPerspective(wxsToWx(stored));
}

void wxsNotebook::TabDrag(wxAuiNotebookEvent& event)
{
    event.Skip();
    SaveLayout();
}

void wxsNotebook::SashDrag(wxSplitterEvent& event)
{
    // Windows above the notebook may watch their splitters too.
    event.Skip();
    SaveLayout();
}

void wxsNotebook::ChildFocusEvent(wxChildFocusEvent&)
{
    // Not skipped: the toolkit would make the focused page the current one.
}
