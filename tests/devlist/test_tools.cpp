// The installation's initial data folder and the qavctl commands on the
// group file and the settings files, run as the programs they are.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "TestTexts.h"
#include "nlist/Nlist.h"
#include "qavsettings/SettingsFiles.h"

namespace {

// Runs a shell command; returns its exit status and output.
int Shell(const std::string& command, std::string* output = nullptr)
{
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int status = ::pclose(p);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

const std::string kQavctl = std::string(QAV_BINARY_DIR) + "/bin/qavctl";
const std::string kInstallData = std::string(QAV_SOURCE_DIR) + "/scripts/install-data";

TEST(InitialData, CreatedWhenMissingAndValid)
{
    devlisttest::UseTestTexts();
    qavtest::TempDir dir;
    const std::string data = dir.File("VORANTA QAV/QAVNetworkTool");
    ASSERT_EQ(Shell("QAV_DATA_DIR=" + Quoted(data) + " " + kInstallData), 0);
    ASSERT_TRUE(std::filesystem::is_directory(data));
    EXPECT_EQ(CheckQdlFileFormat(data + "/QAVGroupConfig.qdl"), 1);
    const auto survey = qavsettings::ReadSurveyConfig(qavsettings::Reader::kMonitor, {}, data + "/QAVSurveyConfig.INI");
    EXPECT_EQ(survey.polling, 1);
    EXPECT_EQ(survey.listDuration, 30);
    const auto log = qavsettings::ReadLogConfig(0, data + "/QAVLogConfig.INI");
    EXPECT_EQ(log.trap.filename, data + "/QAVTrapLog.log");
    EXPECT_EQ(qavsettings::ReadMgmtConfig(qavsettings::Reader::kMonitor, {}, data + "/QAVMgmtConfig.INI").language,
              "ENG");
    EXPECT_EQ(qavsettings::ReadSearchConfig(qavsettings::Reader::kDeviceList, data + "/QAVSearchConfig.qso").broadcast,
              1);
    // The folder is the owner's alone, and so are the two files with secrets.
    auto mode = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
    };
    EXPECT_EQ(mode(data), 0700);
    EXPECT_EQ(mode(data + "/QAVMgmtConfig.INI"), 0600) << "management password, write community";
    EXPECT_EQ(mode(data + "/QAVSurveyConfig.INI"), 0600) << "mail password";
    EXPECT_EQ(mode(data + "/QAVGroupConfig.qdl"), 0644);

    // A second run keeps what the user changed.
    qavtest::WriteFile(data + "/QAVSurveyConfig.INI", "[Polling]\nPolling=0\n");
    std::filesystem::remove(data + "/QNASys.ini");
    ASSERT_EQ(Shell("QAV_DATA_DIR=" + Quoted(data) + " " + kInstallData), 0);
    EXPECT_EQ(qavtest::ReadFile(data + "/QAVSurveyConfig.INI"), "[Polling]\nPolling=0\n");
    EXPECT_TRUE(std::filesystem::exists(data + "/QNASys.ini"));
}

TEST(Qavctl, GroupsPrintsOrRejects)
{
    const std::string resources = devlisttest::UseTestTexts();
    qavtest::TempDir dir;
    const std::string file = dir.File("site.qdl");
    qavtest::WriteFile(file, "[Groups]\ncount=2\n[Group.0]\nname=All\nprinters=1\nprtindex.0=10.1.2.3\n"
                             "[Group.1]\nname=Maker\nmodel=M-UG2\nprinters=0\n[Printers]\ncount=1\n"
                             "[Printer.0]\nip=10.1.2.3\nname=Dock printer\nstatus=Idle\n");
    const std::string env = "QAV_RESOURCE_DIR=" + Quoted(resources) + " ";
    std::string out;
    ASSERT_EQ(Shell(env + kQavctl + " groups " + Quoted(file), &out), 0) << out;
    EXPECT_NE(out.find("valid, 2 groups, 1 printers"), std::string::npos) << out;
    EXPECT_NE(out.find("member 10.1.2.3 Dock printer"), std::string::npos) << out;
    EXPECT_NE(out.find("model      M-UG2"), std::string::npos) << out;
    EXPECT_NE(out.find("status     Idle (printer status 3"), std::string::npos) << out;

    qavtest::WriteFile(file, "[Groups]\ncount=11\n");
    EXPECT_EQ(Shell(env + kQavctl + " groups " + Quoted(file), &out), 1);
    EXPECT_NE(out.find("not a valid group file"), std::string::npos);
    EXPECT_EQ(Shell(kQavctl + " groups", &out), 2);
}

TEST(Qavctl, ConfigReadsAndWritesInPlace)
{
    qavtest::TempDir dir;
    const std::string env = "QAV_DATA_DIR=" + Quoted(dir.Path()) + " ";
    const std::string file = dir.File("QAVMgmtConfig.INI");
    qavtest::WriteFile(file, "; kept\n[Community]\nReadCommunityName=public\n");
    std::string out;
    ASSERT_EQ(Shell(env + kQavctl + " config QAVMgmtConfig.INI community readcommunityname", &out), 0);
    EXPECT_EQ(out, "public\n");
    EXPECT_EQ(Shell(env + kQavctl + " config QAVMgmtConfig.INI Community WriteCommunityName", &out), 1);
    ASSERT_EQ(Shell(env + kQavctl + " config " + Quoted(file) + " Community WriteCommunityName 'pri vate'"), 0);
    EXPECT_EQ(qavtest::ReadFile(file), "; kept\n[Community]\nReadCommunityName=public\nWriteCommunityName=pri vate\n");
    EXPECT_EQ(Shell(env + kQavctl + " config " + Quoted(dir.File("none/QAVMgmtConfig.INI")) + " Startup ShowList 1", &out),
              1);
    EXPECT_EQ(Shell(kQavctl + " config onlyfile", &out), 2);
}

} // namespace
