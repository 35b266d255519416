#include "message_queue.h"

#include <algorithm>
#include <chrono>

Message::Message(Kind kind, uint64_t sequence, const String& text, const UID& subject)
    : m_Kind(kind), m_Sequence(sequence), m_Text(text), m_Subject(subject)
{
}

Message::~Message() = default;

ShutdownMsg::ShutdownMsg(uint64_t sequence, const String& reason) : Message(KIND_SHUTDOWN, sequence, reason) {}

Signal1<const boost::shared_ptr<ShutdownMsg>&, ThreadPolicy::LocalThreaded> ShutdownMsg::s_Signal;

MessageReceivedEvt::MessageReceivedEvt(const boost::shared_ptr<QueuedMessage>& entry) : m_Entry(entry) {}

Signal1<MessageReceivedEvt&, ThreadPolicy::LocalThreaded>& MessageReceivedEvt::Signal()
{
    static Signal1<MessageReceivedEvt&, ThreadPolicy::LocalThreaded> signal;
    return signal;
}

boost::shared_ptr<Message> MessageReceivedEvt::GetMessage() const
{
    if (!m_Entry)
        return boost::shared_ptr<Message>();
    std::shared_ptr<draviklib_detail::MessageQueue> queue = m_Entry->m_Queue.lock();
    if (!queue)
        return boost::shared_ptr<Message>();
    return queue->Peek(*m_Entry);
}

boost::shared_ptr<Message> MessageReceivedEvt::TakeMessage()
{
    if (!m_Entry)
        return boost::shared_ptr<Message>();
    std::shared_ptr<draviklib_detail::MessageQueue> queue = m_Entry->m_Queue.lock();
    if (!queue)
        return boost::shared_ptr<Message>();
    return queue->Claim(*m_Entry);
}

bool MessageReceivedEvt::HasMessage() const
{
    return bool(GetMessage());
}

Signal1<MessengerConnectedEvt&, ThreadPolicy::LocalThreaded>& MessengerConnectedEvt::Signal()
{
    static Signal1<MessengerConnectedEvt&, ThreadPolicy::LocalThreaded> signal;
    return signal;
}

Signal1<MessengerDisconnectedEvt&, ThreadPolicy::LocalThreaded>& MessengerDisconnectedEvt::Signal()
{
    static Signal1<MessengerDisconnectedEvt&, ThreadPolicy::LocalThreaded> signal;
    return signal;
}

namespace draviklib_detail
{
void MessageQueue::PushBack(const boost::shared_ptr<QueuedMessage>& entry)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    entry->m_Arrival = ++m_LastArrival;
    if (entry->m_Message)
        entry->m_Message->m_Arrival = entry->m_Arrival;
    m_Entries.push_back(entry);
    if (++m_Unclaimed >= m_Capacity)
        m_Full = true;
}

void MessageQueue::Requeue(const boost::shared_ptr<QueuedMessage>& entry)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    entry->m_Arrival = entry->m_Message ? entry->m_Message->m_Arrival : 0;
    // Entries are in arrival order, claimed ones included.
    auto place = std::upper_bound(m_Entries.begin(), m_Entries.end(), entry->m_Arrival,
                                  [](uint64_t arrival, const boost::shared_ptr<QueuedMessage>& queued) {
                                      return arrival < queued->m_Arrival;
                                  });
    m_Entries.insert(place, entry);
    // Handing a message back never waits, even when that fills the queue.
    if (++m_Unclaimed >= m_Capacity)
        m_Full = true;
}

boost::shared_ptr<Message> MessageQueue::ClaimNext()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    while (!m_Entries.empty())
    {
        boost::shared_ptr<QueuedMessage> entry = m_Entries.front();
        m_Entries.pop_front();
        if (entry->m_Claimed)
            continue;
        entry->m_Claimed = true;
        _Claimed();
        boost::shared_ptr<Message> message;
        message.swap(entry->m_Message);
        _Trim();
        return message;
    }
    return boost::shared_ptr<Message>();
}

boost::shared_ptr<Message> MessageQueue::Claim(QueuedMessage& entry)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (entry.m_Claimed)
        return boost::shared_ptr<Message>();
    entry.m_Claimed = true;
    _Claimed();
    boost::shared_ptr<Message> message;
    message.swap(entry.m_Message);
    _Trim();
    return message;
}

boost::shared_ptr<Message> MessageQueue::Peek(const QueuedMessage& entry) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return entry.m_Message;
}

size_t MessageQueue::UnclaimedCount() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Unclaimed;
}

void MessageQueue::Clear()
{
    std::deque<boost::shared_ptr<QueuedMessage>> dropped;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        for (auto& entry : m_Entries)
        {
            entry->m_Claimed = true;
            entry->m_Message.reset();
        }
        dropped.swap(m_Entries);
        m_Unclaimed = 0;
        m_Full = false;
    }
    m_Room.notify_all();
}

void MessageQueue::SetCapacity(size_t capacity)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Capacity = capacity < 1 ? 1 : capacity;
        m_Full = m_Unclaimed >= m_Capacity;
    }
    m_Room.notify_all();
}

size_t MessageQueue::GetCapacity() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Capacity;
}

bool MessageQueue::WaitForRoom(const std::atomic<bool>& keepWaiting)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    // The timeout only bounds how late a missed wake-up could be noticed.
    while (m_Full && keepWaiting.load())
        m_Room.wait_for(lock, std::chrono::milliseconds(100));
    return !m_Full;
}

void MessageQueue::WakeWaiters()
{
    // Taking the lock orders this with a waiter between its check and its wait.
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
    }
    m_Room.notify_all();
}

// Called with m_Mutex held when an entry was claimed. Room is announced in
// steps of a quarter of the capacity, not per message, so a full queue does
// not wake its producer for every dispatch.
void MessageQueue::_Claimed()
{
    --m_Unclaimed;
    if (m_Full && m_Unclaimed <= m_Capacity / 4 * 3)
    {
        m_Full = false;
        m_Room.notify_all();
    }
}

void MessageQueue::_Trim()
{
    while (!m_Entries.empty() && m_Entries.front()->m_Claimed)
        m_Entries.pop_front();
    while (!m_Entries.empty() && m_Entries.back()->m_Claimed)
        m_Entries.pop_back();
}
}
