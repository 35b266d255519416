// INI documents: parsing against the floor of copying the same bytes, at two
// sizes (the ratio of the two parses shows whether parsing stays linear),
// and the lookups, removals and writing of a large document.
#include "bench_util.h"
#include "xolib/file.h"

using dravik_bench::KeepAlive;
using dravik_bench::MedianMs;
using dravik_bench::Report;

namespace
{
// keys settings: half in one section (its key index at full size), half in
// sections of ten (the section index at full size).
String MakeText(int keys)
{
    IniFile ini;
    for (int i = 0; i < keys / 2; ++i)
        ini.SetValue("Big", SFormat("Column%dWidth", i), SFormat("%d, %d, 640, 480", i, i % 7));
    for (int i = 0; i < keys - keys / 2; ++i)
        ini.SetValue(SFormat("Window %d", i / 10), SFormat("Key%d", i % 10), SFormat("/farm/jobs/%d/frames", i));
    return ini.ToText();
}

struct ParseFigures
{
    double parseMs;
    double copyMs;
};

ParseFigures MeasureParse(const String& text, const char* size)
{
    const int repeats = dravik_bench::Repeats(7);
    const double parseMs = MedianMs(repeats, [&] {
        IniFile ini;
        KeepAlive(ini.Parse(text));
    });
    const double copyMs = MedianMs(repeats, [&] {
        String copy = text;
        KeepAlive(copy);
    });
    Report(SFormat("ini_parse_%s_keys_ms", size).Str(), parseMs, "ms");
    Report(SFormat("ini_copy_%s_keys_ms", size).Str(), copyMs, "ms");
    Report(SFormat("ini_parse_over_copy_%s", size).Str(), parseMs / copyMs, "x");
    return {parseMs, copyMs};
}
}  // namespace

int main()
{
    dravik_bench::UseSteadyHeap();
    const String text100k = MakeText(100000);
    const String text300k = MakeText(300000);
    const ParseFigures small = MeasureParse(text100k, "100k");
    const ParseFigures large = MeasureParse(text300k, "300k");
    // 3 when parsing is linear; the quadratic parser gave about 14.
    Report("ini_parse_300k_over_100k", large.parseMs / small.parseMs, "x");

    const int repeats = dravik_bench::Repeats(5);
    IniFile parsed;
    parsed.Parse(text100k);
    xolib::vector<std::pair<String, String>> keys;
    for (const String& section : parsed.GetSections())
        for (const String& key : parsed.GetKeys(section))
            keys.emplace_back(section, key);

    Report("ini_lookup_100k_keys_ms", MedianMs(repeats, [&] {
               size_t total = 0;
               for (const auto& key : keys)
                   total += parsed.GetValue(key.first, key.second, String()).Length();
               KeepAlive(total);
           }),
           "ms");
    IniFile shrinking;
    Report("ini_remove_100k_keys_ms",
           MedianMs(
               repeats,
               [&] {
                   for (const auto& key : keys)
                       shrinking.RemoveKey(key.first, key.second);
               },
               [&] { shrinking = parsed; }),
           "ms");
    Report("ini_totext_100k_keys_ms", MedianMs(repeats, [&] { KeepAlive(parsed.ToText()); }), "ms");
    return 0;
}
