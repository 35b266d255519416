// Peer program of the request tests: listens under the name given as its
// first argument, reports each PING on stdout with the thread it ran on, and
// ends on QUIT.
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "xolib/app.h"

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: %s <program name>\n", argv[0]);
        return 2;
    }
    const std::thread::id mainThread = std::this_thread::get_id();
    Application application("IpcPeer");
    bool quit = false;
    application.AddPipeHandler("PING", [mainThread](const String& text) {
        const bool onMain = std::this_thread::get_id() == mainThread;
        std::printf("%s %s\n", onMain ? "main" : "other", text.c_str());
        std::fflush(stdout);
        return true;
    });
    application.AddPipeHandler("QUIT", [&quit](const String&) {
        quit = true;
        return true;
    });
    if (!application.StartListening(argv[1]))
    {
        std::printf("start failed\n");
        return 1;
    }
    // Ends by itself should the test die before sending QUIT.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!quit && std::chrono::steady_clock::now() < deadline)
    {
        application.RunPendingRequests();
        poll(nullptr, 0, 5);
    }
    // Stopping waits for the worker, so QUIT's answer goes out first.
    application.StopListening();
    return quit ? 0 : 3;
}
