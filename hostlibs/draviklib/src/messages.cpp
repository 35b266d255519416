#include "message_queue.h"

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
    m_Entries.push_back(entry);
    ++m_Unclaimed;
}

void MessageQueue::PushFront(const boost::shared_ptr<QueuedMessage>& entry)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Entries.push_front(entry);
    ++m_Unclaimed;
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
        --m_Unclaimed;
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
    --m_Unclaimed;
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
