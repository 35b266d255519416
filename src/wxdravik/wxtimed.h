// Shared timers: one 50 ms heartbeat for the whole process, and a timer that
// stays silent without an owner.
#pragma once

#include <wx/timer.h>

#include "wxdravik/wxdravikdefs.h"
#include "xolib/signal.h"

/// Base of objects called every 250 ms for as long as they live. Only objects
/// made by the default constructor are registered; copies are not.
class WXDRAVIK_API wxTimed
{
public:
    wxTimed();
    wxTimed(const wxTimed&);
    wxTimed& operator=(const wxTimed&);
    virtual ~wxTimed();

    /// Called every 250 ms on the GUI thread. Must not create or destroy
    /// wxTimed objects.
    virtual void OnTick() = 0;

    /// Fires every 100 ms while any wxTimed object lives.
    static Signal0<ThreadPolicy::LocalThreaded> s_Timer0100;
    /// Fires every 250 ms while any wxTimed object lives.
    static Signal0<ThreadPolicy::LocalThreaded> s_Timer0250;

private:
    bool m_Registered;
};

/// A toolkit timer that only notifies when it has an owner.
class WXDRAVIK_API wxFixedTimer : public wxTimer
{
public:
    wxFixedTimer();
    ~wxFixedTimer() override;
    void Notify() override;
};
