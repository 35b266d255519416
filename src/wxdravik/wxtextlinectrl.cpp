#include "wxdravik/wxtextlinectrl.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include <wx/dcmemory.h>
#include <wx/filedlg.h>
#include <wx/intl.h>
#include <wx/utils.h>

#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxconfirmdlg.h"
#include "wxdravik/wxdesktop.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxfasttext.h"
#include "wxdravik/wxtextlinesearchpanel.h"
#include "xolib/file.h"
#include "xolib/log.h"

namespace
{
const size_t k_BlockSize = size_t(1) << 20;
const char* const k_Tab = "    ";

/// The fixed-pitch font every viewer shares, measured once per process.
struct FontMetrics
{
    wxFont m_Font;
    int m_CharWidth = 1;
    int m_CharHeight = 1;
};

const FontMetrics& SharedFontMetrics()
{
    static const FontMetrics metrics = [] {
        FontMetrics made;
        made.m_Font = wxFont(9, wxFONTFAMILY_MODERN, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, wxEmptyString,
                             wxFONTENCODING_DEFAULT);
        wxBitmap scratch(100, 100);
        wxMemoryDC dc(scratch);
        dc.SetFont(made.m_Font);
        wxCoord width = 0, height = 0;
        dc.GetTextExtent("M", &width, &height);
        made.m_CharWidth = std::max(1, int(width));
        made.m_CharHeight = std::max(1, int(height));
        return made;
    }();
    return metrics;
}

/// Well-formed UTF-8: no stray or missing continuation bytes, no overlong
/// forms, surrogates or code points above U+10FFFF.
bool IsUtf8(const char* text, size_t length)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    for (size_t i = 0; i < length;)
    {
        const unsigned char lead = bytes[i];
        if (lead < 0x80)
        {
            ++i;
            continue;
        }
        size_t size;
        unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF)
            size = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
        {
            size = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        }
        else if (lead >= 0xF0 && lead <= 0xF4)
        {
            size = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        else
            return false;
        if (length - i < size || bytes[i + 1] < low || bytes[i + 1] > high)
            return false;
        for (size_t k = 2; k < size; ++k)
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
        i += size;
    }
    return true;
}

/// Characters of text as a line that is UTF-8 throughout (valid true) draws
/// them: code points; otherwise the line draws as Latin-1, one per byte.
size_t CountCharacters(const char* text, size_t length, bool valid)
{
    if (!valid)
        return length;
    size_t characters = 0;
    for (size_t i = 0; i < length; ++i)
        characters += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    return characters;
}

/// Characters of a whole line as drawn.
size_t CountCharacters(const char* text, size_t length)
{
    size_t characters = 0;
    bool ascii = true;
    for (size_t i = 0; i < length; ++i)
    {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        characters += (byte & 0xC0) != 0x80;
        ascii = ascii && byte < 0x80;
    }
    return ascii || IsUtf8(text, length) ? characters : length;
}

/// A line as the toolkit draws it: UTF-8 when it is valid, else Latin-1,
/// which reads any bytes; control characters shown as '?', so a stray line
/// feed or escape never breaks the one-line-per-row layout. That includes the
/// C1 controls (U+0080 to U+009F), which Latin-1 makes of bytes 0x80 to 0x9F
/// and which the toolkit would draw as boxes two columns wide.
wxString Displayable(const char* text, size_t length)
{
    wxString shown = IsUtf8(text, length) ? wxString::FromUTF8(text, length) : wxString();
    if (shown.empty() && length > 0)
        shown = wxString(text, wxConvISO8859_1, length);
    for (wxString::iterator it = shown.begin(); it != shown.end(); ++it)
    {
        const wxUint32 code = wxUniChar(*it).GetValue();
        if (code < 0x20 || (code >= 0x7F && code < 0xA0))
            *it = '?';
    }
    return shown;
}

/// Byte position of text in line, ASCII case ignored when asked; -1 when
/// absent.
long FindIn(const char* line, size_t length, const String& text, bool caseSensitive)
{
    const char* needle = text.c_str();
    const size_t size = text.Length();
    if (size == 0 || size > length)
        return -1;
    const char* end = line + length;
    const char* found =
        caseSensitive ? std::search(line, end, needle, needle + size)
                      : std::search(line, end, needle, needle + size, [](char a, char b) {
                            return std::tolower(static_cast<unsigned char>(a)) ==
                                   std::tolower(static_cast<unsigned char>(b));
                        });
    return found == end ? -1 : long(found - line);
}

wxColour Lighter(const wxColour& colour, int amount)
{
    return AdjustColour(colour, amount, amount, amount);
}

wxColour Inverse(const wxColour& colour)
{
    return wxColour(255 - colour.Red(), 255 - colour.Green(), 255 - colour.Blue());
}
}  // namespace

// --- _TextLineStore ---------------------------------------------------------

const char* _TextLineStore::Data(size_t index, size_t& length) const
{
    const Entry& entry = m_Entries[index];
    length = entry.m_Length;
    return m_Blocks[entry.m_Block].get() + entry.m_Offset;
}

String _TextLineStore::Get(size_t index) const
{
    size_t length = 0;
    const char* data = Data(index, length);
    return String(data, length);
}

char* _TextLineStore::_Reserve(size_t length, uint32_t& block, uint32_t& offset)
{
    if (length > k_BlockSize / 4)
    {
        // A long line gets a block of its own, ahead of the shared last one.
        m_Blocks.insert(m_Blocks.end() - (m_Blocks.empty() ? 0 : 1), std::make_unique<char[]>(length));
        m_BlockSizes.insert(m_BlockSizes.end() - (m_BlockSizes.empty() ? 0 : 1), length);
        if (m_Blocks.size() == 1)
        {
            // It is also the only block: start a shared one after it.
            m_Blocks.push_back(std::make_unique<char[]>(k_BlockSize));
            m_BlockSizes.push_back(k_BlockSize);
            m_Used = 0;
            block = 0;
        }
        else
        {
            block = uint32_t(m_Blocks.size() - 2);
            // The shared last block moved one place up: its lines follow it.
            for (Entry& entry : m_Entries)
                if (entry.m_Block == block)
                    entry.m_Block = block + 1;
        }
        offset = 0;
        return m_Blocks[block].get();
    }
    if (m_Blocks.empty() || m_Used + length > m_BlockSizes.back())
    {
        m_Blocks.push_back(std::make_unique<char[]>(k_BlockSize));
        m_BlockSizes.push_back(k_BlockSize);
        m_Used = 0;
    }
    block = uint32_t(m_Blocks.size() - 1);
    offset = uint32_t(m_Used);
    m_Used += length;
    return m_Blocks.back().get() + offset;
}

void _TextLineStore::Insert(size_t index, const char* text, size_t length, size_t characters)
{
    length = std::min<size_t>(length, UINT32_MAX);
    Entry entry{};
    char* target = _Reserve(length, entry.m_Block, entry.m_Offset);
    std::memcpy(target, text, length);
    entry.m_Length = uint32_t(length);
    entry.m_Characters = uint32_t(std::min<size_t>(characters, UINT32_MAX));
    m_Entries.insert(m_Entries.begin() + std::min(index, m_Entries.size()), entry);
    m_LiveBytes += length;
}

void _TextLineStore::Erase(size_t index)
{
    if (index >= m_Entries.size())
        return;
    m_LiveBytes -= m_Entries[index].m_Length;
    m_DeadBytes += m_Entries[index].m_Length;
    m_Entries.erase(m_Entries.begin() + index);
    if (m_Entries.empty())
        Clear();
    else if (m_DeadBytes > k_BlockSize && m_DeadBytes > m_LiveBytes)
        _Compact();
}

void _TextLineStore::Clear()
{
    m_Blocks.clear();
    m_BlockSizes.clear();
    m_Entries.clear();
    m_Entries.shrink_to_fit();
    m_Used = m_LiveBytes = m_DeadBytes = 0;
}

void _TextLineStore::_Compact()
{
    _TextLineStore fresh;
    fresh.m_Entries.reserve(m_Entries.size());
    for (size_t i = 0; i < m_Entries.size(); ++i)
    {
        size_t length = 0;
        const char* data = Data(i, length);
        fresh.Insert(i, data, length, m_Entries[i].m_Characters);
    }
    *this = std::move(fresh);
}

size_t _TextLineStore::LowerBound(const char* text, size_t length) const
{
    size_t low = 0, high = m_Entries.size();
    while (low < high)
    {
        const size_t middle = low + (high - low) / 2;
        size_t lineLength = 0;
        const char* line = Data(middle, lineLength);
        const int order = std::memcmp(line, text, std::min(lineLength, length));
        const bool less = order < 0 || (order == 0 && lineLength < length);
        if (less)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// --- wxTextLineCtrl ---------------------------------------------------------

// clang-format off
wxBEGIN_EVENT_TABLE(wxTextLineCtrl, wxDoubleBufferedWindow)
    EVT_KEY_DOWN(wxTextLineCtrl::OnKey)
    EVT_MOTION(wxTextLineCtrl::OnMouseMove)
    EVT_LEAVE_WINDOW(wxTextLineCtrl::OnMouseLeave)
    EVT_LEFT_DOWN(wxTextLineCtrl::OnLeftClick)
    EVT_LEFT_UP(wxTextLineCtrl::OnLeftUp)
    EVT_MOUSE_CAPTURE_LOST(wxTextLineCtrl::OnCaptureLoss)
    EVT_RIGHT_DOWN(wxTextLineCtrl::OnRightClick)
    EVT_MENU(wxID_ANY, wxTextLineCtrl::OnMenu)
wxEND_EVENT_TABLE()
// clang-format on

wxTextLineCtrl::wxTextLineCtrl(wxWindow* parent)
    : wxDoubleBufferedWindow(parent, wxID_ANY, wxBORDER_NONE | wxWANTS_CHARS)
{
    Manage(this);
    SetBGColor(COLOR_BACKGROUND_LIGHT, 0);
    RefreshColors();
    const FontMetrics& metrics = SharedFontMetrics();
    SetFont(metrics.m_Font);
    m_CharWidth = metrics.m_CharWidth;
    m_LineHeight = metrics.m_CharHeight;
    SetScrollbar(wxHORIZONTAL, 0, 0, 0);
    SetScrollbar(wxVERTICAL, 0, 0, 0);
    m_StickToEnd = true;
    m_SearchPanel = new wxTextLineSearchPanel(this, parent);  // owned by the parent
}

wxTextLineCtrl::~wxTextLineCtrl()
{
    if (HasCapture())
        ReleaseMouse();
}

wxWindow* wxTextLineCtrl::GetSearchPanel() const
{
    return m_SearchPanel;
}

void wxTextLineCtrl::_LinesChanged()
{
    m_LineCount = int(std::min<size_t>(m_Lines.Size(), INT_MAX));
    // Scroll bars catch up once per refresh: a native update per line would
    // cost more than everything else an append does.
    AdjustScrollbarsLater();
    Redraw();
}

int wxTextLineCtrl::Append(const String& line, bool sorted)
{
    const char* text = line.c_str();
    size_t length = line.Length();
    std::string expanded;
    if (std::memchr(text, '\t', length))
    {
        expanded.reserve(length + 16);
        for (size_t i = 0; i < length; ++i)
            if (text[i] == '\t')
                expanded += k_Tab;
            else
                expanded += text[i];
        text = expanded.data();
        length = expanded.size();
    }
    const size_t characters = CountCharacters(text, length);
    const size_t index = sorted ? m_Lines.LowerBound(text, length) : m_Lines.Size();
    m_Lines.Insert(index, text, length, characters);
    const int64_t width = int64_t(m_CharWidth) * (int64_t(characters) + 1);
    m_TotalWidth = int(std::max<int64_t>(m_TotalWidth, std::min<int64_t>(width, INT_MAX / 2)));
    _LinesChanged();
    return int(index);
}

void wxTextLineCtrl::Erase(int index)
{
    if (index < 0 || size_t(index) >= m_Lines.Size())
        return;
    m_Lines.Erase(size_t(index));
    _LinesChanged();
}

void wxTextLineCtrl::Clear()
{
    m_Lines.Clear();
    if (m_SelectStart != -1)
    {
        m_SelectStart = m_SelectEnd = -1;
        StopSelecting();
    }
    m_SearchLine = -1;
    m_HighlightLine = -1;
    _LinesChanged();
}

void wxTextLineCtrl::DrawBitmap()
{
    const wxColour background = GetBackgroundColour(), text = GetForegroundColour();
    const wxColour highlight = wxsGetColor(COLOR_HIGHLIGHT), blue = wxsGetColor(COLOR_BLUE);
    const wxColour selectedText = Lighter(wxsGetColor(COLOR_EDGE_DARK), -20);
    const wxSize size(m_Bitmap->GetWidth(), m_Bitmap->GetHeight());

    wxMemoryDC dc(*m_Bitmap);
    _FastTextDrawer& drawer = m_TextDrawer;
    _FastTextDrawer::Session session(drawer, dc);
    dc.SetFont(GetFont());
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(background));
    dc.DrawRectangle(wxRect(size));

    const int vertical = GetScrollPos(wxVERTICAL);
    const int firstLine = vertical / m_LineHeight, yOffset = vertical % m_LineHeight;
    const int lastLine = int(std::min<int64_t>(int64_t(firstLine) + m_VisibleLines, int64_t(m_Lines.Size()))) - 1;
    const int horizontal = GetScrollPos(wxHORIZONTAL);
    int firstColumn = horizontal / m_CharWidth;
    int x = m_CharWidth / 2 - horizontal % m_CharWidth;
    if (firstColumn > 0)
    {
        // The character partly under the left margin shows too.
        --firstColumn;
        x -= m_CharWidth;
    }
    const int selectFirst = std::min(m_SelectStart, m_SelectEnd), selectLast = std::max(m_SelectStart, m_SelectEnd);
    const size_t shownCharacters = size_t(m_VisibleChars) + 2;

    for (int line = firstLine; line <= lastLine; ++line)
    {
        const int y = (line - firstLine) * m_LineHeight - yOffset;
        const bool hover = line == m_HighlightLine, hit = line == m_SearchLine;
        const bool selected = line >= selectFirst && line <= selectLast && selectLast >= 0;
        wxColour back = background, fore = text;
        if (selected)
        {
            fore = selectedText;
            const wxColour tinted = BlendColour(highlight, blue, 0.25);
            back = hit ? (hover ? Lighter(tinted, 10) : tinted) : (hover ? Lighter(highlight, 10) : highlight);
        }
        else if (hover && hit)
            back = Lighter(background, 20);
        else if (hover)
            back = Lighter(background, 10);
        else if (hit)
            back = BlendColour(background, blue, 0.25);
        if (back != background)
        {
            dc.SetBrush(wxBrush(back));
            dc.DrawRectangle(0, y, size.x, m_LineHeight);
        }
        size_t length = 0;
        const char* data = m_Lines.Data(size_t(line), length);
        const wxString shown = Displayable(data, length);
        if (size_t(firstColumn) < shown.length())
        {
            dc.SetTextForeground(fore);
            drawer.Draw(shown.Mid(size_t(firstColumn), shownCharacters), x, y);
        }
        if (hit && m_SearchLength > 0)
        {
            // The match shows inverted over the line's own colours.
            const int hitX = m_CharWidth / 2 + (m_SearchColumn - (horizontal / m_CharWidth)) * m_CharWidth -
                             horizontal % m_CharWidth;
            dc.SetBrush(wxBrush(Inverse(back)));
            dc.DrawRectangle(hitX, y, m_SearchLength * m_CharWidth, m_LineHeight);
            dc.SetTextForeground(Inverse(fore));
            drawer.Draw(shown.Mid(size_t(std::max(m_SearchColumn, 0)), size_t(m_SearchLength)), hitX, y);
        }
    }
}

int wxTextLineCtrl::_LineAt(int y) const
{
    return int((int64_t(GetScrollPos(wxVERTICAL)) + y) / m_LineHeight);
}

void wxTextLineCtrl::_Scroll(wxEventType type, int orient, int position)
{
    SyncScrollbars();
    wxScrollWinEvent event(type, position, orient);
    event.SetEventObject(this);
    Scroll(event);
}

void wxTextLineCtrl::SetHighlightLine(int line)
{
    if (line == m_HighlightLine)
        return;
    m_HighlightLine = line;
    Redraw();
}

void wxTextLineCtrl::StopSelecting()
{
    if (!m_Selecting)
        return;
    m_Selecting = false;
    if (HasCapture())
        ReleaseMouse();
}

void wxTextLineCtrl::OnLeftClick(wxMouseEvent& event)
{
    SyncScrollbars();
    SetFocus();
    m_Selecting = true;
    const int line = _LineAt(event.GetY());
    m_SelectStart = line >= 0 && size_t(line) < m_Lines.Size() ? line : -1;
    m_SelectEnd = m_SelectStart;
    Redraw();
    if (!HasCapture())
        CaptureMouse();
}

void wxTextLineCtrl::OnMouseMove(wxMouseEvent& event)
{
    SyncScrollbars();
    const int line = _LineAt(event.GetY());
    const int hover = line >= 0 && size_t(line) < m_Lines.Size() ? line : -1;
    SetHighlightLine(hover);
    if (!m_Selecting)
        return;
    if (m_SelectStart == -1)
        m_SelectStart = hover;
    m_SelectEnd = hover;
    Redraw();
    if (event.GetY() < 0)
        _Scroll(wxEVT_SCROLLWIN_LINEUP, wxVERTICAL);
    else if (event.GetY() > GetClientSize().y)
        _Scroll(wxEVT_SCROLLWIN_LINEDOWN, wxVERTICAL);
}

void wxTextLineCtrl::OnLeftUp(wxMouseEvent&)
{
    StopSelecting();
}

void wxTextLineCtrl::OnCaptureLoss(wxMouseCaptureLostEvent&)
{
    StopSelecting();
}

void wxTextLineCtrl::OnMouseLeave(wxMouseEvent& event)
{
    event.Skip();
    SetHighlightLine(-1);
}

void wxTextLineCtrl::OnRightClick(wxMouseEvent&)
{
    wxMenu menu;
    HandleContextMenu(menu, true);
}

void wxTextLineCtrl::HandleContextMenu(wxMenu& menu, bool addItems)
{
    if (addItems)
    {
        menu.Append(ID_SAVE_AS, wxGetTranslation("Save As...\tCtrl+S"));
        menu.AppendSeparator();
        menu.Append(ID_SEARCH, wxGetTranslation("Search...\tCtrl+F"));
        menu.AppendSeparator();
        menu.Append(ID_SELECT_ALL, wxGetTranslation("Select All\tCtrl+A"));
        menu.Append(ID_SELECT_NONE, wxGetTranslation("Select None\tEsc"));
        menu.AppendSeparator();
        menu.Append(ID_COPY, wxGetTranslation("Copy\tCtrl+C"));
        menu.AppendSeparator();
        menu.Append(ID_SCROLL_TOP, wxGetTranslation("Scroll to Top\tCtrl+Home"));
        menu.Append(ID_SCROLL_BOTTOM, wxGetTranslation("Scroll to Bottom\tCtrl+End"));
    }
    PopupMenu(&menu);
}

void wxTextLineCtrl::OnMenu(wxCommandEvent& event)
{
    switch (event.GetId())
    {
    case ID_SAVE_AS: SaveAs(); break;
    case ID_SEARCH: ToggleSearch(); break;
    case ID_SELECT_ALL: SelectAll(); break;
    case ID_SELECT_NONE: SelectNone(); break;
    case ID_COPY: CopySelectionToClipboard(); break;
    case ID_SCROLL_TOP: _Scroll(wxEVT_SCROLLWIN_TOP, wxVERTICAL); break;
    case ID_SCROLL_BOTTOM: _Scroll(wxEVT_SCROLLWIN_BOTTOM, wxVERTICAL); break;
    default: event.Skip();
    }
}

void wxTextLineCtrl::OnKey(wxKeyEvent& event)
{
    const bool control = event.ControlDown();
    switch (event.GetKeyCode())
    {
    case 'A': if (control) SelectAll(); break;
    case 'C': if (control) CopySelectionToClipboard(); break;
    case 'F': if (control) ToggleSearch(); break;
    case 'S': if (control) SaveAs(); break;
    case WXK_ESCAPE: SelectNone(); break;
    case WXK_HOME: _Scroll(wxEVT_SCROLLWIN_TOP, wxHORIZONTAL); break;
    case WXK_END: _Scroll(wxEVT_SCROLLWIN_BOTTOM, wxHORIZONTAL); break;
    case WXK_LEFT: _Scroll(wxEVT_SCROLLWIN_LINEUP, wxHORIZONTAL); break;
    case WXK_RIGHT: _Scroll(wxEVT_SCROLLWIN_LINEDOWN, wxHORIZONTAL); break;
    case WXK_UP: _Scroll(wxEVT_SCROLLWIN_LINEUP, wxVERTICAL); break;
    case WXK_DOWN: _Scroll(wxEVT_SCROLLWIN_LINEDOWN, wxVERTICAL); break;
    case WXK_PAGEUP: _Scroll(control ? wxEVT_SCROLLWIN_TOP : wxEVT_SCROLLWIN_PAGEUP, wxVERTICAL); break;
    case WXK_PAGEDOWN: _Scroll(control ? wxEVT_SCROLLWIN_BOTTOM : wxEVT_SCROLLWIN_PAGEDOWN, wxVERTICAL); break;
    default: break;
    }
    event.Skip();
}

void wxTextLineCtrl::SelectAll()
{
    m_SelectStart = 0;
    m_SelectEnd = int(m_Lines.Size()) - 1;
    Redraw();
}

void wxTextLineCtrl::SelectNone()
{
    if (m_SelectStart == -1)
        return;
    m_SelectStart = m_SelectEnd = -1;
    StopSelecting();
    Redraw();
}

void wxTextLineCtrl::CopySelectionToClipboard()
{
    const int first = std::max(std::min(m_SelectStart, m_SelectEnd), 0);
    const int last = std::min(std::max(m_SelectStart, m_SelectEnd), int(m_Lines.Size()) - 1);
    std::string text;
    for (int line = first; line <= last; ++line)
    {
        size_t length = 0;
        const char* data = m_Lines.Data(size_t(line), length);
        text.append(data, length);
        text += k_NL.Str();
    }
    if (!wxCopyTextToClipboard(String(std::move(text))))
        LogWarning("Failed to copy to clipboard!");
}

void wxTextLineCtrl::SaveAs()
{
    const wxString path = wxFileSelector(wxFileSelectorPromptStr, wxEmptyString, wxEmptyString, wxEmptyString,
                                         wxFileSelectorDefaultWildcardStr, wxFD_SAVE | wxFD_OVERWRITE_PROMPT, this);
    if (!path.empty())
        SaveTo(path);
}

bool wxTextLineCtrl::SaveTo(const wxString& path)
{
    const String target = wxsFromWx(path);
    const String temporary = target + SFormat(".%d.saving", int(getpid()));
    String failure;
    try
    {
        OutFile file{Path(temporary)};
        for (size_t line = 0; line < m_Lines.Size(); ++line)
            file.PutLine(m_Lines.Get(line));
        file.Close();
        if (std::rename(temporary.c_str(), target.c_str()) != 0)
            failure = std::strerror(errno);
    }
    catch (Exception* exception)
    {
        failure = exception->GetText();
        if (!exception->GetDetail().Empty())
            failure += ": " + exception->GetDetail();
        delete exception;
    }
    if (failure.Empty())
        return true;
    std::remove(temporary.c_str());
    // The lines stay shown; only the file is missing.
    LogWarning("Could not save the lines to '" + target + "': " + failure);
    wxDravikMessageBox(wxString::Format(_("The lines could not be saved to '%s':\n%s"), path, wxsToWx(failure)),
                       "TextLineSaveFailed", GetParent());
    return false;
}

void wxTextLineCtrl::ToggleSearch()
{
    m_SearchPanel->Toggle();
}

void wxTextLineCtrl::Search(const String& text, bool down, bool caseSensitive)
{
    SyncScrollbars();
    const int count = int(m_Lines.Size());
    int line = m_SearchLine == -1 ? GetScrollPos(wxVERTICAL) / m_LineHeight : m_SearchLine + (down ? 1 : -1);
    // Erasures may have left the hit below the last line: walking up from
    // there starts at the last line rather than finding nothing.
    if (!down)
        line = std::min(line, count - 1);
    const int step = down ? 1 : -1;
    for (; line >= 0 && line < count; line += step)
    {
        size_t length = 0;
        const char* data = m_Lines.Data(size_t(line), length);
        const long found = FindIn(data, length, text, caseSensitive);
        if (found < 0)
            continue;
        m_SearchLine = line;
        // Columns as drawn: a line that is not UTF-8 draws one byte a column.
        const bool valid = IsUtf8(data, length);
        m_SearchColumn = int(CountCharacters(data, size_t(found), valid));
        m_SearchLength = int(CountCharacters(text.c_str(), text.Length(), valid));
        const int first = GetScrollPos(wxVERTICAL) / m_LineHeight;
        // A hit inside the band of five lines from the edge it moves towards
        // does not scroll.
        const bool scroll = down ? line > first + m_VisibleLines - 5 : line < first + 5;
        if (scroll)
        {
            const int target = (down ? line - m_VisibleLines + 5 : line - 5) * m_LineHeight;
            const int last = GetScrollRange(wxVERTICAL) - GetScrollThumb(wxVERTICAL);
            _Scroll(wxEVT_SCROLLWIN_THUMBRELEASE, wxVERTICAL, std::max(0, std::min(target, last)));
        }
        Redraw();
        return;
    }
    if (m_SearchLine != -1)
    {
        m_SearchLine = -1;
        Redraw();
    }
    wxBell();
    wxDravikMessageBox(wxString::Format(_("'%s' not found in that direction"), wxsToWx(text)),
                       "TextLineSearchNotFound", GetParent());
}
