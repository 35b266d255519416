// The frame base of the library: the main frame and the frames that follow
// it, their tracked placement, the frame-menu state and the spreading of
// colour-scheme changes.
#pragma once

#include <set>

#include <wx/frame.h>

#include "wxdravik/wxdravikdefs.h"
#include "wxdravik/wxscolormanaged.h"
#include "xolib/signal.h"

/// Base of every frame of the host programs. The first frame built with a
/// position and size is the main frame (s_Frame); later ones are its
/// children, take its icon and die with it. A frame tracks its position, size
/// and maximized and full-screen state from FinishedBuilding() on, and saves
/// and loads them in the options file (section "Window": "Window",
/// "IsMinimized", "IsMaximized", "IsFullScreen").
class WXDRAVIK_API wxDravikFrame : public wxFrame, public wxsColorManaged
{
public:
    /// A floating tool frame over parent; never the main frame.
    wxDravikFrame(wxWindow* parent, const wxString& title, long style);
    /// The main frame when there is none yet, else a secondary frame.
    wxDravikFrame(const wxString& title, const wxPoint& position, const wxSize& size,
                  long style = wxDEFAULT_FRAME_STYLE);
    virtual ~wxDravikFrame();

    /// From now on moves and resizes are tracked.
    void FinishedBuilding();
    bool IsFinishedBuilding() const { return m_FinishedBuilding; }
    const wxPoint& GetCurrontPosition() const { return m_CurrentPosition; }
    const wxSize& GetCurrentSize() const { return m_CurrentSize; }
    /// The size in the normal (neither maximized nor full-screen) state.
    const wxSize& GetRestoredSize() const { return m_RestoredSize; }
    /// True when a main frame exists and has finished building.
    static bool SIsGuiBuilt();

    /// Saves position, normal size and states under section "Window".
    void SaveWindowPosition() const;
    /// Restores position and size (or centres), then the maximized and
    /// full-screen states; never opens minimized.
    void LoadWindowPosition();

    /// True while a frame menu is in use.
    static bool IsMenuOpen();

    /// Makes the main frame, every secondary frame and every dialog re-read
    /// their colours, synchronously.
    static void ProcessColorChange();
    /// Lets the other programs of the suite make this one reload the colour
    /// scheme (request "COLORS"); registers once per program. The main frame
    /// calls it when it is built.
    static void RegisterColorRequestHandler();

    /// The main frame, or null.
    static wxDravikFrame* s_Frame;
    /// Emitted by the destructor of every frame.
    static Signal0<ThreadPolicy::LocalThreaded> s_WinClosed;

protected:
    /// The user resized the frame (restoring: it came back from maximized or
    /// full-screen). Does nothing here.
    virtual void SizeHasChanged(const wxSize& newSize, const wxSize& oldSize, bool restoring);
    /// The user moved the frame. Does nothing here.
    virtual void PositionHasChanged(const wxPoint& newPosition, const wxPoint& oldPosition);

    void OnSize(wxSizeEvent& event);
    void OnMove(wxMoveEvent& event);
    void OnMenuOpen(wxMenuEvent& event);
    void OnMenuClose(wxMenuEvent& event);
    /// Hands activation to the application (the last activated window).
    void OnActivate(wxActivateEvent& event);

private:
    wxPoint m_CurrentPosition;
    wxSize m_CurrentSize;
    wxSize m_RestoredSize;
    bool m_IsMaximized = false;
    bool m_IsFullScreen = false;
    bool m_FinishedBuilding = false;

    /// The frames built with a position while a main frame existed.
    static std::set<wxDravikFrame*> s_Frames;
    static bool s_MenuOpen;

    wxDECLARE_EVENT_TABLE();
};
