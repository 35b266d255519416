// Signals and slots: order, lifetime and changes during emission.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "xolib/signal.h"

namespace
{
typedef ThreadPolicy::LocalThreaded Policy;

struct Recorder : HasSlots<Policy>
{
    Recorder(std::vector<int>& log, int id) : m_Log(log), m_Id(id) {}
    void OnValue(int value) { m_Log.push_back(m_Id * 100 + value); }
    void OnPing() { m_Log.push_back(m_Id); }
    std::vector<int>& m_Log;
    int m_Id;
};
}  // namespace

TEST(XolibSignal, OrderAndLifetime)
{
    std::vector<int> log;
    Signal1<int, Policy> values;
    Signal0<Policy> pings;
    Recorder a(log, 1), c(log, 3);
    {
        Recorder gone(log, 2);
        values.Connect(&gone, &Recorder::OnValue);
        values.Connect(&a, &Recorder::OnValue);
        values.Connect(&c, &Recorder::OnValue);
        pings.Connect(&gone, &Recorder::OnPing);
        values(7);
        EXPECT_EQ(log, (std::vector<int>{207, 107, 307}));
        values.Disconnect(&a);
    }
    // Destroying a receiver cuts all of its connections.
    log.clear();
    values.Emit(1);
    pings();
    EXPECT_EQ(log, (std::vector<int>{301}));
    EXPECT_EQ(values.ConnectionCount(), 1u);
    EXPECT_EQ(pings.ConnectionCount(), 0u);

    // The other way round: a receiver outliving its signal.
    {
        Signal0<Policy> shortLived;
        shortLived.Connect(&c, &Recorder::OnPing);
        pings.Connect(&c, &Recorder::OnPing);
    }
    c.DisconnectAll();
    EXPECT_EQ(pings.ConnectionCount(), 0u);
}

namespace
{
// On its first call: disconnects itself, destroys a receiver still waiting
// for its turn and connects a new one.
struct Meddler : HasSlots<Policy>
{
    Meddler(Signal0<Policy>& signal, Recorder* victim, Recorder& newcomer)
        : m_Signal(signal), m_Victim(victim), m_Newcomer(newcomer)
    {
    }
    void OnPing()
    {
        ++m_Calls;
        m_Signal.Disconnect(this);
        m_Victim.reset();
        m_Signal.Connect(&m_Newcomer, &Recorder::OnPing);
    }
    Signal0<Policy>& m_Signal;
    std::unique_ptr<Recorder> m_Victim;
    Recorder& m_Newcomer;
    int m_Calls = 0;
};
}  // namespace

TEST(XolibSignal, ChangesDuringEmission)
{
    std::vector<int> log;
    Signal0<Policy> signal;
    Recorder newcomer(log, 5), last(log, 3);
    Meddler meddler(signal, new Recorder(log, 9), newcomer);
    signal.Connect(&meddler, &Meddler::OnPing);
    signal.Connect(meddler.m_Victim.get(), &Recorder::OnPing);
    signal.Connect(&last, &Recorder::OnPing);

    signal();
    // The victim died before its turn; the newcomer waits for the next emission.
    EXPECT_EQ(log, (std::vector<int>{3}));
    signal();
    EXPECT_EQ(meddler.m_Calls, 1);
    EXPECT_EQ(log, (std::vector<int>{3, 3, 5}));
    EXPECT_EQ(signal.ConnectionCount(), 2u);  // last, newcomer
}

namespace
{
// Marks itself dead after cutting its connections, while its memory is still
// valid, so a call that slips through afterwards is seen.
struct Watched : HasSlots<Policy>
{
    explicit Watched(std::atomic<int>& lateCalls) : m_LateCalls(lateCalls) {}
    ~Watched() override
    {
        DisconnectAll();
        m_Dead = true;
    }
    void OnValue(int)
    {
        m_LateCalls += m_Dead;
        if (!m_Called.exchange(true))
            m_FirstCall.set_value();
    }
    std::atomic<int>& m_LateCalls;
    std::atomic<bool> m_Dead{false}, m_Called{false};
    std::promise<void> m_FirstCall;
};
}  // namespace

TEST(XolibSignal, ReceiverDestroyedWhileAnotherThreadEmits)
{
    Signal1<int, Policy> signal;
    std::atomic<int> lateCalls{0};
    std::atomic<bool> stop{false};
    std::thread emitter([&] {
        for (int i = 0; !stop; ++i)
            signal.Emit(i);
    });
    const int k_Rounds = 2000;
    int overlapped = 0;
    for (int round = 0; round < k_Rounds; ++round)
    {
        auto receiver = std::make_unique<Watched>(lateCalls);
        std::future<void> called = receiver->m_FirstCall.get_future();
        signal.Connect(receiver.get(), &Watched::OnValue);
        // Destroy only once the emitter is known to be calling it.
        overlapped += called.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        receiver.reset();
    }
    stop = true;
    emitter.join();
    EXPECT_EQ(overlapped, k_Rounds);
    EXPECT_EQ(lateCalls, 0);
    EXPECT_EQ(signal.ConnectionCount(), 0u);
}
