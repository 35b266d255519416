// Xolib: thread-safe signals and slots.
//
// Each signal has its own recursive lock, held while a connection is added or
// removed and while the slots are called, so a receiver that disconnects (or
// is destroyed) on another thread waits until a running emission is over and
// is never called afterwards. Slots run in connection order on the emitting
// thread. A slot may connect or disconnect (also itself) while being called.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace ThreadPolicy
{
/// The only policy: one lock per signal and per receiver.
struct LocalThreaded
{
    typedef std::recursive_mutex Mutex;
};
}

template <class Policy>
class HasSlots;

namespace xolib_detail
{
/// What a receiver knows of a signal it is connected to.
template <class Policy>
class SignalBase
{
public:
    virtual ~SignalBase() = default;
    /// Removes every connection of the receiver (called by the receiver).
    virtual void SlotDisconnect(HasSlots<Policy>* receiver) = 0;
};
}

/// Receivers derive from this; destruction cuts all their connections.
template <class Policy = ThreadPolicy::LocalThreaded>
class HasSlots
{
public:
    HasSlots() = default;
    // A copy is a new receiver with no connections.
    HasSlots(const HasSlots&) {}
    HasSlots& operator=(const HasSlots&) { return *this; }
    virtual ~HasSlots() { DisconnectAll(); }

    /// Records that the signal holds a connection to this receiver.
    void ConnectSignal(xolib_detail::SignalBase<Policy>* signal)
    {
        std::lock_guard<typename Policy::Mutex> lock(m_SlotsMutex);
        m_Senders.insert(signal);
    }
    /// Forgets the signal (it dropped all connections to this receiver).
    void DisconnectSignal(xolib_detail::SignalBase<Policy>* signal)
    {
        std::lock_guard<typename Policy::Mutex> lock(m_SlotsMutex);
        m_Senders.erase(signal);
    }
    /// Cuts every connection of this receiver. Never holds the receiver's own
    /// lock while taking a signal's lock, so it cannot deadlock with an
    /// emission that connects this receiver elsewhere.
    void DisconnectAll()
    {
        for (;;)
        {
            xolib_detail::SignalBase<Policy>* signal = nullptr;
            {
                std::lock_guard<typename Policy::Mutex> lock(m_SlotsMutex);
                if (m_Senders.empty())
                    return;
                signal = *m_Senders.begin();
                m_Senders.erase(m_Senders.begin());
            }
            signal->SlotDisconnect(this);
        }
    }

private:
    typename Policy::Mutex m_SlotsMutex;
    std::set<xolib_detail::SignalBase<Policy>*> m_Senders;
};

namespace xolib_detail
{
template <class Policy, class... Args>
class SignalN : public SignalBase<Policy>
{
public:
    SignalN() = default;
    SignalN(const SignalN&) = delete;
    SignalN& operator=(const SignalN&) = delete;
    ~SignalN() override { DisconnectAll(); }

    /// Connects receiver->method; the receiver learns of the connection.
    template <class Receiver>
    void Connect(Receiver* receiver, void (Receiver::*method)(Args...))
    {
        std::lock_guard<typename Policy::Mutex> lock(m_Mutex);
        auto slot = std::make_shared<Slot>();
        slot->receiver = receiver;
        slot->call = [receiver, method](Args... args) { (receiver->*method)(std::forward<Args>(args)...); };
        m_Slots.push_back(slot);
        static_cast<HasSlots<Policy>*>(receiver)->ConnectSignal(this);
    }

    /// Removes every connection of the receiver.
    void Disconnect(HasSlots<Policy>* receiver)
    {
        SlotDisconnect(receiver);
        receiver->DisconnectSignal(this);
    }

    /// Removes every connection, telling each receiver.
    void DisconnectAll()
    {
        std::lock_guard<typename Policy::Mutex> lock(m_Mutex);
        std::vector<std::shared_ptr<Slot>> slots;
        slots.swap(m_Slots);
        for (auto& slot : slots)
        {
            slot->alive = false;
            slot->receiver->DisconnectSignal(this);
        }
    }

    /// Calls every slot in connection order under the signal's lock. Slots
    /// removed during the emission are not called after their removal.
    void Emit(Args... args)
    {
        std::lock_guard<typename Policy::Mutex> lock(m_Mutex);
        // Snapshot so slots may connect and disconnect while being called.
        std::vector<std::shared_ptr<Slot>> slots = m_Slots;
        for (auto& slot : slots)
            if (slot->alive)
                slot->call(args...);
    }
    void operator()(Args... args) { Emit(args...); }

    size_t ConnectionCount() const
    {
        std::lock_guard<typename Policy::Mutex> lock(m_Mutex);
        return m_Slots.size();
    }

    void SlotDisconnect(HasSlots<Policy>* receiver) override
    {
        std::lock_guard<typename Policy::Mutex> lock(m_Mutex);
        m_Slots.erase(std::remove_if(m_Slots.begin(), m_Slots.end(),
                                     [receiver](const std::shared_ptr<Slot>& slot) {
                                         if (slot->receiver != receiver)
                                             return false;
                                         slot->alive = false;
                                         return true;
                                     }),
                      m_Slots.end());
    }

private:
    struct Slot
    {
        HasSlots<Policy>* receiver = nullptr;
        std::function<void(Args...)> call;
        bool alive = true;  // written and read under the signal's lock only
    };

    mutable typename Policy::Mutex m_Mutex;
    std::vector<std::shared_ptr<Slot>> m_Slots;
};
}

template <class Policy = ThreadPolicy::LocalThreaded>
class Signal0 : public xolib_detail::SignalN<Policy>
{
};

template <class Arg, class Policy = ThreadPolicy::LocalThreaded>
class Signal1 : public xolib_detail::SignalN<Policy, Arg>
{
};
