// Peer program of the request tests: listens under the name given as its
// first argument, says so on stdout, reports each PING there with the thread
// it ran on, and ends on QUIT.
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "xolib/app.h"

int main(int argc, char** argv)
{
    const std::thread::id mainThread = std::this_thread::get_id();
    Application application("IpcPeer");
    bool quit = false;
    application.AddPipeHandler("PING", [mainThread](const String& text) {
        std::printf("%s %s\n", std::this_thread::get_id() == mainThread ? "main" : "other", text.c_str());
        return std::fflush(stdout) == 0;
    });
    application.AddPipeHandler("QUIT", [&quit](const String&) {
        quit = true;
        return true;
    });
    if (argc < 2 || !application.StartListening(argv[1]))
    {
        std::printf("start failed\n");
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
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
