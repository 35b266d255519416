// dravik-master: serves the simulated farm on a loopback port, so that
// programs started with "--master 127.0.0.1:PORT" have a master to talk to.
//
//   dravik-master --listen PORT [--stream-rate N] [--seed S]
//
// Logs to stderr and serves until SIGINT or SIGTERM, then stops cleanly.
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <pthread.h>

#include "draviklib/simulated_master.h"
#include "xolib/log.h"

namespace
{
const double k_MaxStreamRate = 1e6;

void PrintUsage()
{
    std::fprintf(stderr, "usage: dravik-master --listen PORT [--stream-rate N] [--seed S]\n"
                         "  --listen PORT      loopback port to serve on (0: any free port)\n"
                         "  --stream-rate N    stream messages per second (default 4; 0: none)\n"
                         "  --seed S           seed of the simulated farm (default 1)\n");
}

bool ParseLong(const char* text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

bool ParseRate(const char* text, double& value)
{
    char* end = nullptr;
    errno = 0;
    double parsed = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(parsed) || parsed < 0 ||
        parsed > k_MaxStreamRate)
        return false;
    value = parsed;
    return true;
}

struct Settings
{
    long port = -1;
    double rate = 4.0;
    long seed = 1;
};

/// Reads "--name value" and "--name=value"; false (with a message) on
/// anything else.
bool ParseArguments(int argc, char** argv, Settings& settings)
{
    for (int i = 1; i < argc; ++i)
    {
        std::string name = argv[i];
        std::string value;
        size_t equals = name.find('=');
        if (equals != std::string::npos)
        {
            value = name.substr(equals + 1);
            name.erase(equals);
        }
        else if (name == "--help" || name == "-h")
            return false;
        else if (i + 1 < argc)
            value = argv[++i];
        else
        {
            std::fprintf(stderr, "dravik-master: %s needs a value\n", name.c_str());
            return false;
        }
        bool good;
        if (name == "--listen")
            good = ParseLong(value.c_str(), 0, 65535, settings.port);
        else if (name == "--stream-rate")
            good = ParseRate(value.c_str(), settings.rate);
        else if (name == "--seed")
            good = ParseLong(value.c_str(), 0, 4294967295L, settings.seed);
        else
        {
            std::fprintf(stderr, "dravik-master: unknown option %s\n", name.c_str());
            return false;
        }
        if (!good)
        {
            std::fprintf(stderr, "dravik-master: bad value for %s: '%s'\n", name.c_str(), value.c_str());
            return false;
        }
    }
    if (settings.port < 0)
    {
        std::fprintf(stderr, "dravik-master: --listen PORT is required\n");
        return false;
    }
    return true;
}
}

int main(int argc, char** argv)
{
    Settings settings;
    if (!ParseArguments(argc, argv, settings))
    {
        PrintUsage();
        return 2;
    }
    Log::s_GlobalLog.SetEcho(true);

    // Blocked before the master's thread starts, so that it inherits the mask
    // and only this thread takes the signals, in sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimulatedMaster master(uint32_t(settings.seed), settings.rate);
    master.SetListenPort(int(settings.port));
    if (!master.Start())
    {
        LogError(SFormat("dravik-master: cannot serve on 127.0.0.1:%ld", settings.port));
        return 1;
    }
    LogStatus(SFormat("dravik-master: serving %s, %g messages per second, seed %ld", master.GetAddress().c_str(),
                      settings.rate, settings.seed));

    int signal = 0;
    while (sigwait(&stopSignals, &signal) != 0)
    {
    }
    LogStatus(SFormat("dravik-master: %s received; stopping", signal == SIGINT ? "SIGINT" : "SIGTERM"));
    master.Stop();
    LogStatus("dravik-master: stopped");
    return 0;
}
