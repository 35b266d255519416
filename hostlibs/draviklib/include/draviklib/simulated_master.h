// An in-process stand-in for the render farm's master, for demos and tests.
#pragma once

#include <cstdint>
#include <memory>

#include "xolib/string.h"

/// Serves the master's line protocol on 127.0.0.1 (ephemeral port) from its
/// own thread. Each client that connects first gets the model (products with
/// their parameters and commands, and the jobs), then a steady stream of job
/// progress, engine load and log messages. The stream's content follows a
/// seeded generator, so runs with the same seed send the same records.
class SimulatedMaster
{
public:
    /// messagesPerSecond: rate of the stream; 0 switches it off.
    explicit SimulatedMaster(uint32_t seed = 1, double messagesPerSecond = 4.0);
    ~SimulatedMaster();
    SimulatedMaster(const SimulatedMaster&) = delete;
    SimulatedMaster& operator=(const SimulatedMaster&) = delete;

    /// Starts listening and serving; false when no socket could be had.
    bool Start();
    /// Disconnects every client and ends the thread. Idempotent.
    void Stop();
    bool IsRunning() const;

    /// The port listened on; 0 before Start.
    int Port() const;
    /// "127.0.0.1:port".
    String GetAddress() const;

    /// Rate of the stream in messages per second; 0 switches it off.
    void SetStreamRate(double perSecond);
    /// Sends count text messages "Burst 1" ... "Burst <count>" to every
    /// client at once, with consecutive sequence numbers.
    void SendBurst(int count);
    /// Asks every client to end.
    void SendShutdown(const String& reason);
    /// Closes every client connection (clients then reconnect).
    void DropClients();
    /// Sends a raw line (a line end is added) to every client, as it is.
    void SendRawLine(const String& line);

    /// Clients connected now, and connections accepted since Start.
    int GetClientCount() const;
    int GetAcceptedCount() const;

    /// Products and jobs the model starts with.
    static constexpr int k_ProductCount = 4;
    static constexpr int k_InitialJobCount = 8;

private:
    class Impl;
    std::unique_ptr<Impl> m_Impl;
};
