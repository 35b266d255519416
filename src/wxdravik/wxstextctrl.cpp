// The text field: colours by state, the clear button and word completion.
#include "wxdravik/wxstextctrl.h"

#include <wx/cursor.h>
#include <wx/dcscreen.h>
#include <wx/settings.h>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdravikstring.h"

namespace
{
/// wxsButton style bit: never take the default item on focus.
const long k_NoDefaultOnFocus = 0x0002;
/// Gap between the clear button and the control's edges.
const int k_ClearButtonBorder = 3;
/// The characters after which a new word starts.
const wxString k_WordSeparators = wxS(" ().:|");

/// The control's own text cursor, taken from the first control that tracks the
/// pointer and shared by all.
const wxCursor& TextCursor(const wxWindow* first)
{
    static const wxCursor cursor = first->GetCursor();
    return cursor;
}

typedef xolib::set<String, String::ciless> Vocabulary;

void Offer(Vocabulary& vocabulary, const String& candidate)
{
    // The set ignores case, so a spelling already present is kept.
    if (candidate.Length() > 2)
        vocabulary.insert(candidate);
}

Vocabulary BuildVocabulary()
{
    Vocabulary vocabulary;
    for (const String* word : {&k_Yes, &k_No, &k_True, &k_False, &k_On, &k_Off})
        Offer(vocabulary, *word);
    for (const String& name : Job::CommonParameterNames())
        Offer(vocabulary, name);
    for (const String& name : Job::ParameterCommandNames())
        Offer(vocabulary, name);
    for (const UID& id : JobFactory::s_JobFactory.ListProducts())
    {
        const boost::shared_ptr<const Product> product = JobFactory::s_JobFactory.GetProduct(id);
        if (!product)
            continue;
        Offer(vocabulary, product->GetName());
        Offer(vocabulary, product->GetIdentifier());
        for (int p = 0; p < product->GetParamCount(); ++p)
        {
            const boost::shared_ptr<const Parameter> param = product->GetParam(p);
            if (!param)
                continue;
            Offer(vocabulary, param->GetName());
            for (int c = 0; c < param->GetChoicesCount(); ++c)
                Offer(vocabulary, param->GetChoice(c));
        }
        for (int c = 0; c < product->GetCommandCount(); ++c)
            if (const boost::shared_ptr<const Command> command = product->GetCommand(c))
                Offer(vocabulary, command->GetName());
    }
    for (const String& name : Platform::GetLiveEnv())
        Offer(vocabulary, name);
    return vocabulary;
}

/// Built on first use (the static's initialisation is safe against
/// concurrent callers) and never refreshed.
const Vocabulary& TheVocabulary()
{
    static const Vocabulary vocabulary = BuildVocabulary();
    return vocabulary;
}
}

// ---------------------------------------------------------------- wxsTextCtrl

wxBEGIN_EVENT_TABLE(wxsTextCtrl, wxTextCtrl)
    EVT_SYS_COLOUR_CHANGED(wxsTextCtrl::OnSysColorChange)
    EVT_IDLE(wxsTextCtrl::Idle)
    EVT_BUTTON(wxID_ANY, wxsTextCtrl::OnClearButton)
    EVT_MOTION(wxsTextCtrl::Mouse)
    EVT_LEAVE_WINDOW(wxsTextCtrl::Mouse)
    EVT_SET_FOCUS(wxsTextCtrl::GotFocus)
    EVT_KILL_FOCUS(wxsTextCtrl::LostFocus)
    EVT_KEY_DOWN(wxsTextCtrl::Key)
    EVT_SIZE(wxsTextCtrl::Resized)
    EVT_MOVE(wxsTextCtrl::Moved)
    EVT_SHOW(wxsTextCtrl::Shown)
wxEND_EVENT_TABLE()

namespace
{
long PlatformStyle(long style)
{
    if (!(style & wxBORDER_MASK))
        style |= wxBORDER_NONE;
    return style & ~(wxTE_RICH | wxTE_RICH2);
}
}

wxsTextCtrl::wxsTextCtrl(wxWindow* parent, wxWindowID id, const wxString& value, const wxPoint& pos,
                         const wxSize& size, long style, const wxValidator& validator, const wxString& name)
    : wxTextCtrl(parent, id, value, pos, size, PlatformStyle(style), validator, name), m_HasAutoCompleter(false),
      m_ColoursEnabled(true)
{
    _ApplyColors();

    if (!(style & wxTE_MULTILINE))
    {
        wxScreenDC dc;
        dc.SetFont(*wxNORMAL_FONT);
        SetMinSize(wxSize(GetMinSize().x, dc.GetCharHeight() + 4));
    }

    const long noCompletion = wxTE_MULTILINE | wxTE_READONLY | wxTE_PASSWORD | wxTE_RICH | wxTE_RICH2;
    if (!(style & noCompletion) &&
        DravikApp::GetOptions().GetValue("Window", o_AutoComplete, o_AutoCompleteDefault))
        m_HasAutoCompleter = AutoComplete(new wxsAutoCompleter);  // the control owns the completer

    if (!(style & (wxTE_READONLY | wxTE_RICH2)) && parent)
    {
        m_ClearButton = new wxsButton(parent, CLEAR_BUTTON_ID, wxT("x"), wxDefaultPosition, wxDefaultSize,
                                      wxBU_EXACTFIT | k_NoDefaultOnFocus);  // child of the parent
        wxFont font = m_ClearButton->GetFont();
        font.SetPointSize(font.GetPointSize() - 2);
        m_ClearButton->SetFont(font);
        m_ClearButton->SetCursor(wxCursor(wxCURSOR_ARROW));
        // Handled at the button, so the command never reaches the parents.
        m_ClearButton->Bind(wxEVT_BUTTON, &wxsTextCtrl::OnClearButton, this);
        m_ClearButton->Bind(wxEVT_LEAVE_WINDOW, &wxsTextCtrl::_ButtonLeft, this);
        m_ClearButton->Hide();
    }
}

wxsTextCtrl::~wxsTextCtrl()
{
    // The button belongs to the parent; it must not outlive its control.
    if (m_ClearButton)
        m_ClearButton->Destroy();
}

bool wxsTextCtrl::Enable(bool enable)
{
    if (!wxTextCtrl::Enable(enable))
        return false;
    _ApplyColors();
    if (!IsEnabled())
        _ShowClearButton(false);
    Refresh();
    return true;
}

void wxsTextCtrl::OnSysColorChange(wxSysColourChangedEvent& event)
{
    event.Skip();
    _ApplyColors();
}

void wxsTextCtrl::Idle(wxIdleEvent& event)
{
    event.Skip();
    // The toolkit tells a window nothing when a parent changes its state.
    if (IsEnabled() == m_ColoursEnabled)
        return;
    _ApplyColors();
    if (!IsEnabled())
        _ShowClearButton(false);
    Refresh();
}

void wxsTextCtrl::_ApplyColors()
{
    wxColour foreground = wxsGetColor(COLOR_TEXT);
    wxColour background = wxsGetColor(COLOR_FIELD);
    // The effective state: a field inside a disabled parent looks disabled.
    m_ColoursEnabled = IsEnabled();
    if (!m_ColoursEnabled)
    {
        if (HasFlag(wxTE_READONLY))
        {
            background = wxsGetColor(COLOR_BACKGROUND_LIGHT);
        }
        else
        {
            background = wxsGetColor(COLOR_BACKGROUND);
            foreground = BlendColour(foreground, background, 0.3);
        }
    }
    SetForegroundColour(foreground);
    SetBackgroundColour(background);
    // Text typed or appended later takes the new colour too.
    wxTextAttr style = GetDefaultStyle();
    style.SetTextColour(foreground);
    SetDefaultStyle(style);
}

void wxsTextCtrl::OnClearButton(wxCommandEvent&)
{
    SetValue(wxEmptyString);
    _ShowClearButton(false);
}

bool wxsTextCtrl::Reparent(wxWindowBase* newParent)
{
    if (!wxTextCtrl::Reparent(newParent))
        return false;
    if (m_ClearButton)
    {
        m_ClearButton->Reparent(newParent);
        _PlaceClearButton();
    }
    return true;
}

void wxsTextCtrl::_PlaceClearButton()
{
    wxSize button = m_ClearButton->GetEffectiveMinSize();
    const wxRect field = GetRect();  // in the parent's client coordinates
    const int room = std::max(1, field.height - 2 * k_ClearButtonBorder);
    button.y = std::min(button.y, room);
    const int x = field.GetRight() + 1 - k_ClearButtonBorder - button.x;
    const int y = IsMultiLine() ? field.GetBottom() + 1 - k_ClearButtonBorder - button.y
                                : field.y + (field.height - button.y) / 2;
    m_ClearButton->SetSize(x, y, button.x, button.y);
}

void wxsTextCtrl::_ShowClearButton(bool show)
{
    if (!m_ClearButton || m_ClearButton->IsShown() == show)
        return;
    if (show)
    {
        _PlaceClearButton();
        m_ClearButton->Show();
        m_ClearButton->Raise();
    }
    else
    {
        m_ClearButton->Hide();
    }
}

void wxsTextCtrl::GotFocus(wxFocusEvent& event)
{
    event.Skip();
    if (m_ClearButton && !IsEmpty())
        _ShowClearButton(true);
}

void wxsTextCtrl::LostFocus(wxFocusEvent& event)
{
    event.Skip();
    if (m_ClearButton && event.GetWindow() != m_ClearButton)
        _ShowClearButton(false);
}

void wxsTextCtrl::Key(wxKeyEvent& event)
{
    // Typing hides the button until the pointer moves again.
    event.Skip();
    _ShowClearButton(false);
}

void wxsTextCtrl::Mouse(wxMouseEvent& event)
{
    event.Skip();
    if (m_ClearButton)
        _TrackPointer(event.GetPosition());
}

void wxsTextCtrl::_ButtonLeft(wxMouseEvent& event)
{
    event.Skip();
    _TrackPointer(ScreenToClient(wxGetMousePosition()));
}

void wxsTextCtrl::_TrackPointer(const wxPoint& pos)
{
    const bool wanted = IsEnabled() && wxRect(GetClientSize()).Contains(pos) && !IsEmpty();
    if (wanted != m_ClearButton->IsShown())
    {
        Freeze();
        _ShowClearButton(wanted);
        Thaw();
    }
    const wxCursor& textCursor = TextCursor(this);
    const bool overButton =
        m_ClearButton->IsShown() && m_ClearButton->GetScreenRect().Contains(ClientToScreen(pos));
    SetCursor(overButton ? wxCursor(wxCURSOR_ARROW) : textCursor);
}

void wxsTextCtrl::Resized(wxSizeEvent& event)
{
    event.Skip();
    if (m_ClearButton && m_ClearButton->IsShown())
        _PlaceClearButton();
}

void wxsTextCtrl::Moved(wxMoveEvent& event)
{
    event.Skip();
    if (m_ClearButton && m_ClearButton->IsShown())
        _PlaceClearButton();
}

void wxsTextCtrl::Shown(wxShowEvent& event)
{
    event.Skip();
    if (!event.IsShown())
        _ShowClearButton(false);
}

// ---------------------------------------------------------------- wxsAutoCompleter

wxsAutoCompleter::wxsAutoCompleter() : m_Position(TheVocabulary().end()), m_End(TheVocabulary().end()) {}

bool wxsAutoCompleter::Start(const wxString& prefix)
{
    if (prefix.empty())
        return false;
    const size_t separator = prefix.find_last_of(k_WordSeparators);
    if (separator == wxString::npos)
    {
        m_Word = prefix;
        m_Lead.clear();
    }
    else
    {
        m_Word = prefix.Mid(separator + 1);
        m_Lead = prefix.Left(separator + 1);
    }
    if (m_Word.empty())
        return false;
    m_Word.MakeUpper();
    const Vocabulary& vocabulary = TheVocabulary();
    m_Position = vocabulary.lower_bound(wxsFromWx(m_Word));
    m_End = vocabulary.end();
    return true;
}

wxString wxsAutoCompleter::GetNext()
{
    if (m_Position == m_End)
        return wxString();
    const wxString entry = wxsToWx(*m_Position);
    ++m_Position;
    if (!entry.Upper().StartsWith(m_Word))
        return wxString();
    return m_Lead + entry;
}
