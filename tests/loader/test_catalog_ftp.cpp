// The FTP catalog and the file fetched from it, against pyftpdlib on a
// loopback address: the catalog read through a temporary file, a file of a
// sub-folder fetched byte for byte, refusals that name the server and the
// file (never the password), a run whose file comes from the server, and
// a run stopped while its server hangs.
#include <gtest/gtest.h>

#include <dirent.h>

#include "FakeEnvironment.h"
#include "FtpPeer.h"
#include "LoadFiles.h"
#include "TestPeers.h"
#include "nload/Catalog.h"
#include "nload/Run.h"
#include "qavres/Resources.h"

namespace {

using namespace nload;

const qavres::StringTable& Texts()
{
    static qavres::StringTable texts;
    if (!texts.IsLoaded()) texts.LoadFile(QAV_SOURCE_DIR "/resources/data/QDLRSENG.txt");
    return texts;
}

int FilesIn(const std::string& folder)
{
    int n = 0;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n;
}

class CatalogServer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root_ = new qavtest::TempDir;
        const std::string rom = root_->File("ROM_FILE");
        qavtest::RunCommand("mkdir -p '" + rom + "/MAIN/UG2'");
        file_ = loadertest::MakeLoadFile({.contentSize = 70000});
        loadertest::WriteBytes(rom + "/MAIN/UG2/MUG2V105.BIN", file_);
        loadertest::WriteBytes(rom + "/MAIN/UG2/MUG2 V105 #2.BIN", file_);
        Trailer t = ParseTrailer(file_.data() + file_.size() - kTrailerSize);
        char line[256];
        std::snprintf(line, sizeof line, "MUG2V105.BIN,MAIN/UG2,MAIN,M-UG2,V1.05,LABEL FW,REL 2,%u,%08X,\r\n",
                      t.sizeKb, t.checksum);
        qavtest::WriteFile(rom + "/CATALOG.TXT", std::string(line) + "FONT.BIN,,KANJI,M-UG2,V2.00,,,10,00000001,\r\n");
        peer_ = new loadertest::FtpPeer;
        started_ = peer_->Start(qavtest::LoopbackAddress(40), root_->Path(), 120);
    }
    static void TearDownTestSuite()
    {
        delete peer_;
        delete root_;
    }
    void SetUp() override { ASSERT_TRUE(started_) << peer_->Log(); }

    static inline qavtest::TempDir* root_ = nullptr;
    static inline loadertest::FtpPeer* peer_ = nullptr;
    static inline bool started_ = false;
    static inline std::vector<unsigned char> file_;
};

TEST_F(CatalogServer, CatalogIsReadThroughATemporaryFile)
{
    qavtest::TempDir temp;
    ::setenv("TMPDIR", temp.Path().c_str(), 1);
    std::string text, error;
    ASSERT_TRUE(FetchCatalog(peer_->Server(), text, &error)) << error;
    ::unsetenv("TMPDIR");
    EXPECT_EQ(FilesIn(temp.Path()), 0) << "the temporary file is deleted";
    const auto entries = ParseCatalog(text, std::atoi(Texts().Get(4000).c_str()));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].RelativePath(), "MAIN/UG2/MUG2V105.BIN");
    EXPECT_EQ(entries[0].Info().version, "V1.05");
    EXPECT_EQ(entries[1].Info().kind, kKindKanji2);
}

TEST_F(CatalogServer, FileOfASubFolderArrivesByteForByte)
{
    qavtest::TempDir temp;
    std::string error;
    ASSERT_TRUE(FetchFile(peer_->Server(), "MAIN/UG2/MUG2V105.BIN", temp.File("f.bin"), &error)) << error;
    EXPECT_EQ(qavtest::ReadFile(temp.File("f.bin")), std::string(file_.begin(), file_.end()));
    // Blanks and other characters a URL cannot carry as they are.
    ASSERT_TRUE(FetchFile(peer_->Server(), "MAIN/UG2/MUG2 V105 #2.BIN", temp.File("g.bin"), &error)) << error;
    EXPECT_EQ(qavtest::ReadFile(temp.File("g.bin")), std::string(file_.begin(), file_.end()));
}

TEST_F(CatalogServer, RefusalsNameServerAndFileButNotThePassword)
{
    qavtest::TempDir temp;
    FtpServer wrong = peer_->Server();
    wrong.password = "not-the-password";
    std::string text, error;
    EXPECT_FALSE(FetchCatalog(wrong, text, &error));
    EXPECT_NE(error.find(peer_->Server().host), std::string::npos) << error;
    EXPECT_NE(error.find("CATALOG.TXT"), std::string::npos) << error;
    EXPECT_EQ(error.find("not-the-password"), std::string::npos) << error;
    EXPECT_FALSE(FetchFile(peer_->Server(), "MAIN/none.bin", temp.File("x"), &error));
    EXPECT_NE(error.find("MAIN/none.bin"), std::string::npos) << error;
}

TEST_F(CatalogServer, RunFetchesTheFileFirstAndSendsIt)
{
    qavtest::TempDir temp;
    ::setenv("TMPDIR", temp.Path().c_str(), 1);
    loadertest::FakeEnvironment env;
    env.state.reactions = {{0, loadertest::Frame(52)}, {0, loadertest::Frame(56)}};
    RunSetup setup;
    setup.ftp = peer_->Server();
    setup.filePath = "MAIN/UG2/MUG2V105.BIN";
    setup.file = ParseCatalogLine("MUG2V105.BIN,MAIN/UG2,MAIN,M-UG2,V1.05,,,1,1,", 9).Info();
    setup.printers = {UsbPrinter("/dev/usb/lp0")};
    DownloadRun run(env, Texts(), std::move(setup));
    run.Start();
    ASSERT_TRUE(run.WaitFinished(20000));
    ::unsetenv("TMPDIR");
    ASSERT_TRUE(run.AllSucceeded()) << run.Snapshot().log;
    ASSERT_EQ(env.state.sends.size(), 1u);
    std::vector<unsigned char> expected = {'{', 'L', 'P', ';'};
    expected.insert(expected.end(), file_.begin(), file_.end());
    expected.insert(expected.end(), {'|', '}'});
    EXPECT_EQ(env.state.sends[0], expected);
    EXPECT_EQ(FilesIn(temp.Path()), 0) << "the fetched file is deleted";
    EXPECT_NE(run.Report().fileName.find("ftp://"), std::string::npos);
}

TEST_F(CatalogServer, StopGivesUpTheFetchOfAServerThatHangs)
{
    // A server that takes the connection and never greets: the fetch would
    // wait for libcurl's time-out (30 s). Stop ends it, and no printer is begun.
    loadertest::SilentServer silent(qavtest::LoopbackAddress(44));
    ASSERT_TRUE(silent.Listening());
    loadertest::FakeEnvironment env;
    RunSetup setup;
    setup.ftp = silent.Server();
    setup.filePath = "MAIN/UG2/MUG2V105.BIN";
    setup.file = ParseCatalogLine("MUG2V105.BIN,MAIN/UG2,MAIN,M-UG2,V1.05,,,1,1,", 9).Info();
    setup.printers = {UsbPrinter("/dev/usb/lp0"), UsbPrinter("/dev/usb/lp1")};
    DownloadRun run(env, Texts(), std::move(setup));
    run.Start();
    EXPECT_FALSE(run.WaitFinished(300));
    run.StopBeforeNext();
    ASSERT_TRUE(run.WaitFinished(5000)) << "the fetch was not given up";
    EXPECT_EQ(env.state.Count("open"), 0);
    for (const PrinterInfo& p : run.Printers()) EXPECT_EQ(p.last.code, kErrStopped);
    const std::string log = run.Snapshot().log;
    const size_t stopped = log.find(Texts().Get(8071));
    ASSERT_NE(stopped, std::string::npos) << log;
    EXPECT_EQ(log.find(Texts().Get(8071), stopped + 1), std::string::npos) << "said once: " << log;
    EXPECT_EQ(log.find(Texts().Get(5001)), std::string::npos) << "given up, not failed: " << log;
}

} // namespace
