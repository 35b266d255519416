// Xolib private: the request listener behind Application. Only app.cpp and
// ipc.cpp see it.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "xolib/app.h"

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
}

/// Accepts connections on the program's socket and hands each request to the
/// main thread. One short-lived worker thread per connection, so a slow client
/// only ever holds up itself.
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
    struct Worker
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    void StopLocked();
    void AcceptLoop(int listenFd, int stopFd, const std::shared_ptr<Dispatch>& dispatch);
    void ReapWorkers(bool all);
    void Serve(xolib_detail::UniqueFd connection, int stopFd,
               const std::shared_ptr<Dispatch>& dispatch);
    bool ServeRequest(const String& text, const std::shared_ptr<Dispatch>& dispatch);

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

    std::list<Worker> m_Workers;  // touched by the accept thread only
};
