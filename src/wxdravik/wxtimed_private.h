// Inside view of the master timer, for the library and its tests.
#pragma once

#include <mutex>
#include <wx/timer.h>

#include "wxdravik/wxtimed.h"
#include "xolib/core.h"

/// The one 50 ms timer behind wxTimed; runs only while a wxTimed lives.
class WXDRAVIK_API wxMasterTimer : public wxTimer,
                                   private xolib::set<wxTimed*>,
                                   private CommonMutex<std::recursive_mutex>,
                                   public LibStatic
{
public:
    wxMasterTimer();
    ~wxMasterTimer() override;

    void Notify() override;
    void OnLibShutdown() override;

    void Register(wxTimed* timed);
    void Unregister(wxTimed* timed);

    int GetTickCount() const { return m_Ticks; }
    size_t GetRegisteredCount() const;

    /// The process's master timer, or null.
    static wxMasterTimer* Get();

private:
    int m_Ticks;
};
