// Small POSIX socket helpers shared by the messenger and the simulated master.
#pragma once

#include <cstddef>

#include "xolib/string.h"

namespace draviklib_detail
{
/// Owns one file descriptor and closes it.
class FileHandle
{
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : m_Fd(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : m_Fd(other.Release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int Get() const { return m_Fd; }
    bool Valid() const { return m_Fd >= 0; }
    void Reset(int fd = -1);
    int Release();

private:
    int m_Fd = -1;
};

/// A level-triggered wake-up for poll loops (an eventfd).
class WakeEvent
{
public:
    WakeEvent();
    bool Valid() const { return m_Handle.Valid(); }
    int Fd() const { return m_Handle.Get(); }
    void Notify();
    /// Clears pending notifications.
    void Drain();

private:
    FileHandle m_Handle;
};

/// Splits "host:port"; false unless the host is non-empty and the port a
/// number from 1 to 65535.
bool ParseHostPort(const String& text, String& host, int& port);

/// A non-blocking listening socket on 127.0.0.1. port: the port wanted (0:
/// an ephemeral one); receives the port bound. The address is reusable at
/// once, so a server that was just stopped can listen there again.
FileHandle ListenLoopback(int& port);

/// Connects to host:port (IPv4). Waits at most timeoutMs, and gives up at
/// once when wakeFd becomes readable. The socket comes back non-blocking.
FileHandle ConnectTcp(const String& host, int port, int wakeFd, int timeoutMs);

bool SetNonBlocking(int fd);

/// Waits until fd is readable or wakeFd is signalled or timeoutMs passed
/// (negative: no limit). Returns true when wakeFd was signalled.
bool WaitForWake(int wakeFd, int timeoutMs);
}
