#include "wxdravik/wxtimed_private.h"

#include <climits>
#include <memory>

Signal0<ThreadPolicy::LocalThreaded> wxTimed::s_Timer0100;
Signal0<ThreadPolicy::LocalThreaded> wxTimed::s_Timer0250;

namespace
{
const int k_MasterInterval = 50;  // ms
std::unique_ptr<wxMasterTimer> s_MasterTimer;
}

// ---------------------------------------------------------------- wxTimed

wxTimed::wxTimed() : m_Registered(true)
{
    if (!s_MasterTimer)
        s_MasterTimer = std::make_unique<wxMasterTimer>();
    s_MasterTimer->Register(this);
}

wxTimed::wxTimed(const wxTimed&) : m_Registered(false) {}

wxTimed& wxTimed::operator=(const wxTimed&)
{
    return *this;
}

wxTimed::~wxTimed()
{
    if (m_Registered && s_MasterTimer)
        s_MasterTimer->Unregister(this);
}

// ---------------------------------------------------------------- wxMasterTimer

wxMasterTimer::wxMasterTimer() : LibStatic("wxMasterTimer"), m_Ticks(0) {}

wxMasterTimer::~wxMasterTimer()
{
    Stop();
}

wxMasterTimer* wxMasterTimer::Get()
{
    return s_MasterTimer.get();
}

void wxMasterTimer::Register(wxTimed* timed)
{
    Lock lock(*this);
    insert(timed);
    if (!IsRunning())
        Start(k_MasterInterval, wxTIMER_CONTINUOUS);
}

void wxMasterTimer::Unregister(wxTimed* timed)
{
    Lock lock(*this);
    erase(timed);
    if (empty())
        Stop();
}

size_t wxMasterTimer::GetRegisteredCount() const
{
    Lock lock(*this);
    return size();
}

void wxMasterTimer::Notify()
{
    const int tick = m_Ticks;
    // The counter wraps to 0 instead of overflowing after years of running.
    const int next = tick == INT_MAX ? 0 : tick + 1;
    if (tick % 2 == 0)
        wxTimed::s_Timer0100.Emit();
    if (tick % 5 != 0)
    {
        m_Ticks = next;
        return;
    }
    wxTimed::s_Timer0250.Emit();
    {
        Lock lock(*this);
        // Walk a snapshot and skip objects that left meanwhile, so a hook
        // that destroys a wxTimed cannot invalidate the walk.
        const std::vector<wxTimed*> snapshot(begin(), end());
        for (wxTimed* timed : snapshot)
            if (count(timed))
                timed->OnTick();
    }
    m_Ticks = next;
}

void wxMasterTimer::OnLibShutdown()
{
    wxTimed::s_Timer0100.DisconnectAll();
    wxTimed::s_Timer0250.DisconnectAll();
    // Resetting the owner deletes this object: nothing may touch it after.
    std::unique_ptr<wxMasterTimer> self = std::move(s_MasterTimer);
}

// ---------------------------------------------------------------- wxFixedTimer

wxFixedTimer::wxFixedTimer() = default;

wxFixedTimer::~wxFixedTimer() = default;

void wxFixedTimer::Notify()
{
    if (GetOwner())
        wxTimer::Notify();
}
