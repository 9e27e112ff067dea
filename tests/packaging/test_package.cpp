// The Debian package, built by cpack from the build tree's install rules
// into a folder of the test's own and unpacked with dpkg-deb -x: its control
// fields, where its files lie (the suite's own folder, only qavctl and
// qav-install-data on PATH), and its programs run from the unpacked tree
// alone: qavctl --version, qav-install-data, and nwatch with a data folder of
// its own, offscreen, ending on SIGTERM.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

#include "Installation.h"
#include "NwatchProcess.h"
#include "TestPeers.h"
#include "qav/Version.h"
#include "qavplatform/Autostart.h"

namespace {

using namespace qavtest;
namespace fs = std::filesystem;

std::string Quoted(const std::string& s) { return "'" + std::regex_replace(s, std::regex("'"), "'\\''") + "'"; }

class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        scratch_ = new TempDir;
        const std::string out = scratch_->File("out");
        buildLog_ = RunCommand(QAV_CPACK_COMMAND " -G DEB --config " + Quoted(QAV_BINARY_DIR "/CPackConfig.cmake") +
                                   " -B " + Quoted(out) + " 2>&1; echo rc=$?",
                               true);
        for (const auto& entry : fs::directory_iterator(out))
            if (entry.path().extension() == ".deb") deb_ = entry.path().string();
        if (deb_.empty()) return;
        RunCommand("dpkg-deb -x " + Quoted(deb_) + " " + Quoted(Root()));
    }
    static void TearDownTestSuite()
    {
        delete scratch_;
        scratch_ = nullptr;
    }
    void SetUp() override { ASSERT_FALSE(deb_.empty()) << "cpack made no package:\n" << buildLog_; }

    static std::string Root() { return scratch_->File("root"); }
    static std::string Field(const std::string& name)
    {
        std::string value = RunCommand("dpkg-deb -f " + Quoted(deb_) + " " + name);
        while (!value.empty() && value.back() == '\n') value.pop_back();
        return value;
    }
    // The package's paths ("./usr/bin/qavctl"), with link targets
    // ("./usr/bin/qavctl -> ../lib/qav/bin/qavctl").
    static std::vector<std::string> Contents()
    {
        std::vector<std::string> paths;
        std::istringstream in(RunCommand("dpkg-deb -c " + Quoted(deb_)));
        for (std::string line; std::getline(in, line);) {
            const size_t at = line.find(" ./");
            if (at != std::string::npos) paths.push_back(line.substr(at + 1));
        }
        return paths;
    }

    static inline TempDir* scratch_ = nullptr;
    static inline std::string deb_, buildLog_;
    TempDir work;
};

bool Holds(const std::vector<std::string>& paths, const std::string& path)
{
    for (const std::string& p : paths)
        if (p == path || p == path + "/") return true;
    return false;
}

TEST_F(Package, ControlFieldsNameTheToolSetAndWhatItNeeds)
{
    EXPECT_EQ(Field("Package"), "qav-network-tool");
    EXPECT_EQ(Field("Version"), QAV_VERSION);
    std::string architecture = RunCommand("dpkg --print-architecture");
    while (!architecture.empty() && architecture.back() == '\n') architecture.pop_back();
    EXPECT_EQ(Field("Architecture"), architecture);
    EXPECT_TRUE(std::regex_search(Field("Maintainer"), std::regex(R"(^.+ <[^ >]+@[^ >]+>$)"))) << Field("Maintainer");
    EXPECT_NE(Field("Description").find("network label and barcode printers"), std::string::npos);
    EXPECT_NE(Field("Description").find('\n'), std::string::npos) << "an extended description";
    // dpkg-shlibdeps found the libraries the programs link; the suite's own
    // libraries travel in the package and are no dependency.
    const std::string depends = Field("Depends");
    for (const char* library : {"libqt6widgets6", "libqt6dbus6", "libsnmp", "libcurl", "libc6"})
        EXPECT_NE(depends.find(library), std::string::npos) << library << " missing in: " << depends;
    EXPECT_EQ(depends.find("ncomm"), std::string::npos) << depends;
}

TEST_F(Package, ProgramsLieInTheSuitesOwnFolder)
{
    const std::vector<std::string> paths = Contents();
    std::string listing;
    for (const std::string& p : paths) listing += p + "\n";
    for (const char* program : {"nwatch", "nstat", "nconfig", "nload", "qavctl", "qav-install-data"})
        EXPECT_TRUE(Holds(paths, std::string("./usr/lib/qav/bin/") + program)) << program << "\n" << listing;
    // The suite's libraries, with their version links (libncomm.so.1).
    for (const char* library : {"libncomm.so", "libnlist.so", "libnsetup.so", "libbsmtp.so"}) {
        const std::string path = std::string("./usr/lib/qav/lib/") + library;
        EXPECT_TRUE(std::any_of(paths.begin(), paths.end(), [&](const std::string& p) { return p.rfind(path, 0) == 0; }))
            << library << "\n" << listing;
    }
    // Only the names no other package uses are on PATH, as relative links.
    EXPECT_TRUE(Holds(paths, "./usr/bin/qavctl -> ../lib/qav/bin/qavctl")) << listing;
    EXPECT_TRUE(Holds(paths, "./usr/bin/qav-install-data -> ../lib/qav/bin/qav-install-data")) << listing;
    for (const std::string& p : paths) {
        if (p.rfind("./usr/bin/", 0) == 0 && p != "./usr/bin/") {
            EXPECT_TRUE(p.rfind("./usr/bin/qavctl ", 0) == 0 || p.rfind("./usr/bin/qav-install-data ", 0) == 0) << p;
        }
        // Everything under /usr; no test program or benchmark.
        EXPECT_TRUE(p == "./" || p.rfind("./usr/", 0) == 0) << p;
        EXPECT_EQ(p.find("_test"), std::string::npos) << p;
        EXPECT_EQ(p.find("_bench"), std::string::npos) << p;
    }
    // Resources, the data folder's template, the units and the autostart entry.
    for (const char* file : {"QAVLANG.txt", "QAVOIDER.txt", "NCreseng.txt", "QDLRSENG.txt", "sample.fleet",
                             "initial-data/QAVMgmtConfig.INI", "initial-data/QAVGroupConfig.qdl",
                             "autostart/QAVPOSSurveillanceTool.desktop"})
        EXPECT_TRUE(Holds(paths, std::string("./usr/lib/qav/share/qav/") + file)) << file;
    EXPECT_TRUE(Holds(paths, "./usr/lib/systemd/user/qav-nwatch.service"));
    EXPECT_TRUE(Holds(paths, "./usr/share/doc/qav-network-tool/examples/system/qav-nwatch.service"));

    // The units name the package's own program folder.
    UnitFile unit;
    ASSERT_TRUE(unit.Load(Root() + "/usr/lib/systemd/user/qav-nwatch.service"));
    EXPECT_EQ(unit.Command("ExecStart"), std::vector<std::string>{"/usr/lib/qav/bin/nwatch"});
    ASSERT_TRUE(unit.Load(Root() + "/usr/share/doc/qav-network-tool/examples/system/qav-nwatch.service"));
    EXPECT_EQ(unit.Command("ExecStart"), std::vector<std::string>{"/usr/lib/qav/bin/nwatch"});
}

TEST_F(Package, AutostartEntryIsTheOneTheManagementSettingsRecognise)
{
    // Placed in a user's autostart folder, the shipped entry counts as
    // "start at log-on" and starts the package's monitor.
    const std::string config = work.File("config");
    fs::create_directories(config + "/autostart");
    fs::copy_file(Root() + "/usr/lib/qav/share/qav/autostart/QAVPOSSurveillanceTool.desktop",
                  config + "/autostart/QAVPOSSurveillanceTool.desktop");
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_TRUE(qavplatform::HasAutostart(qavplatform::kMonitorAutostartName));
    EXPECT_EQ(qavplatform::AutostartCommand(qavplatform::kMonitorAutostartName),
              std::vector<std::string>{"/usr/lib/qav/bin/nwatch"});
    if (old) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(Package, UnpackedProgramsRunFromTheirOwnTree)
{
    // Nothing from the build tree: a bare environment, and the libraries
    // found beside the programs.
    const std::map<std::string, std::string> env =
        ServerSessionEnvironment(work.Path(), work.File("run"));
    CleanProcess qavctl;
    EXPECT_EQ(qavctl.RunToEnd({Root() + "/usr/bin/qavctl", "--version"}, env, work.File("qavctl.log"), 15000), 0)
        << qavctl.Log();
    EXPECT_NE(qavctl.Log().find(QAV_VERSION), std::string::npos) << qavctl.Log();
    const std::string libraries = RunCommand("ldd " + Quoted(Root() + "/usr/lib/qav/bin/nwatch"));
    for (const char* library : {"libncomm.so", "libnlist.so", "libbsmtp.so"})
        EXPECT_NE(libraries.find("=> " + Root() + "/usr/lib/qav/bin/../lib/" + library), std::string::npos)
            << library << "\n" << libraries;
    EXPECT_EQ(libraries.find("not found"), std::string::npos) << libraries;

    // A data folder of its own, made by the linked qav-install-data from
    // the package's template.
    std::map<std::string, std::string> monitorEnv = env;
    monitorEnv["QAV_DATA_DIR"] = work.File("data");
    CleanProcess install;
    ASSERT_EQ(install.RunToEnd({Root() + "/usr/bin/qav-install-data"}, monitorEnv, work.File("install.log"), 30000), 0)
        << install.Log();
    ASSERT_TRUE(fs::is_regular_file(work.File("data/QAVMgmtConfig.INI"))) << install.Log();

    monitorEnv["QT_QPA_PLATFORM"] = "offscreen";
    monitorEnv["QAV_TRAP_PORT"] = std::to_string(FreeUdpPort());
    CleanProcess nwatch;
    ASSERT_TRUE(nwatch.Start({Root() + "/usr/lib/qav/bin/nwatch"}, monitorEnv, work.File("nwatch.log")));
    EXPECT_TRUE(nwatch.WaitForLog("nwatch: monitoring 0 printers", 30000)) << nwatch.Log();
    EXPECT_EQ(nwatch.Terminate(15000), 0) << nwatch.Log();
}

} // namespace
