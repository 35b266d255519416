// The client application's queue of received messages and its entries.
#pragma once

#include <atomic>
#include <boost/shared_ptr.hpp>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "draviklib/draviklib.h"

namespace draviklib_detail
{
class MessageQueue;
}

/// One received message. The queue's mutex guards every field: claiming (by
/// TakeMessage or by the dispatcher) happens once, under that lock.
class QueuedMessage
{
public:
    QueuedMessage(const boost::shared_ptr<Message>& message,
                  const std::shared_ptr<draviklib_detail::MessageQueue>& queue)
        : m_Message(message), m_Queue(queue)
    {
    }

private:
    friend class draviklib_detail::MessageQueue;
    friend class MessageReceivedEvt;

    boost::shared_ptr<Message> m_Message;  // emptied when claimed
    bool m_Claimed = false;
    uint64_t m_Arrival = 0;
    std::weak_ptr<draviklib_detail::MessageQueue> m_Queue;  // weak: the queue holds the entry
};

namespace draviklib_detail
{
/// Waiting messages in arrival order. Entries claimed out of an event stay
/// in place until they reach either end, where they are trimmed, so taking
/// costs no search and the dispatcher just skips them.
///
/// The queue is bounded: once it holds its capacity, the producer waits in
/// WaitForRoom until consumers have brought it down to three quarters, so a
/// producer that outruns its consumer is held back instead of growing memory.
class MessageQueue
{
public:
    explicit MessageQueue(size_t capacity) { SetCapacity(capacity); }

    /// Queues a newly received message and numbers its arrival.
    void PushBack(const boost::shared_ptr<QueuedMessage>& entry);
    /// Queues a message again in its place in arrival order (the head when it
    /// never was queued).
    void Requeue(const boost::shared_ptr<QueuedMessage>& entry);
    /// Claims and removes the first unclaimed entry; empty when none waits.
    boost::shared_ptr<Message> ClaimNext();
    /// Claims that entry; empty when it was already claimed.
    boost::shared_ptr<Message> Claim(QueuedMessage& entry);
    boost::shared_ptr<Message> Peek(const QueuedMessage& entry) const;
    size_t UnclaimedCount() const;
    /// Claims and drops every entry.
    void Clear();

    void SetCapacity(size_t capacity);
    size_t GetCapacity() const;
    /// Waits while the queue is full and keepWaiting holds; true when there
    /// is room.
    bool WaitForRoom(const std::atomic<bool>& keepWaiting);
    /// Makes every WaitForRoom look at its keepWaiting flag again now.
    void WakeWaiters();

private:
    void _Trim();
    void _Claimed();

    mutable std::mutex m_Mutex;
    std::condition_variable m_Room;
    std::deque<boost::shared_ptr<QueuedMessage>> m_Entries;
    size_t m_Unclaimed = 0;
    uint64_t m_LastArrival = 0;
    size_t m_Capacity = 1;
    bool m_Full = false;  // reached capacity; room again at three quarters
};
}
