// The simulated master's stream: the rate a client that reads as fast as it
// can gets against the rate asked for, and the CPU the master's thread takes
// with no client and with one. Prints "BENCH <name> <value> <unit>" lines.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "draviklib/simulated_master.h"

namespace
{
typedef std::chrono::steady_clock Clock;
const auto k_Window = std::chrono::seconds(2);

double CpuMs(int who)
{
    rusage usage;
    ::getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

/// A client on this thread that reads everything and counts MSG records.
class CountingClient
{
public:
    explicit CountingClient(int port) : m_Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in addr;
        std::memset(&addr, 0, sizeof(addr));
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(uint16_t(port));
        if (::connect(m_Fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0)
        {
            ::close(m_Fd);
            m_Fd = -1;
        }
    }
    ~CountingClient()
    {
        if (m_Fd >= 0)
            ::close(m_Fd);
    }
    bool Connected() const { return m_Fd >= 0; }
    int64_t Messages() const { return m_Messages; }

    /// Reads until the deadline or until `messages` were counted; false when
    /// the link ended.
    bool ReadUntil(Clock::time_point deadline, int64_t messages = INT64_MAX)
    {
        char chunk[64 * 1024];
        while (m_Messages < messages)
        {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return true;
            pollfd fd = {m_Fd, POLLIN, 0};
            if (::poll(&fd, 1, int(left)) <= 0)
                continue;
            ssize_t got = ::read(m_Fd, chunk, sizeof(chunk));
            if (got <= 0)
                return false;
            m_Partial.append(chunk, size_t(got));
            size_t start = 0;
            for (size_t end; (end = m_Partial.find('\n', start)) != std::string::npos; start = end + 1)
                m_Messages += m_Partial.compare(start, 4, "MSG\t") == 0;
            m_Partial.erase(0, start);
        }
        return true;
    }

private:
    int m_Fd;
    std::string m_Partial;
    int64_t m_Messages = 0;
};

/// Messages a reading client gets per second, over the rate asked for.
double RateRatio(double rate)
{
    SimulatedMaster master(1, rate);
    if (!master.Start())
        return 0;
    CountingClient client(master.Port());
    if (!client.Connected() || !client.ReadUntil(Clock::now() + std::chrono::seconds(10), 1))
        return 0;
    const int64_t greeting = client.Messages();
    const Clock::time_point start = Clock::now();
    client.ReadUntil(start + k_Window);
    return double(client.Messages() - greeting) / (Seconds(Clock::now() - start) * rate);
}

/// CPU milliseconds per second of wall time that everything but this thread
/// takes, with or without a client reading on this thread.
double MasterCpuMsPerSecond(double rate, bool withClient)
{
    SimulatedMaster master(1, rate);
    if (!master.Start())
        return -1;
    std::unique_ptr<CountingClient> client;
    if (withClient)
        client = std::make_unique<CountingClient>(master.Port());
    const Clock::time_point start = Clock::now();
    const double processBefore = CpuMs(RUSAGE_SELF), thisBefore = CpuMs(RUSAGE_THREAD);
    if (client)
        client->ReadUntil(start + k_Window);
    else
        std::this_thread::sleep_for(k_Window);
    const double masterMs = (CpuMs(RUSAGE_SELF) - processBefore) - (CpuMs(RUSAGE_THREAD) - thisBefore);
    return masterMs / Seconds(Clock::now() - start);
}
}

int main()
{
    const struct
    {
        const char* name;
        double rate;
    } k_Rates[] = {{"1k", 1000}, {"10k", 10000}, {"50k", 50000}};
    for (const auto& rate : k_Rates)
        std::printf("BENCH master_rate_ratio_%s %.3f x\n", rate.name, RateRatio(rate.rate));
    std::printf("BENCH master_idle_cpu_ms_per_s %.1f ms\n", MasterCpuMsPerSecond(10000, false));
    std::printf("BENCH master_client_cpu_ms_per_s %.1f ms\n", MasterCpuMsPerSecond(10000, true));
    std::fflush(stdout);
    return 0;
}
