// The client's link to the master: a thread with one TCP connection that
// feeds the client application's model and message queue.
#pragma once

#include <atomic>
#include <boost/shared_ptr.hpp>
#include <map>
#include <thread>

#include "draviklib/draviklib.h"
#include "net.h"
#include "protocol.h"

class Messenger
{
public:
    Messenger(DravikClientApp& app, const String& host, int port);
    ~Messenger();
    Messenger(const Messenger&) = delete;
    Messenger& operator=(const Messenger&) = delete;

    /// Starts the thread; false when it could not be started.
    bool Start();
    /// Ends the thread and closes the link; returns once the thread is gone.
    /// A deliberate stop fires no disconnected event. Not for the messenger
    /// thread itself (its slots must not end the application).
    void Stop();

    bool IsConnected() const { return m_Connected; }
    /// "host:port".
    const String& GetAddress() const { return m_Address; }

    /// Delay before the first reconnection attempt and the most it grows to.
    static constexpr int k_FirstRetryMs = 50;
    static constexpr int k_MaxRetryMs = 1000;

private:
    void _Run();
    /// Reads the connection until it drops (false) or the messenger stops (true).
    bool _Session(draviklib_detail::FileHandle& socket);
    void _HandleLine(const String& line);
    bool _HandleRecord(const xolib::vector<String>& fields);
    void _Malformed(const String& line, const char* why);

    DravikClientApp& m_App;
    String m_Host;
    int m_Port;
    String m_Address;
    draviklib_detail::WakeEvent m_Wake;
    std::atomic<bool> m_Running{false};
    std::atomic<bool> m_Connected{false};
    std::thread m_Thread;

    // Used on the messenger thread only.
    draviklib_detail::LineReader m_Reader;
    std::map<UID, boost::shared_ptr<Product>> m_Building;  // products being defined
    int m_WarningsThisSession = 0;
};
