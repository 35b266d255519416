// The client application's queue of received messages and its entries.
#pragma once

#include <boost/shared_ptr.hpp>
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
    std::weak_ptr<draviklib_detail::MessageQueue> m_Queue;  // weak: the queue holds the entry
};

namespace draviklib_detail
{
/// Waiting messages in arrival order. Entries claimed out of an event stay
/// in place until they reach either end, where they are trimmed, so taking
/// costs no search and the dispatcher just skips them.
class MessageQueue
{
public:
    void PushBack(const boost::shared_ptr<QueuedMessage>& entry);
    void PushFront(const boost::shared_ptr<QueuedMessage>& entry);
    /// Claims and removes the first unclaimed entry; empty when none waits.
    boost::shared_ptr<Message> ClaimNext();
    /// Claims that entry; empty when it was already claimed.
    boost::shared_ptr<Message> Claim(QueuedMessage& entry);
    boost::shared_ptr<Message> Peek(const QueuedMessage& entry) const;
    size_t UnclaimedCount() const;
    /// Claims and drops every entry.
    void Clear();

private:
    void _Trim();

    mutable std::mutex m_Mutex;
    std::deque<boost::shared_ptr<QueuedMessage>> m_Entries;
    size_t m_Unclaimed = 0;
};
}
