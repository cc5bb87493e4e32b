#include "platform/registry/Registry.h"
#include "TempRegistry.h"
#include "platform/activation/Categories.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qxm;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

ClassEntry sampleClass(const Guid& clsid, const std::string& progId) {
    ClassEntry e;
    e.clsid = clsid;
    e.name = "Sample \"Control\"";
    e.modulePath = "/opt/mods/libsample.so";
    e.progId = progId;
    e.control = true;
    e.toolboxBitmap = 1;
    e.miscStatus = 0x00020191;
    e.typeLib = Guid::literal("{B0000000-0000-0000-0000-000000000001}");
    e.typeLibVersion = "2.0";
    return e;
}

const Guid kClass = Guid::literal("{B0000000-0000-0000-0000-0000000000C1}");

} // namespace

TEST(RegistryText, RoundTripsValuesWithEscapesAndKeepsUnknownKeys) {
    RegistryData d;
    RegistrySection& s = d.findOrAdd("class", "{X}");
    s.set("name", " two\tlines\nwith \"quotes\" and \\ ");
    s.set("future-key", "kept");
    d.findOrAdd("progid", "A.B.1").set("clsid", "{X}");
    RegistryData back;
    ASSERT_EQ(RegistryData::parse(d.format(), back), S_OK);
    ASSERT_EQ(back.sections.size(), 2u);
    EXPECT_EQ(back.find("CLASS", "{x}")->value("name"), " two\tlines\nwith \"quotes\" and \\ ");
    EXPECT_EQ(back.find("class", "{X}")->value("future-key"), "kept");
    EXPECT_EQ(back.format(), d.format());
}

TEST(RegistryText, ReadsHandWrittenFilesAndRejectsBrokenOnes) {
    RegistryData d;
    ASSERT_EQ(RegistryData::parse("# c\n; c\n\n[typelib {L} 2.0]\r\n  name =  bare value  \n"
                                  "flags=\"control\"\n",
                                  d),
              S_OK);
    ASSERT_TRUE(d.find("typelib", "{L} 2.0"));
    EXPECT_EQ(d.find("typelib", "{L} 2.0")->value("name"), "bare value");
    std::string why;
    for (const char* bad : {"name = x\n", "[class]\n", "[class {X}\n", "[class {X}]\nnovalue\n",
                            "[class {X}]\nname = \"open\n", "[class {X}]\nname = \"a\" b\n",
                            "[class {X}]\nname = \"\\q\"\n", "[class {X}]\n = v\n"}) {
        EXPECT_EQ(RegistryData::parse(bad, d, &why), REGDB_E_READREGDB) << bad;
        EXPECT_EQ(why.rfind("line ", 0), 0u) << why;
    }
}

TEST(Registry, ClassEntriesRoundTripWithProgIds) {
    TempRegistry tmp;
    Registry reg;
    EXPECT_EQ(reg.path(), tmp.path());
    ClassEntry out;
    EXPECT_EQ(reg.findClass(kClass, out), REGDB_E_CLASSNOTREG); // no file yet
    ASSERT_EQ(reg.registerClass(sampleClass(kClass, "Sample.Ctrl.2")), S_OK);
    ASSERT_EQ(reg.findClass(kClass, out), S_OK);
    EXPECT_EQ(out.name, "Sample \"Control\"");
    EXPECT_EQ(out.modulePath, "/opt/mods/libsample.so");
    EXPECT_EQ(out.progId, "Sample.Ctrl.2");
    EXPECT_EQ(out.versionIndependentProgId, "Sample.Ctrl");
    EXPECT_EQ(out.threadingModel, "Apartment");
    EXPECT_TRUE(out.control);
    EXPECT_FALSE(out.insertable);
    EXPECT_EQ(out.toolboxBitmap, 1);
    EXPECT_EQ(out.miscStatus, 0x00020191u);
    EXPECT_EQ(out.typeLib, Guid::literal("{B0000000-0000-0000-0000-000000000001}"));
    EXPECT_EQ(out.typeLibVersion, "2.0");
    EXPECT_NE(readFile(tmp.path()).find("misc-status = \"0x00020191\""), std::string::npos);

    Guid g;
    EXPECT_EQ(reg.clsidFromProgId("sample.ctrl.2", g), S_OK);
    EXPECT_EQ(g, kClass);
    EXPECT_EQ(reg.clsidFromProgId("Sample.Ctrl", g), S_OK); // through CurVer
    EXPECT_EQ(g, kClass);
    EXPECT_EQ(reg.clsidFromProgId(kClass.toString(), g), S_OK);
    std::string why;
    EXPECT_EQ(reg.clsidFromProgId("Sample.Other", g, &why), CO_E_CLASSSTRING);
    EXPECT_NE(why.find("Sample.Other"), std::string::npos);

    // Registering again replaces the entries instead of adding to them.
    ClassEntry again = sampleClass(kClass, "Sample.Ctrl.2");
    again.miscStatus.reset();
    again.modulePath = "/elsewhere/libsample.so";
    ASSERT_EQ(reg.registerClass(again), S_OK);
    ASSERT_EQ(reg.findClass(kClass, out), S_OK);
    EXPECT_FALSE(out.miscStatus);
    EXPECT_EQ(out.modulePath, "/elsewhere/libsample.so");
    RegistryData d;
    ASSERT_EQ(reg.read(d), S_OK);
    EXPECT_EQ(d.sections.size(), 3u);
}

TEST(Registry, ProgIdWithoutVersionHasNoIndependentEntry) {
    TempRegistry tmp;
    Registry reg;
    ASSERT_EQ(reg.registerClass(sampleClass(kClass, "QXMovie.CQXMoviePropPage2")), S_OK);
    RegistryData d;
    ASSERT_EQ(reg.read(d), S_OK);
    EXPECT_TRUE(d.find("progid", "QXMovie.CQXMoviePropPage2"));
    EXPECT_EQ(d.sections.size(), 2u);
}

TEST(Registry, UnregisteringLeavesCategoriesAndMarks) {
    TempRegistry tmp;
    Registry reg;
    const Guid other = Guid::literal("{B0000000-0000-0000-0000-0000000000C2}");
    ASSERT_EQ(reg.registerClass(sampleClass(kClass, "Sample.Ctrl.2")), S_OK);
    ASSERT_EQ(reg.registerClass(sampleClass(other, "Sample.Other.1")), S_OK);
    ASSERT_EQ(reg.registerCategory(
                  {CATID_SafeForScripting, {{1033, "Controls that are safely scriptable"}}}),
              S_OK);
    ASSERT_EQ(reg.registerCategory({CATID_SafeForScripting, {{1041, "Japanese text"}}}), S_OK);
    ASSERT_EQ(reg.markImplemented(kClass, {CATID_SafeForScripting, CATID_SafeForInitializing}),
              S_OK);
    ASSERT_EQ(reg.markImplemented(kClass, {CATID_SafeForScripting}), S_OK); // no duplicate

    ASSERT_EQ(reg.unregisterClass(kClass), S_OK);
    EXPECT_EQ(reg.unregisterClass(kClass), S_FALSE);
    ClassEntry out;
    EXPECT_EQ(reg.findClass(kClass, out), REGDB_E_CLASSNOTREG);
    Guid g;
    EXPECT_EQ(reg.clsidFromProgId("Sample.Ctrl.2", g), CO_E_CLASSSTRING);
    EXPECT_EQ(reg.clsidFromProgId("Sample.Ctrl", g), CO_E_CLASSSTRING);
    EXPECT_EQ(reg.clsidFromProgId("Sample.Other", g), S_OK); // the other class is untouched
    EXPECT_EQ(g, other);

    std::vector<Guid> cats;
    ASSERT_EQ(reg.implementedCategories(kClass, cats), S_OK);
    EXPECT_EQ(cats, (std::vector<Guid>{CATID_SafeForScripting, CATID_SafeForInitializing}));
    CategoryEntry cat;
    ASSERT_EQ(reg.findCategory(CATID_SafeForScripting, cat), S_OK);
    ASSERT_TRUE(cat.description(1033));
    EXPECT_EQ(*cat.description(1033), "Controls that are safely scriptable");
    ASSERT_TRUE(cat.description(1041));
    EXPECT_EQ(cat.description(2052), nullptr);
    EXPECT_EQ(reg.findCategory(CATID_Control, cat), REGDB_E_KEYMISSING);

    ASSERT_EQ(reg.unmarkImplemented(kClass, {CATID_SafeForScripting, CATID_SafeForInitializing}),
              S_OK);
    ASSERT_EQ(reg.implementedCategories(kClass, cats), S_OK);
    EXPECT_TRUE(cats.empty());
}

TEST(Registry, TypeLibrariesByIdAndVersion) {
    TempRegistry tmp;
    Registry reg;
    const Guid lib = Guid::literal("{B0000000-0000-0000-0000-0000000000A1}");
    ASSERT_EQ(reg.registerTypeLib({lib, 2, 0, "QX Lib", "/m/lib.so", "/m", 0, true}), S_OK);
    ASSERT_EQ(reg.registerTypeLib({lib, 1, 0, "Old Lib", "/m/old.so", "", 0, false}), S_OK);
    TypeLibEntry e;
    ASSERT_EQ(reg.findTypeLib(lib, 2, 0, e), S_OK);
    EXPECT_EQ(e.name, "QX Lib");
    EXPECT_EQ(e.modulePath, "/m/lib.so");
    EXPECT_EQ(e.helpDir, "/m");
    EXPECT_TRUE(e.control);
    EXPECT_EQ(reg.findTypeLib(lib, 2, 1, e), TYPE_E_LIBNOTREGISTERED);
    ASSERT_EQ(reg.unregisterTypeLib(lib, 2, 0), S_OK);
    EXPECT_EQ(reg.unregisterTypeLib(lib, 2, 0), S_FALSE);
    EXPECT_EQ(reg.findTypeLib(lib, 2, 0, e), TYPE_E_LIBNOTREGISTERED);
    ASSERT_EQ(reg.findTypeLib(lib, 1, 0, e), S_OK);
    EXPECT_EQ(e.name, "Old Lib");
}

TEST(Registry, BadValuesAreReportedNotGuessed) {
    TempRegistry tmp;
    Registry reg;
    ASSERT_EQ(reg.modify([](RegistryData& d) {
        d.findOrAdd("class", kClass.toString()).set("misc-status", "lots");
        return S_OK;
    }),
              S_OK);
    ClassEntry out;
    std::string why;
    EXPECT_EQ(reg.findClass(kClass, out, &why), REGDB_E_INVALIDVALUE);
    EXPECT_NE(why.find("misc-status"), std::string::npos);
}

TEST(Registry, WritesAreAtomicAndNeverClobberABrokenFile) {
    TempRegistry tmp;
    Registry reg;
    ASSERT_EQ(reg.registerClass(sampleClass(kClass, "Sample.Ctrl.2")), S_OK);
    const std::string folder = tmp.dir() + "/sub";
    auto names = [&] {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"registry", "registry.lock"})); // no leftovers

    // A failing change writes nothing.
    const std::string before = readFile(tmp.path());
    EXPECT_EQ(reg.modify([](RegistryData& d) {
        d.sections.clear();
        return E_ABORT;
    }),
              E_ABORT);
    EXPECT_EQ(readFile(tmp.path()), before);

    // A file that cannot be parsed is reported and left as it is.
    { std::ofstream(tmp.path(), std::ios::app) << "garbage line\n"; }
    const std::string broken = readFile(tmp.path());
    std::string why;
    EXPECT_EQ(reg.registerClass(sampleClass(Guid::create(), "X.Y.1"), &why), REGDB_E_READREGDB);
    EXPECT_NE(why.find(tmp.path()), std::string::npos);
    EXPECT_EQ(readFile(tmp.path()), broken);
}

TEST(Registry, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    TempRegistry tmp;
    Registry reg;
    ASSERT_EQ(reg.registerClass(sampleClass(kClass, "Sample.Ctrl.2")), S_OK);
    const std::string before = readFile(tmp.path());
    // In a child limited to files smaller than the new registry, the write must fail cleanly.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{rlim_t(before.size() + 64), rlim_t(before.size() + 64)};
        setrlimit(RLIMIT_FSIZE, &limit);
        ClassEntry big = sampleClass(Guid::create(), "Sample.Big.1");
        big.name.assign(4096, 'x');
        std::string why;
        HRESULT hr = Registry().registerClass(big, &why);
        _exit(hr == REGDB_E_WRITEREGDB && !why.empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(tmp.path()), before);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(tmp.dir() + "/sub"))
        ++files;
    EXPECT_EQ(files, 2u); // the registry and its lock file
}

TEST(Registry, DefaultPathFollowsTheEnvironment) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    std::string keep = saved ? saved : "";
    unsetenv("QXM_REGISTRY");
    setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(Registry::defaultPath(), "/data/home/qxm/registry");
    setenv("QXM_REGISTRY", "/x/reg", 1);
    EXPECT_EQ(Registry::defaultPath(), "/x/reg");
    unsetenv("QXM_REGISTRY");
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(Registry::defaultPath(), "/home/u/.local/share/qxm/registry");
    if (saved) setenv("XDG_DATA_HOME", keep.c_str(), 1);
}

TEST(Registry, TwoProcessesRegisteringAtOnceLoseNothing) {
    TempRegistry tmp;
    constexpr int kPerChild = 40;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            Registry reg;
            int failures = 0;
            for (int i = 0; i < kPerChild; ++i) {
                Guid g = Guid::create();
                failures += failed(reg.registerClass(
                    sampleClass(g, "Child" + std::to_string(c) + ".C" + std::to_string(i) + ".1")));
                failures += failed(reg.markImplemented(kClass, {g}));
            }
            _exit(failures == 0 ? 0 : 1);
        }
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    Registry reg;
    RegistryData d;
    ASSERT_EQ(reg.read(d), S_OK);
    int classes = 0, progIds = 0;
    for (const auto& s : d.sections) {
        classes += s.kind == "class";
        progIds += s.kind == "progid";
    }
    EXPECT_EQ(classes, 2 * kPerChild);
    EXPECT_EQ(progIds, 4 * kPerChild); // versioned and version-independent
    std::vector<Guid> marks;
    ASSERT_EQ(reg.implementedCategories(kClass, marks), S_OK);
    EXPECT_EQ(marks.size(), std::size_t(2 * kPerChild));
}
