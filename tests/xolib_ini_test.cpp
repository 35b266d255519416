// INI documents, their atomic save and the self-saving options file.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

#include "internal.h"
#include "xolib/file.h"
#include "xolib/log.h"

namespace fs = std::filesystem;

namespace
{
class TempDir
{
public:
    TempDir()
    {
        char name[] = "/tmp/xolib-ini-XXXXXX";
        if (!mkdtemp(name))
            throw std::runtime_error("mkdtemp failed");
        m_Path = name;
    }
    ~TempDir()
    {
        std::error_code ignored;
        fs::remove_all(m_Path, ignored);
    }
    Path operator/(const char* name) const { return Path(String(m_Path)) / Path(name); }

    // Leftover temporary files of saves in the folder.
    size_t TempFiles(bool remove = false) const
    {
        size_t count = 0;
        for (const auto& entry : fs::directory_iterator(m_Path))
            if (entry.path().filename().string().find(".tmp-") != std::string::npos)
            {
                ++count;
                if (remove)
                    fs::remove(entry.path());
            }
        return count;
    }

    std::string m_Path;
};

void WriteRaw(const Path& path, const std::string& bytes)
{
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << bytes;
}

// The text of the core exception f throws, or "(none)".
String Thrown(const std::function<void()>& f)
{
    try
    {
        f();
    }
    catch (Exception* e)
    {
        std::unique_ptr<Exception> owner(e);
        return e->GetText();
    }
    return "(none)";
}

// Every section, key and value, in order: equal documents give equal dumps.
std::vector<std::string> Dump(const IniFile& ini)
{
    std::vector<std::string> out;
    for (const String& section : ini.GetSections())
    {
        out.push_back("[" + section.Str() + "]");
        for (const String& key : ini.GetKeys(section))
            out.push_back(key.Str() + "\x01" + ini.GetValue(section, key, "<absent>").Str());
    }
    return out;
}

// Counts the warnings of the core log that mention a text while it lives.
class WarningCounter
{
public:
    explicit WarningCounter(const String& needle)
        : m_Id(Log::s_GlobalLog.AddObserver([this, needle](LogLevel level, const String& text) {
              m_Count += level == LOG_WARNING && text.Find(needle) >= 0;
          }))
    {
    }
    ~WarningCounter() { Log::s_GlobalLog.RemoveObserver(m_Id); }
    int Count() const { return m_Count; }

private:
    std::atomic<int> m_Count{0};
    int m_Id;
};

// A document of about count * 220 bytes spread over several sections.
IniFile BigDocument(const char* tag, int count)
{
    IniFile ini;
    for (int i = 0; i < count; ++i)
        ini.SetValue(SFormat("Section %d", i / 100), SFormat("key%d", i),
                     SFormat("%s-%d-", tag, i) + String(200, char('a' + i % 26)));
    return ini;
}

// The failure-injection hook is a plain function: its plan lives here.
int s_KillAtStep = -1;
int s_FailAtStep = -1;
int s_LastStep = 0;

bool TestSaveHook(int step)
{
    s_LastStep = step;
    if (step == s_KillAtStep)
        raise(SIGKILL);
    return step != s_FailAtStep;
}

// Installs the hook and returns the number of steps a save of ini takes.
struct HookInstaller
{
    explicit HookInstaller(const IniFile& ini, const Path& probe)
    {
        xolib_internal::SetSaveStepHook(&TestSaveHook);
        ini.Save(probe);
        m_Steps = s_LastStep;
        File::Remove(probe);
    }
    ~HookInstaller()
    {
        xolib_internal::SetSaveStepHook(nullptr);
        s_KillAtStep = s_FailAtStep = -1;
    }
    int m_Steps;
};

}  // namespace

TEST(XolibIni, AwkwardTextRoundTrips)
{
    IniFile ini;
    const char* values[] = {"plain", "", " lead", "trail ", "  ", "two\nlines", "cr\r", "\"quoted\"",
                            "\"", "a=b=c", "[not a section]", ";not a comment", "#nor this", "tab\tin",
                            "ctl\x01\x1f\x7f", "back\\slash\\", "\\\"", "utf-8 \xc3\xbc", "x\"y"};
    const char* keys[] = {"k", " padded ", "eq=ual", "[bracket", ";semi", "#hash", "\"q", "new\nline",
                          "back\\", "]close", "sp ace"};
    int n = 0;
    for (const char* section : {"", "Main", "a]b", " pad ", "line\nbreak", "\"", "[x]", "="})
    {
        for (const char* key : keys)
            ini.SetValue(section, key, values[n++ % (sizeof values / sizeof *values)]);
        ini.SetValue(section, String(), "empty key");
    }
    ini.InsertSection("Empty");
    const String text = ini.ToText();

    IniFile back;
    EXPECT_EQ(back.Parse(text), 0) << text.c_str();
    EXPECT_EQ(Dump(back), Dump(ini));
    EXPECT_EQ(back.ToText(), text);
    EXPECT_TRUE(back.HasSection("Empty"));

    // The unnamed section comes first and has no header, even when it was
    // filled after the others.
    IniFile late;
    late.SetValue("S", "a", "1");
    late.SetValue("", "top", 2);
    late.SetValue("S", "b", true);
    EXPECT_EQ(late.ToText(), "top=2\n[S]\na=1\nb=1\n");
}

TEST(XolibIni, HandWrittenTextAndTypedValues)
{
    IniFile ini;
    const char* text =
        "\xEF\xBB\xBF"
        "  top =  value with  inner  blanks  \r\n"
        "; comment=ignored\n"
        "# also=ignored\n"
        "[ Section ]\n"
        "key=1\n"
        "key=2\n"
        "url = http://x/?a=b\n"
        "half = \"open quote\n"
        "[Other]\n"
        "[Section]\n"
        "more=yes\n";
    EXPECT_EQ(ini.Parse(text), 0);
    EXPECT_EQ(ini.GetValue("", "top", "?"), "value with  inner  blanks");
    EXPECT_EQ(ini.GetValue("Section", "key", "?"), "2");  // the last repeat wins
    EXPECT_EQ(ini.GetValue("Section", "url", "?"), "http://x/?a=b");
    EXPECT_EQ(ini.GetValue("Section", "half", "?"), "\"open quote");
    EXPECT_EQ(ini.GetValue("Section", "more", "?"), "yes");  // a repeated section merges
    EXPECT_EQ(ini.GetKeys("Section").size(), 4u);
    EXPECT_TRUE(ini.HasSection("Other"));
    EXPECT_FALSE(ini.HasKey("", "; comment"));
    EXPECT_EQ(ini.GetValue("section", "key", "case"), "case");

    // Text, read as a bool with default false and with default true.
    using BoolCase = std::tuple<const char*, bool, bool>;
    for (auto [text, withFalse, withTrue] :
         {BoolCase{"1", true, true}, {"TRUE", true, true}, {"Yes", true, true}, {" on ", true, true},
          {"0", false, false}, {"false", false, false}, {"NO", false, false}, {"Off", false, false},
          {"2", false, true}, {"", false, true}, {"yess", false, true}})
    {
        ini.SetValue("B", "v", text);
        EXPECT_EQ(ini.GetValue("B", "v", false), withFalse) << text;
        EXPECT_EQ(ini.GetValue("B", "v", true), withTrue) << text;
    }
    // Text and its value as an int; 99 is the default.
    using IntCase = std::pair<const char*, int>;
    for (auto [text, expected] : {IntCase{" 12", 12}, {"-7", -7}, {"+3", 3}, {"15px", 15}, {"px", 99}, {"", 99},
                                  {"-", 99}, {"2147483647", 2147483647}, {"2147483648", 99}, {"-2147483649", 99},
                                  {"99999999999999999999", 99}})
    {
        ini.SetValue("I", "v", text);
        EXPECT_EQ(ini.GetValue("I", "v", 99), expected) << text;
    }
    EXPECT_EQ(ini.GetValue("Nope", "v", true), true);
}

TEST(XolibIni, MalformedInputGivesDefaults)
{
    IniFile ini;
    using namespace std::string_literals;
    std::string bad = "no equals sign\n[unterminated\n=no key\n  = \nnul\0byte=1\ngood=1\n[\n\"unterminated=2\n"s;
    bad += std::string(5 << 20, 'x') + "=huge\n";
    bad += "after=ok";
    EXPECT_EQ(ini.Parse(String(bad)), 8);
    EXPECT_EQ(ini.GetValue("", "good", 0), 1);
    EXPECT_EQ(ini.GetValue("", "after", "?"), "ok");
    EXPECT_EQ(ini.GetKeys("").size(), 2u);

    TempDir dir;
    // Garbage of every kind reads without crashing and logs one line per file.
    std::mt19937 random(12345);
    std::string binary(200000, '\0');
    for (char& c : binary)
        c = char(random());
    const std::pair<const char*, std::string> files[] = {
        {"empty.ini", ""},
        {"binary.ini", binary},
        {"garbage.ini", std::string(1000, '[') + "\n" + std::string(3000, '\n') + "x\nkey=value\n"},
        {"longline.ini", std::string(6 << 20, 'k') + "\nkey=value\n"},
    };
    for (const auto& file : files)
    {
        Path path = dir / file.first;
        WriteRaw(path, file.second);
        WarningCounter warnings(path.GetString());
        IniFile read(path, true, false);
        EXPECT_EQ(read.GetValue("", "absent", 7), 7) << file.first;
        const bool hasKey = file.second.find("key=value") != std::string::npos;
        EXPECT_EQ(read.GetValue("", "key", "?"), hasKey ? "value" : "?") << file.first;
        EXPECT_TRUE(hasKey ? warnings.Count() == 1 : warnings.Count() <= 1) << file.first;
    }

    // Missing: empty without complaint. A folder or an oversized file:
    // an exception when asked for, else empty.
    EXPECT_TRUE(IniFile(dir / "missing/deeper.ini", true, false).GetSections().empty());
    fs::create_directory(dir.m_Path + "/folder.ini");
    Path oversized = dir / "oversized.ini";
    WriteRaw(oversized, "key=value\n" + std::string(17 << 20, ';'));
    for (const Path& path : {dir / "folder.ini", oversized})
    {
        EXPECT_GE(Thrown([&] { IniFile(path, true, false); }).Find(path.GetString()), 0) << path.c_str();
        EXPECT_TRUE(IniFile(path, false, false).GetSections().empty());
    }
}

TEST(XolibIniSave, FailureAtAnyStepKeepsTheOldFile)
{
    TempDir dir;
    Path path = dir / "options.ini";
    IniFile oldDoc = BigDocument("old", 500);
    IniFile newDoc = BigDocument("new", 1500);
    oldDoc.Save(path);
    const String oldText = File::ReadAll(path);

    HookInstaller hook(newDoc, dir / "probe.ini");
    ASSERT_GT(hook.m_Steps, 6);  // several write blocks, so failures land mid-file too
    // Each step before the rename: as a full disk or an I/O error would.
    for (s_FailAtStep = 1; s_FailAtStep < hook.m_Steps - 1; ++s_FailAtStep)
    {
        EXPECT_NE(Thrown([&] { newDoc.Save(path); }), "(none)") << "step " << s_FailAtStep;
        EXPECT_EQ(File::ReadAll(path), oldText) << "step " << s_FailAtStep;
        EXPECT_EQ(dir.TempFiles(), 0u) << "step " << s_FailAtStep;
    }
}

// A child process saves the new document over the old one and is killed at
// each step in turn. Whatever the step, the target parses to one of the two:
// the old one before the rename, the new one from it on. A killed process
// cannot remove its temporary file, so one may be left.
TEST(XolibIniSave, KilledSaveLeavesOldOrNew)
{
    TempDir dir;
    Path path = dir / "options.ini";
    IniFile oldDoc = BigDocument("old", 1000);
    IniFile newDoc = BigDocument("new", 3000);
    const auto oldDump = Dump(oldDoc);
    const auto newDump = Dump(newDoc);
    HookInstaller hook(newDoc, dir / "probe.ini");
    const int renameStep = hook.m_Steps - 1;

    for (int killAt = 1; killAt <= hook.m_Steps + 1; ++killAt)
    {
        s_KillAtStep = -1;
        oldDoc.Save(path);
        dir.TempFiles(true);
        s_KillAtStep = killAt;
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            _exit(Thrown([&] { newDoc.Save(path); }) == "(none)" ? 0 : 2);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        EXPECT_EQ(killed, killAt <= hook.m_Steps) << "step " << killAt;
        EXPECT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << "step " << killAt;

        auto dump = Dump(IniFile(path, true, false));
        ASSERT_TRUE(dump == oldDump || dump == newDump) << "step " << killAt;
        EXPECT_EQ(dump == newDump, killAt >= renameStep) << "step " << killAt;
        EXPECT_EQ(dir.TempFiles(), killed && killAt < renameStep ? 1u : 0u) << "step " << killAt;
    }
}

TEST(XolibOptions, PauseGuardsAndFailedSaves)
{
    TempDir dir;
    Path path = dir / "prog/options.ini";
    {
        OptionsFile options(path);
        EXPECT_FALSE(File::Exists(path));
        options.SetValue("Window", "Main", "1, 2, 3, 4");
        EXPECT_EQ(IniFile(path, true, false).GetValue("Window", "Main", "?"), "1, 2, 3, 4");
        {
            OptionsFile::PauseAutoWrite outer(options);
            options.SetValue("Confirm", "ExploreFolder", false);
            {
                OptionsFile::PauseAutoWrite inner(options);
                options.SetValue("Search", "CaseSensitive", true);
            }
            // The inner guard ending must not write.
            EXPECT_TRUE(options.IsAutoWritePaused());
            EXPECT_FALSE(IniFile(path, true, false).HasSection("Search"));
            options.RemoveKey("Window", "Main");
            EXPECT_TRUE(IniFile(path, true, false).HasKey("Window", "Main"));
        }
        EXPECT_FALSE(options.IsAutoWritePaused());
        IniFile written(path, true, false);
        EXPECT_EQ(written.GetValue("Search", "CaseSensitive", false), true);
        EXPECT_EQ(written.GetValue("Confirm", "ExploreFolder", true), false);
        EXPECT_FALSE(written.HasKey("Window", "Main"));

        // A guard with no change writes nothing.
        File::Remove(path);
        {
            OptionsFile::PauseAutoWrite idle(options);
        }
        EXPECT_FALSE(File::Exists(path));
        options.ClearSection("Confirm");
        EXPECT_TRUE(IniFile(path, true, false).GetKeys("Confirm").empty());
        EXPECT_TRUE(IniFile(path, true, false).HasKey("Search", "CaseSensitive"));
    }
    // A new object reads what the old one wrote.
    EXPECT_EQ(OptionsFile(path).GetValue("Search", "CaseSensitive", false), true);

    // A folder in the way: the failed save is logged, not thrown; the
    // pending change reaches the file once the obstacle is gone.
    Path blocked = dir / "blocked.ini";
    fs::create_directory(blocked.c_str());
    OptionsFile options(blocked);
    WarningCounter warnings(blocked.GetString());
    EXPECT_NO_THROW(options.SetValue("A", "b", "c"));
    EXPECT_EQ(warnings.Count(), 1);
    EXPECT_FALSE(options.Flush());
    fs::remove(blocked.c_str());
    EXPECT_TRUE(options.Flush());
    EXPECT_EQ(IniFile(blocked, true, false).GetValue("A", "b", "?"), "c");
}

TEST(XolibOptions, ConcurrentChanges)
{
    TempDir dir;
    Path path = dir / "options.ini";
    OptionsFile options(path);
    const int k_Threads = 4, k_Keys = 50;
    {
        OptionsFile::PauseAutoWrite pause(options);
        std::vector<std::thread> threads;
        for (int t = 0; t < k_Threads; ++t)
            threads.emplace_back([&options, t] {
                for (int k = 0; k < k_Keys; ++k)
                {
                    options.SetValue(SFormat("T%d", t), SFormat("k%d", k), k);
                    options.GetValue(SFormat("T%d", (t + 1) % k_Threads), "k0", 0);
                    // Some writers save on their own, racing the paused state.
                    if (k % 10 == 0)
                        options.Flush();
                }
            });
        for (auto& thread : threads)
            thread.join();
    }
    IniFile written(path, true, false);
    for (int t = 0; t < k_Threads; ++t)
        for (int k = 0; k < k_Keys; ++k)
            ASSERT_EQ(written.GetValue(SFormat("T%d", t), SFormat("k%d", k), -1), k);
}
