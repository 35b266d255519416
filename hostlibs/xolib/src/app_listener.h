// Xolib private: the request listener behind Application. Only app.cpp and
// ipc.cpp see it.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "xolib/app.h"
#include "xolib/log.h"

namespace xolib_detail
{
/// Owns one file descriptor and closes it.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_Fd(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_Fd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return m_Fd; }
    bool Valid() const { return m_Fd >= 0; }
    int Release()
    {
        int fd = m_Fd;
        m_Fd = -1;
        return fd;
    }
    void Reset(int fd = -1);

private:
    int m_Fd = -1;
};

/// Sends what PostRequest queued (within a short bound) and ends the sending
/// thread; the next PostRequest starts it again.
void FinishPostedRequests();
}

/// Accepts connections on the program's socket and hands each complete
/// request to the main thread. One thread multiplexes every connection, so an
/// idle or slow client only ever holds up itself, and a busy main thread
/// holds up nobody's connection for longer than the answer timeout.
class Application::Listener
{
public:
    Listener();
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    void AddHandler(const String& name, const PipeHandler& handler);
    void RemoveHandler(const String& name);
    void SetInvoker(const MainThreadInvoker& invoker);
    int RunPending();

    bool Start(const String& programName);
    void Stop();
    bool IsListening() const;

    /// Shared by the listener and every request on its way to the main
    /// thread; a request may outlive the listener inside an invoker's queue.
    struct Dispatch;
    struct Call;

private:
    struct Connection;
    typedef std::vector<std::unique_ptr<Connection>> Connections;

    void StopLocked();
    void ServeLoop(int listenFd, int stopFd, const std::shared_ptr<Dispatch>& dispatch);
    void AcceptAll(int listenFd, Connections& connections, uint64_t& nextId,
                   const std::shared_ptr<Dispatch>& dispatch, bool& acceptFailed);
    void ReadRequest(Connection& connection, const std::shared_ptr<Dispatch>& dispatch);
    void CompleteRequest(Connection& connection, const std::shared_ptr<Dispatch>& dispatch);
    void Expire(Connection& connection);
    static void DeliverAnswers(Dispatch& dispatch, Connections& connections);
    /// Hands a complete request to the main thread; false when it was refused.
    bool HandOver(Connection& connection, const std::shared_ptr<Dispatch>& dispatch);

    mutable std::mutex m_HandlerMutex;  // guards m_Handlers and m_Invoker
    xolib::map<String, PipeHandler> m_Handlers;
    MainThreadInvoker m_Invoker;

    std::mutex m_QueueMutex;  // guards m_Pending
    std::deque<std::shared_ptr<Call>> m_Pending;

    mutable std::mutex m_StartMutex;  // serializes Start/Stop and guards the socket state
    xolib_detail::UniqueFd m_Socket;
    xolib_detail::UniqueFd m_StopEvent;
    Path m_SocketPath;
    String m_ProgramName;
    dev_t m_SocketDevice = 0;
    ino_t m_SocketInode = 0;
    std::shared_ptr<Dispatch> m_Dispatch;
    std::thread m_Thread;

    // One per kind of repeated warning, so that a flood of bad clients writes
    // a few lines rather than one per connection.
    LogLimiter m_RefusedLog;    // another user
    LogLimiter m_TooManyLog;    // too many connections at once, or the main thread swamped
    LogLimiter m_MalformedLog;  // bad length, NUL byte, closed early
    LogLimiter m_TimeoutLog;    // too slow to send the request
    LogLimiter m_UnknownLog;    // no handler for the request
    LogLimiter m_AcceptLog;     // accept failures (out of descriptors)
};
