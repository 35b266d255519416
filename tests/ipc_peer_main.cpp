// Peer program of the request tests: listens under the name given as its
// first argument, says so on stdout, reports each PING there with the thread
// it ran on, and ends on QUIT. "QUIT <program>" also posts "BYE app" to that
// program just before its application object ends and "BYE exit" after it,
// so that both ways a process ends must send what was posted.
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "xolib/app.h"

int main(int argc, char** argv)
{
    const std::thread::id mainThread = std::this_thread::get_id();
    bool quit = false;
    String replyTo;
    {
        Application application("IpcPeer");
        application.AddPipeHandler("PING", [mainThread](const String& text) {
            std::printf("%s %s\n", std::this_thread::get_id() == mainThread ? "main" : "other", text.c_str());
            return std::fflush(stdout) == 0;
        });
        application.AddPipeHandler("QUIT", [&quit, &replyTo](const String& text) {
            quit = true;
            replyTo = text.Mid(5);
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
        // QUIT's answer went out when its handler returned.
        application.StopListening();
        if (!replyTo.Empty())
            Application::PostRequest(Path(replyTo), "BYE app");
    }
    if (!replyTo.Empty())
        Application::PostRequest(Path(replyTo), "BYE exit");
    return quit ? 0 : 3;
}
