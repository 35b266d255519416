// The dialog base of the library: the registry of live dialogs, remembered
// and cascaded positions, one OK/Cancel/close behaviour for modal and
// modeless use, Enter and Escape, and the factories dialogs are built from.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>

#include <wx/dialog.h>
#include <wx/sizer.h>

#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxdravikdefs.h"
#include "wxdravik/wxscolormanaged.h"
#include "xolib/signal.h"
#include "xolib/string.h"

class wxsStaticText;

/// Base of every dialog. A named dialog remembers its position under its
/// name (section "Window") and opens one caption height lower and to the
/// right for every other live dialog of that name. A dialog built with
/// AddButtons returns wxID_OK after OK, 0 after Cancel or Escape, and
/// wxID_CANCEL after the close box.
class WXDRAVIK_API wxDravikDlg : public wxDialog, public wxsColorManaged
{
public:
    /// For two-step creation: the subclass calls Create itself.
    wxDravikDlg(const String& name, bool modal);
    /// Creates the dialog at once; a null parent means the main frame.
    wxDravikDlg(wxWindow* parent, const wxString& title, const String& name, bool modal);
    virtual ~wxDravikDlg();

    /// Second step of two-step creation: creates the window, then gives it
    /// the scheme's colours (which need the window to exist).
    bool Create(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = wxDEFAULT_DIALOG_STYLE,
                const wxString& name = wxDialogNameStr);

    /// Whether Enter and Escape are handled by the dialog (default true).
    void HandleEscapeKey(bool handle) { m_HandleEscapeKey = handle; }

    /// Destroys every open dialog (GUI thread); one in its modal loop is
    /// ended instead and left to the code that showed it.
    static void CloseAll();
    /// Closes every open dialog as if the user had, on the GUI thread;
    /// callable from any thread.
    static void CloseAllFromNonGuiThread();
    /// Makes every open dialog re-read its colours and repaint.
    static void RefreshAll();

    /// A static text, bold, italic and larger or smaller by sizeDelta points
    /// as asked.
    static wxsStaticText* _NewStatic(wxWindow* parent, const wxString& label, bool bold, bool italic,
                                     int sizeDelta, long style);

    /// Applies the style with the generic window implementation.
    void SetWindowStyleFlag(long style) override;

    static Signal0<ThreadPolicy::LocalThreaded> s_DlgClosed;
    static Signal0<ThreadPolicy::LocalThreaded> s_ModalStarted;
    static Signal0<ThreadPolicy::LocalThreaded> s_ModalFinished;

    const String& GetDialogName() const { return m_Name; }
    /// How many dialogs of the same name were open when this one was built.
    int GetCascade() const { return m_Cascade; }

protected:
    /// A vertical sizer that becomes the dialog's sizer.
    wxBoxSizer* StartControls();
    /// The OK (default) and Cancel buttons, in a row.
    void AddButtons(wxBoxSizer* sizer, bool alignRight);
    wxsStaticText* NewStatic(const wxString& label, wxWindow* parent);
    wxsStaticText* NewStatic(const wxString& label, wxWindow* parent, ColorName colour);
    wxsStaticText* NewStatic(const wxString& label, bool bold, bool italic, int sizeDelta, long style,
                             wxWindow* parent);
    /// A one-pixel horizontal rule.
    wxWindow* NewLine(wxWindow* parent);
    /// An italic label followed by a rule; labelOut receives the label.
    wxSizer* NewStaticLine(const wxString& label, wxWindow* parent, wxsStaticText** labelOut);

    bool EmulateDefaultButton();
    bool EmulateCancelButton();
    /// Clicks the enabled, shown wxsButton with that id; false when there is none.
    bool EmulateWxsButtonClickIfPresent(int id);
    void DeferredClose();

    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnKey(wxKeyEvent& event);
    void OnInit(wxInitDialogEvent& event);
    /// Hands activation to the application (the last activated window).
    void OnActivate(wxActivateEvent& event);

    /// Every live dialog. Changed and walked only under s_DialogsMutex: the
    /// messenger thread walks it.
    static std::set<wxDravikDlg*> s_Dialogs;
    static std::mutex s_DialogsMutex;

private:
    void _Register(const String& name, bool modal);
    /// Whether this very dialog (not a later one at the same address) is
    /// still registered.
    static bool _IsRegistered(const wxDravikDlg* dialog, uint64_t serial);
    /// Ends the dialog with code: the modal loop when it runs, else hides it
    /// (a dialog that already ended keeps its first code).
    void _EndDialog(int code);
    /// Registers the colour-managed part once the window exists.
    void _ManageColours();

    String m_Name;
    int m_Cascade = 0;
    bool m_Modal = false;
    bool m_HandleEscapeKey = true;
    bool m_ColoursManaged = false;
    /// Set once under s_DialogsMutex before the dialog is registered.
    uint64_t m_Serial = 0;
    static uint64_t s_NextSerial;  // guarded by s_DialogsMutex

    /// Per name, the number of live dialogs built with it (GUI thread).
    static std::map<String, int> s_NameCounts;

    wxDECLARE_EVENT_TABLE();
};
