// Signals and slots: order, lifetime and changes during emission.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
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

TEST(XolibSignal, SlotsRunInConnectionOrder)
{
    std::vector<int> log;
    Signal1<int, Policy> signal;
    Recorder a(log, 1), b(log, 2), c(log, 3);
    signal.Connect(&b, &Recorder::OnValue);
    signal.Connect(&a, &Recorder::OnValue);
    signal.Connect(&c, &Recorder::OnValue);
    signal(7);
    EXPECT_EQ(log, (std::vector<int>{207, 107, 307}));

    log.clear();
    signal.Disconnect(&a);
    signal.Emit(1);
    EXPECT_EQ(log, (std::vector<int>{201, 301}));
    EXPECT_EQ(signal.ConnectionCount(), 2u);
}

TEST(XolibSignal, DestructionCutsConnections)
{
    std::vector<int> log;
    Signal0<Policy> first;
    Signal0<Policy> second;
    {
        Recorder gone(log, 1);
        first.Connect(&gone, &Recorder::OnPing);
        second.Connect(&gone, &Recorder::OnPing);
        first();
    }
    EXPECT_EQ(first.ConnectionCount(), 0u);
    EXPECT_EQ(second.ConnectionCount(), 0u);
    first();
    second();
    EXPECT_EQ(log, (std::vector<int>{1}));

    // The other way round: a receiver outliving its signal.
    Recorder survivor(log, 2);
    {
        Signal0<Policy> shortLived;
        shortLived.Connect(&survivor, &Recorder::OnPing);
        first.Connect(&survivor, &Recorder::OnPing);
    }
    survivor.DisconnectAll();
    EXPECT_EQ(first.ConnectionCount(), 0u);
}

namespace
{
struct SelfRemover : HasSlots<Policy>
{
    Signal0<Policy>* signal = nullptr;
    int calls = 0;
    void OnPing()
    {
        ++calls;
        signal->Disconnect(this);
    }
};

struct Meddler : HasSlots<Policy>
{
    Signal0<Policy>* signal = nullptr;
    std::unique_ptr<Recorder> victim;  // destroyed during emission
    Recorder* newcomer = nullptr;      // connected during emission
    void OnPing()
    {
        victim.reset();
        if (newcomer)
            signal->Connect(newcomer, &Recorder::OnPing);
        newcomer = nullptr;
    }
};
}  // namespace

TEST(XolibSignal, ChangesDuringEmission)
{
    std::vector<int> log;
    Signal0<Policy> signal;
    SelfRemover remover;
    remover.signal = &signal;
    Meddler meddler;
    meddler.signal = &signal;
    meddler.victim = std::make_unique<Recorder>(log, 9);
    Recorder newcomer(log, 5);
    meddler.newcomer = &newcomer;
    Recorder last(log, 3);

    signal.Connect(&remover, &SelfRemover::OnPing);
    signal.Connect(&meddler, &Meddler::OnPing);
    signal.Connect(meddler.victim.get(), &Recorder::OnPing);
    signal.Connect(&last, &Recorder::OnPing);

    signal();
    // The victim died before its turn; the newcomer waits for the next emission.
    EXPECT_EQ(log, (std::vector<int>{3}));
    EXPECT_EQ(remover.calls, 1);
    signal();
    EXPECT_EQ(remover.calls, 1);
    EXPECT_EQ(log, (std::vector<int>{3, 3, 5}));
    EXPECT_EQ(signal.ConnectionCount(), 3u);  // meddler, last, newcomer
}

namespace
{
// Marks itself dead after cutting its connections, while its memory is still
// valid, so a call that slips through afterwards is seen.
struct Watched : HasSlots<Policy>
{
    std::atomic<bool> dead{false};
    std::atomic<int> calls{0};
    std::atomic<int>* lateCalls = nullptr;
    std::mutex* mutex = nullptr;
    std::condition_variable* called = nullptr;
    ~Watched() override
    {
        DisconnectAll();
        dead = true;
    }
    void OnValue(int)
    {
        if (dead)
            ++*lateCalls;
        {
            std::lock_guard<std::mutex> lock(*mutex);
            ++calls;
        }
        called->notify_all();
    }
};
}  // namespace

TEST(XolibSignal, ReceiverDestroyedWhileAnotherThreadEmits)
{
    Signal1<int, Policy> signal;
    std::atomic<bool> stop{false};
    std::atomic<int> lateCalls{0};
    std::mutex mutex;
    std::condition_variable called;
    std::thread emitter([&] {
        for (int i = 0; !stop; ++i)
            signal.Emit(i);
    });

    const int k_Rounds = 2000;
    int overlapped = 0;
    for (int round = 0; round < k_Rounds; ++round)
    {
        auto receiver = std::make_unique<Watched>();
        receiver->lateCalls = &lateCalls;
        receiver->mutex = &mutex;
        receiver->called = &called;
        signal.Connect(receiver.get(), &Watched::OnValue);
        {
            // Destroy only once the emitter is known to be calling it.
            std::unique_lock<std::mutex> lock(mutex);
            if (called.wait_for(lock, std::chrono::seconds(10), [&] { return receiver->calls > 0; }))
                ++overlapped;
        }
        receiver.reset();
    }
    stop = true;
    emitter.join();
    EXPECT_EQ(overlapped, k_Rounds);
    EXPECT_EQ(lateCalls, 0);
    EXPECT_EQ(signal.ConnectionCount(), 0u);
}
