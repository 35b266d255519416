// INI documents, their atomic save and the self-saving options file.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <sys/stat.h>
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
using Lines = std::vector<std::string>;

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

    // The names in the folder that contain part.
    Lines Names(const std::string& part) const
    {
        Lines names;
        for (const auto& entry : fs::directory_iterator(m_Path))
            if (entry.path().filename().string().find(part) != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }
    // Leftover temporary files of saves.
    size_t TempFiles() const { return Names(".tmp-").size(); }

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
        return "(none)";
    }
    catch (Exception* e)
    {
        return std::unique_ptr<Exception>(e)->GetText();
    }
}

// Every section, key and value, in order: equal documents give equal dumps.
Lines Dump(const IniFile& ini)
{
    Lines out;
    for (const String& section : ini.GetSections())
    {
        out.push_back("[" + section.Str() + "]");
        for (const String& key : ini.GetKeys(section))
            out.push_back(key.Str() + "\x01" + ini.GetValue(section, key, "<absent>").Str());
    }
    return out;
}

// Collects the warnings of the core log that mention a text while it lives.
class Warnings
{
public:
    explicit Warnings(const String& needle)
        : m_Id(Log::s_GlobalLog.AddObserver([this, needle](LogLevel level, const String& text) {
              std::lock_guard<std::mutex> lock(m_Mutex);
              if (level == LOG_WARNING && text.Find(needle) >= 0)
                  m_Lines.push_back(text.Str());
          }))
    {
    }
    ~Warnings() { Log::s_GlobalLog.RemoveObserver(m_Id); }
    int Count() const { return int(Get().size()); }
    Lines Get() const
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Lines;
    }

private:
    mutable std::mutex m_Mutex;
    Lines m_Lines;
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

// The save-step hook is a plain function: its plan lives here. A save in a
// child process killed or stopped at a step stands for a copy of the program
// that died while saving or is saving still.
int s_FailAtStep = -1, s_SignalAtStep = -1, s_Signal = SIGKILL, s_LastStep = 0;

bool TestSaveHook(int step)
{
    s_LastStep = step;
    if (step == s_SignalAtStep)
        raise(s_Signal);
    return step != s_FailAtStep;
}

// Installs the hook while it lives.
struct HookInstaller
{
    HookInstaller() { xolib_internal::SetSaveStepHook(&TestSaveHook); }
    ~HookInstaller()
    {
        xolib_internal::SetSaveStepHook(nullptr);
        s_FailAtStep = s_SignalAtStep = -1;
        s_Signal = SIGKILL;
    }
};

pid_t SaveInChild(const IniFile& doc, const Path& path)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(Thrown([&] { doc.Save(path); }) == "(none)" ? 0 : 2);
    return child;
}

// The child's status once it ends or stops.
int StatusOf(pid_t child)
{
    int status = -1;
    return child > 0 && waitpid(child, &status, WUNTRACED) == child ? status : -1;
}
}  // namespace

TEST(XolibIni, AnyDocumentReadsBackExactly)
{
    auto readsBack = [](const IniFile& ini) {
        const String text = ini.ToText();
        IniFile back;
        return back.Parse(text) == 0 && Dump(back) == Dump(ini) && back.ToText() == text;
    };
    // A byte-order mark opening the first key of the file is the key's own.
    IniFile bom;
    bom.SetValue("", "\xEF\xBB\xBFk", "v");
    EXPECT_TRUE(readsBack(bom)) << bom.ToText().c_str();
    // The unnamed section keeps its place; only first and with keys can it go without a header.
    IniFile late;
    late.SetValue("S", "a", "1");
    late.SetValue("", "top", 2);
    late.SetValue("S", "b", true);
    EXPECT_EQ(late.ToText(), "[S]\na=1\nb=1\n[\"\"]\ntop=2\n");

    // Random documents of nasty bytes, built through the interface.
    using namespace std::string_literals;
    const std::string pieces[] = {"\xEF\xBB\xBF", "[", "]", "\"", "\\", "=", ";", "#", "\0"s, "\r", "\n", "\r\n",
                                  "\t", " ", "\x80", "\xff", "\xc3\xa9", "a", "Z", "\\x41", "[\"\"]", "\x7f",
                                  "\x01", "\x1f"};
    std::mt19937 random(20240611);
    auto randomText = [&] {
        std::string t;
        for (int n = int(random() % 6); n > 0; --n)
            t += pieces[random() % (sizeof pieces / sizeof *pieces)];
        return String(t);
    };
    for (int doc = 0; doc < 3000; ++doc)
    {
        IniFile ini;
        for (int s = int(random() % 5); s > 0; --s)
        {
            const String name = random() % 4 == 0 ? String() : randomText();
            ini.InsertSection(name);
            for (int k = int(random() % 4); k > 0; --k)
                ini.SetValue(name, randomText(), randomText());
            if (random() % 4 == 0 && !ini.GetKeys(name).empty())
                ini.RemoveKey(name, ini.GetKeys(name)[0]);
        }
        ASSERT_TRUE(readsBack(ini)) << doc << ": " << ::testing::PrintToString(ini.ToText().Str());
    }
}

TEST(XolibIni, HandWrittenTextAndTypedValues)
{
    IniFile ini;
    EXPECT_EQ(ini.Parse("\xEF\xBB\xBF"
                        "  top =  value with  inner  blanks  \r\n; comment=ignored\n# also=ignored\n"
                        "[ Section ]\nkey=1\nkey=2\nurl = http://x/?a=b\nhalf = \"open quote\n"
                        "[Other]\n[Section]\nmore=yes\n"),
              0);
    // Comments are no keys, the last repeat of a key wins, a repeated section merges.
    EXPECT_EQ(Dump(ini), (Lines{"[]", "top\x01value with  inner  blanks", "[Section]", "key\x01" "2",
                                "url\x01http://x/?a=b", "half\x01\"open quote", "more\x01yes", "[Other]"}));
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
}

// Malformed lines are skipped, and logged in one line per file. Keys under a
// header that does not parse belong to no section: before, they overwrote
// the same keys of the section above.
TEST(XolibIni, MalformedLinesAreSkipped)
{
    using namespace std::string_literals;
    const std::string overlong(5 << 20, 'h');
    const std::string text = "no equals sign\n=no key\n  = \nnul\0byte=1\ngood=1\n\"unterminated=2\n"s +
                             overlong + "=huge\nafter=ok\n"
                             "[A]\nk=a\n"
                             "[B\nk=b\n; comment\n\nother=1\n"  // no closing bracket
                             "[\"bad]\nk=c\n[]\nlate=1\n"        // unterminated quoted name
                             "[C]\nk=d\n"
                             "[x\0y]\nk=e\n"s +                  // a NUL byte
                             "  [" + overlong + "]\nk=f\n" +     // over-long
                             "[D]\nk=g\n" + overlong + "\nk2=h\n";  // an over-long key line goes alone
    IniFile ini;
    EXPECT_EQ(ini.Parse(text), 16);  // 6 lines; under broken headers 4 headers, 5 keys, 1 line
    EXPECT_EQ(Dump(ini), (Lines{"[]", "good\x01" "1", "after\x01ok", "late\x01" "1", "[A]", "k\x01" "a", "[C]",
                                "k\x01" "d", "[D]", "k\x01g", "k2\x01h"}));

    TempDir dir;
    Path path = dir / "broken.ini";
    WriteRaw(path, text);
    Warnings warnings(path.GetString());
    EXPECT_EQ(Dump(IniFile(path, true, false)), Dump(ini));
    ASSERT_EQ(warnings.Count(), 1);
    EXPECT_NE(warnings.Get()[0].find("skipped 16 "), std::string::npos) << warnings.Get()[0];

    // Random bytes parse without harm.
    std::mt19937 random(12345);
    std::string binary(200000, '\0');
    for (char& c : binary)
        c = char(random());
    EXPECT_GT(ini.Parse(binary), 0);

    // Missing: empty without complaint. A folder or an oversized file:
    // an exception when asked for, else empty.
    EXPECT_TRUE(IniFile(dir / "missing/deeper.ini", true, false).GetSections().empty());
    fs::create_directory(dir.m_Path + "/folder.ini");
    Path oversized = dir / "oversized.ini";
    WriteRaw(oversized, "key=value\n" + std::string(17 << 20, ';'));
    for (const Path& unreadable : {dir / "folder.ini", oversized})
    {
        EXPECT_GE(Thrown([&] { IniFile(unreadable, true, false); }).Find(unreadable.GetString()), 0);
        EXPECT_TRUE(IniFile(unreadable, false, false).GetSections().empty()) << unreadable.c_str();
    }
}

// Random changes against a plain list of sections and keys, across the sizes
// where sections start and stop being indexed and removals get compacted.
TEST(XolibIni, ChangesMatchAPlainModel)
{
    using Entries = std::vector<std::pair<std::string, std::string>>;
    std::vector<std::pair<std::string, Entries>> model;
    std::mt19937 random(7);
    IniFile ini;
    for (int step = 0; step < 200000; ++step)
    {
        const std::string name = "S" + std::to_string(random() % 3), key = "k" + std::to_string(random() % 40);
        const int action = int(random() % 100);
        auto section = std::find_if(model.begin(), model.end(), [&](const auto& s) { return s.first == name; });
        Entries& entries = section != model.end() ? section->second : model.emplace_back(name, Entries()).second;
        auto found = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == key; });
        if (action < 55)
        {
            ini.SetValue(name, key, std::to_string(step));
            if (found != entries.end())
                found->second = std::to_string(step);
            else
                entries.emplace_back(key, std::to_string(step));
        }
        else if (action < 99)
        {
            ini.RemoveKey(name, key);
            if (found != entries.end())
                entries.erase(found);
        }
        else
        {
            ini.ClearSection(name);
            entries.clear();
        }
        if (step % 97 == 0)
        {
            Lines expected;
            for (const auto& [label, items] : model)
            {
                expected.push_back("[" + label + "]");
                for (const auto& [k, v] : items)
                    expected.push_back(k + "\x01" + v);
            }
            ASSERT_EQ(Dump(ini), expected) << "step " << step;
        }
    }
}

// Many keys in one section and many sections: lookups, removals and order at
// a size where anything slower than linear runs out of time.
TEST(XolibIni, LargeDocumentsKeepTheirOrder)
{
    const int k_Keys = 200000, k_Sections = 20000;
    std::string text = "[Big]\n";
    for (int i = 0; i < k_Keys; ++i)
        text += "key" + std::to_string(i) + "=v" + std::to_string(i) + "\n";
    for (int i = 0; i < k_Sections; ++i)
        text += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    IniFile ini;
    ASSERT_EQ(ini.Parse(text), 0);
    ASSERT_EQ(ini.GetSections().size(), size_t(k_Sections + 1));
    for (int i = 0; i < k_Keys; ++i)
        ASSERT_EQ(ini.GetValue("Big", SFormat("key%d", i), "?"), SFormat("v%d", i));
    for (int i = 0; i < k_Sections; ++i)
        ASSERT_EQ(ini.GetValue(SFormat("S%d", i), "k", -1), i);

    for (int i = 1; i < k_Keys; i += 2)
        ini.RemoveKey("Big", SFormat("key%d", i));
    ini.SetValue("Big", "key1", "back");   // a removed key comes back at the end
    ini.SetValue("Big", "key0", "first");  // a present one keeps its place
    xolib::vector<String> expected;
    for (int i = 0; i < k_Keys; i += 2)
        expected.push_back(SFormat("key%d", i));
    expected.push_back("key1");
    ASSERT_TRUE(ini.GetKeys("Big") == expected);
    EXPECT_FALSE(ini.HasKey("Big", "key3"));

    IniFile back;
    ASSERT_EQ(back.Parse(ini.ToText()), 0);
    EXPECT_EQ(Dump(back), Dump(ini));
    for (int i = 0; i < k_Keys; ++i)
        ini.RemoveKey("Big", SFormat("key%d", i));
    EXPECT_TRUE(ini.GetKeys("Big").empty());
    EXPECT_TRUE(ini.HasSection("Big"));
}

// A save failed (as on a full disk) or killed at each step in turn leaves the
// old file before the rename and the new one from it on. A failed save
// removes its temporary file; a killed one leaves it to the next save.
TEST(XolibIniSave, FailedOrKilledSaveLeavesOldOrNew)
{
    TempDir dir;
    Path path = dir / "options.ini";
    IniFile oldDoc = BigDocument("old", 1000), newDoc = BigDocument("new", 3000);
    const String oldText = oldDoc.ToText(), newText = newDoc.ToText();
    HookInstaller hook;
    newDoc.Save(path);
    const int steps = s_LastStep, renameStep = steps - 1;
    ASSERT_GT(steps, 6);  // several write blocks, so failures land mid-file too

    for (int step = 1; step <= steps + 1; ++step)
    {
        s_SignalAtStep = -1;
        oldDoc.Save(path);
        if (step < renameStep)
        {
            s_FailAtStep = step;
            EXPECT_NE(Thrown([&] { newDoc.Save(path); }), "(none)") << "step " << step;
            EXPECT_TRUE(File::ReadAll(path) == oldText) << "step " << step;
            EXPECT_EQ(dir.TempFiles(), 0u) << "step " << step;
            s_FailAtStep = -1;
        }
        s_SignalAtStep = step;
        const int status = StatusOf(SaveInChild(newDoc, path));
        const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        EXPECT_EQ(killed, step <= steps) << "step " << step;
        EXPECT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << "step " << step;
        EXPECT_TRUE(File::ReadAll(path) == (step >= renameStep ? newText : oldText)) << "step " << step;
        EXPECT_EQ(dir.TempFiles(), killed && step < renameStep ? 1u : 0u) << "step " << step;
    }
}

// Temporary files that killed saves left go at the next load or save of the
// same file, but never the one of a save going on, which may belong to
// another copy of the program.
TEST(XolibIniSave, StaleTemporaryFilesGoLiveOnesStay)
{
    TempDir dir;
    Path path = dir / "options.ini";
    IniFile doc = BigDocument("doc", 300);
    doc.Save(path);
    WriteRaw(dir / ".options.ini.tmp-Old001", "stale");
    WriteRaw(dir / ".options.ini.tmp-Old002", "stale");
    WriteRaw(dir / ".other.ini.tmp-abcdef", "another file's");
    EXPECT_EQ(Dump(OptionsFile(path)), Dump(doc));
    EXPECT_EQ(dir.TempFiles(), 1u);
    WriteRaw(dir / ".options.ini.tmp-Old003", "stale");
    doc.Save(path);
    EXPECT_EQ(dir.TempFiles(), 1u);
    EXPECT_EQ(File::ReadAll(dir / ".other.ini.tmp-abcdef"), "another file's");

    // A save held after making its temporary file: a load leaves that file,
    // and another save waits for it, boundedly, then fails clearly.
    HookInstaller hook;
    const int oldTimeout = xolib_internal::SetSaveLockTimeoutMs(200);
    s_Signal = SIGSTOP;
    s_SignalAtStep = 1;  // the temporary file made, the save lock held
    const pid_t live = SaveInChild(BigDocument("live", 300), path);
    s_SignalAtStep = -1;
    ASSERT_GT(live, 0);
    EXPECT_TRUE(WIFSTOPPED(StatusOf(live)));
    EXPECT_EQ(Dump(OptionsFile(path)), Dump(doc));
    EXPECT_EQ(dir.TempFiles(), 2u);
    EXPECT_GE(Thrown([&] { doc.Save(path); }).Find(path.GetString()), 0);
    EXPECT_EQ(dir.TempFiles(), 2u);
    kill(live, SIGCONT);
    EXPECT_EQ(StatusOf(live), 0);
    xolib_internal::SetSaveLockTimeoutMs(oldTimeout);
    EXPECT_EQ(dir.TempFiles(), 1u);
    EXPECT_EQ(Dump(IniFile(path, true, false)), Dump(BigDocument("live", 300)));
}

TEST(XolibOptions, ChangesSaveAtOnceUnlessPaused)
{
    TempDir dir;
    Path path = dir / "prog/options.ini";
    OptionsFile options(path);
    EXPECT_FALSE(File::Exists(path));
    options.SetValue("Window", "Main", "1, 2, 3, 4");
    const Lines first = {"[Window]", "Main\x01" "1, 2, 3, 4"};
    EXPECT_EQ(Dump(IniFile(path, true, false)), first);
    {
        OptionsFile::PauseAutoWrite outer(options);
        options.SetValue("Confirm", "ExploreFolder", false);
        {
            OptionsFile::PauseAutoWrite inner(options);
            options.SetValue("Search", "CaseSensitive", true);
        }
        options.RemoveKey("Window", "Main");
        // Neither the inner guard ending nor a change under the outer one writes.
        EXPECT_TRUE(options.IsAutoWritePaused());
        EXPECT_EQ(Dump(IniFile(path, true, false)), first);
    }
    EXPECT_EQ(Dump(IniFile(path, true, false)),
              (Lines{"[Window]", "[Confirm]", "ExploreFolder\x01" "0", "[Search]", "CaseSensitive\x01" "1"}));

    // A guard with no change writes nothing; a new object reads what was written.
    File::Remove(path);
    {
        OptionsFile::PauseAutoWrite idle(options);
    }
    EXPECT_FALSE(File::Exists(path));
    options.ClearSection("Confirm");
    EXPECT_EQ(Dump(OptionsFile(path)), (Lines{"[Window]", "[Confirm]", "[Search]", "CaseSensitive\x01" "1"}));
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

// A file that exists but cannot be read must never be saved over: it is
// moved aside at load, and a save that finds one fails.
TEST(XolibOptions, UnreadableFileIsMovedAsideNeverOverwritten)
{
    TempDir dir;
    const std::string oversized = "key=value\n" + std::string(17 << 20, ';');
    const Lines saved = {"[A]", "b\x01" "c"};
    Path path = dir / "options.ini";
    // Backups that exist already, of this second and the next: kept as they are.
    for (time_t when : {time(nullptr), time(nullptr) + 1})
    {
        char name[64];
        struct tm local;
        strftime(name, sizeof name, "options.ini.unreadable-%Y%m%d-%H%M%S", localtime_r(&when, &local));
        WriteRaw(dir / name, "decoy");
    }
    for (int round = 0; round < 2; ++round)
    {
        WriteRaw(path, oversized);
        Warnings warnings(path.GetString());
        OptionsFile options(path);
        ASSERT_EQ(warnings.Count(), 1) << round;
        EXPECT_NE(warnings.Get()[0].find(path.GetString().Str() + ".unreadable-"), std::string::npos)
            << warnings.Get()[0];
        options.SetValue("A", "b", "c");
        EXPECT_EQ(Dump(IniFile(path, true, false)), saved);
    }
    std::multiset<uintmax_t> sizes;
    for (const std::string& name : dir.Names("options.ini.unreadable-"))
        sizes.insert(fs::file_size(dir.m_Path + "/" + name));
    EXPECT_EQ(sizes, (std::multiset<uintmax_t>{5, 5, oversized.size(), oversized.size()}));

    // Not a regular file: a folder, a FIFO.
    fs::create_directory(dir.m_Path + "/folder.ini");
    WriteRaw(dir / "folder.ini/inside", "kept");
    ASSERT_EQ(mkfifo((dir / "fifo.ini").c_str(), 0600), 0);
    for (const char* name : {"folder.ini", "fifo.ini"})
    {
        OptionsFile(dir / name).SetValue("A", "b", "c");
        EXPECT_EQ(Dump(IniFile(dir / name, true, false)), saved) << name;
        EXPECT_EQ(dir.Names(std::string(name) + ".unreadable-").size(), 1u) << name;
    }
    for (const std::string& backup : dir.Names("folder.ini.unreadable-"))
        EXPECT_EQ(File::ReadAll(dir / (backup + "/inside").c_str()), "kept");

    // Cannot be moved aside (the backup's name would be too long): the
    // object never saves there, and says so once.
    const std::string longName = std::string(236, 'n') + ".ini";
    Path stuck = dir / longName.c_str();
    WriteRaw(stuck, oversized);
    {
        Warnings warnings(stuck.GetString());
        OptionsFile options(stuck);
        options.SetValue("A", "b", "c");
        options.RemoveKey("A", "b");
        EXPECT_FALSE(options.Flush());
        EXPECT_EQ(warnings.Count(), 1);
    }
    EXPECT_EQ(fs::file_size(stuck.c_str()), oversized.size());

    // Unreadable at the moment of saving: the save fails, the change waits.
    Path shared = dir / "shared.ini";
    OptionsFile options(shared);
    options.SetValue("A", "b", "1");
    WriteRaw(shared, oversized);
    Warnings warnings(shared.GetString());
    options.SetValue("A", "c", "2");
    EXPECT_EQ(warnings.Count(), 1);
    EXPECT_FALSE(options.Flush());
    EXPECT_EQ(fs::file_size(shared.c_str()), oversized.size());
    WriteRaw(shared, "[Other]\nx=1\n");
    EXPECT_TRUE(options.Flush());
    // The file's own content won over the memory's.
    EXPECT_EQ(Dump(IniFile(shared, true, false)), (Lines{"[Other]", "x\x01" "1", "[A]", "c\x01" "2"}));
}

// Two objects on one path stand for two copies of a program.
TEST(XolibOptions, TwoCopiesShareOneFile)
{
    TempDir dir;
    Path path = dir / "options.ini";
    OptionsFile first(path);
    OptionsFile second(path);
    first.SetValue("Window", "Main", "first");
    second.SetValue("Search", "Case", "1");
    first.SetValue("Window", "Other", "x");
    second.SetValue("Window", "Main", "second");  // the later save wins
    EXPECT_EQ(Dump(IniFile(path, true, false)),
              (Lines{"[Window]", "Main\x01second", "Other\x01x", "[Search]", "Case\x01" "1"}));

    // Removals, clears and sets are replayed in their order.
    {
        OptionsFile::PauseAutoWrite pause(first);
        first.RemoveKey("Search", "Case");
        first.ClearSection("Window");
        first.SetValue("Window", "Size", "3");
        first.SetValue("Window", "Pos", "7");
        first.InsertSection("Empty");
        second.SetValue("Search", "Word", "2");
        second.SetValue("Window", "Late", "4");
    }
    const Lines expected = {"[Window]", "Size\x01" "3", "Pos\x01" "7", "[Search]", "Word\x01" "2", "[Empty]"};
    EXPECT_EQ(Dump(IniFile(path, true, false)), expected);
    EXPECT_EQ(Dump(first), expected);  // the saver adopts the merged file
    second.SetValue("Search", "Word", "5");
    EXPECT_EQ(Dump(IniFile(path, true, false)),
              (Lines{"[Window]", "Size\x01" "3", "Pos\x01" "7", "[Search]", "Word\x01" "5", "[Empty]"}));
    EXPECT_EQ(first.GetValue("Search", "Word", "?"), "2");  // until it saves again
    first.SetValue("Window", "Size", "6");
    EXPECT_EQ(first.GetValue("Search", "Word", "?"), "5");
}

// An options file without a path lives in memory, as the client library's
// fallback options do.
TEST(XolibOptions, MemoryOnlyOptionsNeverTouchTheDisk)
{
    TempDir dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.m_Path);
    {
        OptionsFile options{Path()};
        {
            OptionsFile::PauseAutoWrite pause(options);
            options.SetValue("A", "b", "c");
            options.InsertSection("");
        }
        options.SetValue("A", "d", 1);
        options.RemoveKey("A", "b");
        EXPECT_TRUE(options.Flush());
        EXPECT_EQ(Dump(options), (Lines{"[A]", "d\x01" "1", "[]"}));
    }
    fs::current_path(before);
    EXPECT_TRUE(fs::is_empty(dir.m_Path));
}
