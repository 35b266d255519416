// The shared heartbeat: tick pattern, start and stop with the registered
// objects, copies, library shutdown, and the owner-less timer. Ticks are
// driven one by one through Notify, never by the wall clock.
#include <memory>
#include <vector>

#include <wx/frame.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxtimed_private.h"

using namespace dravik_test;

namespace
{
/// What happened on which tick, in order.
struct Trace
{
    std::vector<std::pair<int, char>> events;  // (tick, 'h' 100 ms | 'q' 250 ms | 't' OnTick)
    int Count(char what) const
    {
        int n = 0;
        for (const auto& e : events)
            n += e.second == what;
        return n;
    }
};

Trace* s_Trace = nullptr;

int CurrentTick()
{
    return wxMasterTimer::Get()->GetTickCount();
}

class CountingTimed : public wxTimed
{
public:
    CountingTimed() = default;
    CountingTimed(const CountingTimed& other) = default;
    void OnTick() override
    {
        ++ticks;
        if (s_Trace)
            s_Trace->events.emplace_back(CurrentTick(), 't');
    }
    int ticks = 0;
};

class SignalReceiver : public HasSlots<ThreadPolicy::LocalThreaded>
{
public:
    SignalReceiver()
    {
        wxTimed::s_Timer0100.Connect(this, &SignalReceiver::On100);
        wxTimed::s_Timer0250.Connect(this, &SignalReceiver::On250);
    }
    void On100() { s_Trace->events.emplace_back(CurrentTick(), 'h'); }
    void On250() { s_Trace->events.emplace_back(CurrentTick(), 'q'); }
};

void Tick(int n)
{
    for (int i = 0; i < n; ++i)
        wxMasterTimer::Get()->Notify();
}

class TimerTest : public ::testing::Test
{
protected:
    void SetUp() override { s_Trace = &m_Trace; }
    void TearDown() override { s_Trace = nullptr; }
    Trace m_Trace;
};
}

TEST_F(TimerTest, TickPatternTenAndFourPerSecondWithBothSignalsOnTickZero)
{
    CountingTimed timed;
    SignalReceiver receiver;
    ASSERT_NE(wxMasterTimer::Get(), nullptr);
    EXPECT_TRUE(wxMasterTimer::Get()->IsRunning());
    EXPECT_EQ(wxMasterTimer::Get()->GetInterval(), 50);

    const int first = CurrentTick();
    Tick(20);  // one second
    EXPECT_EQ(m_Trace.Count('h'), 10);
    EXPECT_EQ(m_Trace.Count('q'), 4);
    EXPECT_EQ(m_Trace.Count('t'), 4);
    for (const auto& e : m_Trace.events)
    {
        if (e.second == 'h')
            EXPECT_EQ(e.first % 2, 0) << "100 ms signal on tick " << e.first;
        else
            EXPECT_EQ(e.first % 5, 0) << "250 ms event on tick " << e.first;
    }
    // On a tick that is a multiple of ten: 100 ms, then 250 ms, then hooks.
    const int ten = first + (10 - first % 10) % 10;
    std::vector<char> onTen;
    for (const auto& e : m_Trace.events)
        if (e.first == ten)
            onTen.push_back(e.second);
    EXPECT_EQ(onTen, (std::vector<char>{'h', 'q', 't'}));
}

TEST_F(TimerTest, StopsWithTheLastObjectAndResumesWithTheCounterKept)
{
    int stoppedAt;
    {
        CountingTimed timed;
        Tick(3);
        stoppedAt = CurrentTick();
    }
    EXPECT_FALSE(wxMasterTimer::Get()->IsRunning());
    EXPECT_EQ(wxMasterTimer::Get()->GetRegisteredCount(), 0u);

    CountingTimed again;
    EXPECT_TRUE(wxMasterTimer::Get()->IsRunning());
    EXPECT_EQ(CurrentTick(), stoppedAt);
}

TEST_F(TimerTest, CopiesAreNotRegistered)
{
    CountingTimed original;
    const size_t registered = wxMasterTimer::Get()->GetRegisteredCount();
    {
        CountingTimed copy(original);
        CountingTimed assigned;
        assigned = original;
        EXPECT_EQ(wxMasterTimer::Get()->GetRegisteredCount(), registered + 1);  // only `assigned`
        Tick(10);
        EXPECT_EQ(copy.ticks, 0);
        EXPECT_EQ(original.ticks, 2);
    }
    EXPECT_EQ(wxMasterTimer::Get()->GetRegisteredCount(), registered);
    EXPECT_TRUE(wxMasterTimer::Get()->IsRunning());
}

TEST_F(TimerTest, AHookMayDestroyAnotherObjectDuringTheWalk)
{
    struct Killer : CountingTimed
    {
        std::unique_ptr<CountingTimed>* victim = nullptr;
        void OnTick() override
        {
            CountingTimed::OnTick();
            victim->reset();
        }
    };
    auto first = std::make_unique<CountingTimed>();
    auto second = std::make_unique<CountingTimed>();
    Killer killer;
    // Whatever the address order, the victim either ran before the killer or
    // is skipped after it: no call reaches a destroyed object.
    killer.victim = first.get() < second.get() ? &second : &first;
    Tick(5);
    EXPECT_EQ(killer.ticks, 1);
}

TEST_F(TimerTest, TheRealTimerDrivesTheHooks)
{
    CountingTimed timed;
    EXPECT_TRUE(WaitUntil([&] { return timed.ticks >= 2; }, 5000));
}

TEST(FixedTimer, NotifiesItsOwnerAndStaysSilentWithoutOne)
{
    wxFrame frame(nullptr, wxID_ANY, "owner");
    int fired = 0;
    frame.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { ++fired; });
    wxFixedTimer owned;
    owned.SetOwner(&frame);
    owned.Notify();
    EXPECT_EQ(fired, 1);

    wxFixedTimer orphan;
    orphan.Notify();  // a plain toolkit timer would report a missing handler here
    orphan.StartOnce(1);
    WaitUntil([&] { return !orphan.IsRunning(); }, 2000);
    EXPECT_EQ(fired, 1);
}

TEST_F(TimerTest, LibraryShutdownDisconnectsReceiversAndLaterDestructionIsHarmless)
{
    SignalReceiver receiver;
    auto timed = std::make_unique<CountingTimed>();
    EXPECT_GE(wxTimed::s_Timer0100.ConnectionCount(), 1u);
    wxMasterTimer::Get()->OnLibShutdown();
    EXPECT_EQ(wxMasterTimer::Get(), nullptr);
    EXPECT_EQ(wxTimed::s_Timer0100.ConnectionCount(), 0u);
    EXPECT_EQ(wxTimed::s_Timer0250.ConnectionCount(), 0u);
    timed.reset();  // the master timer is gone: nothing to do, no crash

    // A new object brings a new master timer.
    CountingTimed fresh;
    ASSERT_NE(wxMasterTimer::Get(), nullptr);
    EXPECT_EQ(CurrentTick(), 0);
}
