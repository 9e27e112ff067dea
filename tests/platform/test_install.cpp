// The installation's layout: the tool set in a folder of its own, where its
// programs find their siblings, libraries and resources as in the build
// tree, and only qavctl and qav-install-data on PATH, so that no program of
// the suite ever meets a system program of the same name (Debian's nstat).
#include "PlatformTestUtil.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

TEST(Installation, SuiteInAFolderOfItsOwnAndOnlyItsOwnNamesOnPath)
{
    qavtest::TempDir prefix;
    const std::string log = prefix.File("install.log");
    const std::string command = "QAV_NO_DATA_DIR=1 '" QAV_CMAKE "' --install '" QAV_BINARY_DIR "' --prefix '" +
                                prefix.File("usr") + "' > '" + log + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << qavtest::ReadFile(log);
    const std::string usr = prefix.File("usr");

    std::set<std::string> onPath;
    for (const auto& e : fs::directory_iterator(usr + "/bin")) onPath.insert(e.path().filename().string());
    EXPECT_EQ(onPath, (std::set<std::string>{"qavctl", "qav-install-data"}));
    for (const char* program : {"qavctl", "qav-install-data"}) {
        EXPECT_TRUE(fs::is_symlink(usr + "/bin/" + program)) << program;
        EXPECT_EQ(fs::canonical(usr + "/bin/" + program), fs::canonical(usr + "/lib/qav/bin/" + program));
    }

    for (const char* program : {"nwatch", "qavctl", "qav-install-data"})
        EXPECT_TRUE(fs::is_regular_file(usr + "/lib/qav/bin/" + program)) << program;
    for (const char* library : {"libncomm.so", "libnlist.so", "libnsetup.so", "libbsmtp.so"})
        EXPECT_TRUE(fs::exists(usr + "/lib/qav/lib/" + std::string(library))) << library;
    EXPECT_TRUE(fs::is_regular_file(usr + "/lib/qav/share/qav/QAVLANG.txt"));
    EXPECT_TRUE(fs::is_regular_file(usr + "/lib/qav/share/qav/initial-data/QAVGroupConfig.qdl"));

    // The installed programs, reached through PATH's links, find their
    // templates, libraries and resources (the status texts of the listing).
    const std::string data = prefix.File("data");
    fs::create_directory(data);
    const std::string out = qavtest::RunCommand(
        "unset QAV_RESOURCE_DIR && PATH='" + usr + "/bin:/usr/bin:/bin' && QAV_DATA_DIR='" + data +
            "' qav-install-data > /dev/null && qavctl groups '" + data + "/QAVGroupConfig.qdl'",
        true);
    EXPECT_NE(out.find("valid, 2 groups, 0 printers"), std::string::npos) << out;
    EXPECT_EQ(out.find("error while loading shared libraries"), std::string::npos) << out;
}

} // namespace
