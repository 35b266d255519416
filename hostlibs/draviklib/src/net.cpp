#include "net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace draviklib_detail
{
FileHandle::~FileHandle()
{
    Reset();
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other)
        Reset(other.Release());
    return *this;
}

void FileHandle::Reset(int fd)
{
    if (m_Fd >= 0)
        ::close(m_Fd);
    m_Fd = fd;
}

int FileHandle::Release()
{
    int fd = m_Fd;
    m_Fd = -1;
    return fd;
}

WakeEvent::WakeEvent() : m_Handle(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void WakeEvent::Notify()
{
    uint64_t one = 1;
    // A full counter already wakes every poller, so a failed write loses nothing.
    ssize_t written = ::write(m_Handle.Get(), &one, sizeof(one));
    (void)written;
}

void WakeEvent::Drain()
{
    uint64_t value = 0;
    ssize_t got = ::read(m_Handle.Get(), &value, sizeof(value));
    (void)got;
}

bool ParseHostPort(const String& text, String& host, int& port)
{
    int colon = text.FindLast(':');
    if (colon <= 0)
        return false;
    String portText = text.Mid(colon + 1);
    if (portText.Empty() || portText.Length() > 5)
        return false;
    for (size_t i = 0; i < portText.Length(); ++i)
        if (portText[i] < '0' || portText[i] > '9')
            return false;
    int value = portText.Int();
    if (value < 1 || value > 65535)
        return false;
    host = text.Left(colon).Trim();
    if (host.Empty() || host.Find(' ') >= 0)
        return false;
    port = value;
    return true;
}

bool SetNonBlocking(int fd)
{
    int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

static sockaddr_in MakeAddress(in_addr host, int port)
{
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_addr = host;
    addr.sin_port = htons(uint16_t(port));
    return addr;
}

static FileHandle NewTcpSocket()
{
    return FileHandle(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
}

FileHandle ListenLoopback(int& port)
{
    if (port < 0 || port > 65535)
        return FileHandle();
    FileHandle sock = NewTcpSocket();
    if (!sock.Valid())
        return FileHandle();
    // Connections of a stopped server linger in TIME_WAIT; they must not
    // keep its successor off the port.
    int one = 1;
    if (::setsockopt(sock.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one)) != 0)
        return FileHandle();
    in_addr loopback;
    loopback.s_addr = htonl(INADDR_LOOPBACK);
    sockaddr_in addr = MakeAddress(loopback, port);
    if (::bind(sock.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::listen(sock.Get(), 16) != 0)
        return FileHandle();
    socklen_t length = sizeof(addr);
    if (::getsockname(sock.Get(), reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        return FileHandle();
    port = ntohs(addr.sin_port);
    return sock;
}

static bool ResolveIPv4(const String& host, in_addr& out)
{
    if (host == "localhost")
    {
        out.s_addr = htonl(INADDR_LOOPBACK);
        return true;
    }
    if (::inet_pton(AF_INET, host.c_str(), &out) == 1)
        return true;
    addrinfo hints;
    std::memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || !result)
        return false;
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> owner(result, ::freeaddrinfo);
    out = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
    return true;
}

FileHandle ConnectTcp(const String& host, int port, int wakeFd, int timeoutMs)
{
    in_addr address;
    if (!ResolveIPv4(host, address))
        return FileHandle();
    FileHandle sock = NewTcpSocket();
    if (!sock.Valid())
        return FileHandle();
    sockaddr_in addr = MakeAddress(address, port);
    if (::connect(sock.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0)
    {
        if (errno != EINPROGRESS)
            return FileHandle();
        pollfd fds[2] = {{sock.Get(), POLLOUT, 0}, {wakeFd, POLLIN, 0}};
        int ready;
        do
            ready = ::poll(fds, 2, timeoutMs);
        while (ready < 0 && errno == EINTR);
        if (ready <= 0 || (fds[1].revents & POLLIN) || !(fds[0].revents & (POLLOUT | POLLERR | POLLHUP)))
            return FileHandle();
        int error = 0;
        socklen_t length = sizeof(error);
        if (::getsockopt(sock.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return FileHandle();
    }
    int one = 1;
    ::setsockopt(sock.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    return sock;
}

bool WaitForWake(int wakeFd, int timeoutMs)
{
    pollfd fd = {wakeFd, POLLIN, 0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        int wait = timeoutMs;
        if (timeoutMs >= 0)
            wait = int(std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                deadline - std::chrono::steady_clock::now())
                                                .count()));
        int ready = ::poll(&fd, 1, wait);
        if (ready > 0)
            return true;
        if (ready == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}
}
