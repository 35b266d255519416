// Host library hot paths, measured side by side:
// - parsing and writing an options file of a realistic size against the
//   plain copy of the same bytes (the floor any parser must pay);
// - handing queued messages on through DispatchMessage against calling the
//   handlers directly (the cost of the exactly-once queue).
#include <benchmark/benchmark.h>

#include <boost/make_shared.hpp>

#include "draviklib/draviklib.h"
#include "xolib/xolib.h"

namespace
{
String MakeOptionsText(int sections, int keysPerSection)
{
    IniFile ini;
    for (int s = 0; s < sections; ++s)
        for (int k = 0; k < keysPerSection; ++k)
            ini.SetValue(SFormat("Section %d", s), SFormat("Key%d", k), SFormat("%d, %d, %d, %d", s, k, 640, 480));
    return ini.ToText();
}

void BM_IniParse(benchmark::State& state)
{
    const String text = MakeOptionsText(int(state.range(0)), 50);
    for (auto _ : state)
    {
        IniFile ini;
        benchmark::DoNotOptimize(ini.Parse(text));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.Length()));
}
BENCHMARK(BM_IniParse)->Arg(10)->Arg(200);

void BM_IniCopyFloor(benchmark::State& state)
{
    const String text = MakeOptionsText(int(state.range(0)), 50);
    for (auto _ : state)
    {
        String copy = text;
        benchmark::DoNotOptimize(copy);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.Length()));
}
BENCHMARK(BM_IniCopyFloor)->Arg(10)->Arg(200);

void BM_IniToText(benchmark::State& state)
{
    IniFile ini;
    ini.Parse(MakeOptionsText(int(state.range(0)), 50));
    for (auto _ : state)
        benchmark::DoNotOptimize(ini.ToText());
}
BENCHMARK(BM_IniToText)->Arg(10)->Arg(200);

class BenchClient : public DravikClientApp
{
public:
    BenchClient() : DravikClientApp("Bench") {}
};

void BM_DispatchThroughQueue(benchmark::State& state)
{
    BenchClient client;
    int64_t handled = 0;
    client.AddMessageHandler([&](const boost::shared_ptr<Message>&) { ++handled; });
    const auto message = boost::make_shared<Message>(Message::KIND_TEXT, 1, "text");
    for (auto _ : state)
    {
        client.RequeueMessage(message);
        client.DispatchMessage();
    }
    benchmark::DoNotOptimize(handled);
}
BENCHMARK(BM_DispatchThroughQueue);

void BM_DispatchDirect(benchmark::State& state)
{
    BenchClient client;
    int64_t handled = 0;
    client.AddMessageHandler([&](const boost::shared_ptr<Message>&) { ++handled; });
    const auto message = boost::make_shared<Message>(Message::KIND_TEXT, 1, "text");
    for (auto _ : state)
        client.CallMessageHandlers(message);
    benchmark::DoNotOptimize(handled);
}
BENCHMARK(BM_DispatchDirect);
}
