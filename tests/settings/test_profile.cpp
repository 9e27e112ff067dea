// The private-profile engine: the reading rules the settings readers and the
// group file rely on, and the promise that a write keeps the rest of a file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include <climits>
#include <filesystem>
#include <random>
#include <thread>

#include "TestPeers.h"
#include "qavsettings/Profile.h"

using qavsettings::ProfileDocument;
using qavsettings::ReadProfileInt;
using qavsettings::ReadProfileString;
using qavsettings::WriteProfileString;

namespace {

const char* const kSample =
    "; settings written by hand\r\n"
    "[Startup]\r\n"
    "ShowList = 1\r\n"
    "AskPassword=0\r\n"
    "\r\n"
    "# not a comment to Windows either, just a line without a key\r\n"
    "[Community]\r\n"
    "ReadCommunityName=  public  \r\n"
    "\r\n";

TEST(ProfileRead, MissingFileAndFolderGiveDefaults)
{
    qavtest::TempDir dir;
    char buf[16] = "garbage";
    for (const std::string& path : {dir.File("none.ini"), dir.File("no/folder/none.ini")}) {
        EXPECT_EQ(ReadProfileString("Startup", "ShowList", "dflt", buf, sizeof buf, path), 4);
        EXPECT_STREQ(buf, "dflt");
        EXPECT_EQ(ReadProfileInt("Startup", "ShowList", -1, path), -1);
        EXPECT_EQ(ReadProfileString("S", "K", nullptr, buf, sizeof buf, path), 0);
        EXPECT_STREQ(buf, "");
        EXPECT_FALSE(std::filesystem::exists(path)) << "reading must not create the file";
    }
}

TEST(ProfileRead, ValuesAreCutAtBufferSizeLessOne)
{
    ProfileDocument doc;
    doc.Parse("[S]\nk=0123456789\n");
    char buf[8];
    EXPECT_EQ(doc.GetString("S", "k", "", buf, 8), 7);
    EXPECT_STREQ(buf, "0123456");
    EXPECT_EQ(doc.GetString("S", "missing", "abcdefghij", buf, 8), 7);
    EXPECT_STREQ(buf, "abcdefg");
    EXPECT_EQ(doc.GetString("S", "k", "", buf, 1), 0);
    EXPECT_STREQ(buf, "");
    buf[0] = 'x';
    EXPECT_EQ(doc.GetString("S", "k", "", buf, 0), 0);
    EXPECT_EQ(buf[0], 'x') << "size 0 must not write";
    EXPECT_EQ(doc.GetString("S", "k", {}, 5), "0123");
    EXPECT_EQ(doc.GetString("S", "k", {}, 0), "0123456789");
}

TEST(ProfileRead, NamesIgnoreCaseAndBlanksAroundKeysAndValuesGo)
{
    ProfileDocument doc;
    doc.Parse(kSample);
    EXPECT_EQ(doc.GetInt("STARTUP", "showlist", -1), 1);
    EXPECT_EQ(doc.GetString("community", "READCOMMUNITYNAME"), "public");
    EXPECT_FALSE(doc.Has("Startup", "# not a comment to Windows either, just a line without a key"));
    EXPECT_EQ(doc.SectionNames(), (std::vector<std::string>{"Startup", "Community"}));
    EXPECT_EQ(doc.KeyNames("startup"), (std::vector<std::string>{"ShowList", "AskPassword"}));
}

TEST(ProfileRead, FirstSectionAndFirstKeyWin)
{
    ProfileDocument doc;
    doc.Parse("[Groups]\ncount=3\ncount=9\n[groups]\ncount=5\nextra=1\n");
    EXPECT_EQ(doc.GetInt("Groups", "count", 0), 3);
    EXPECT_FALSE(doc.Has("Groups", "extra")) << "keys of a repeated section are not read";
    ASSERT_TRUE(doc.SetString("GROUPS", "Count", "4"));
    EXPECT_EQ(doc.Serialize(), "[Groups]\ncount=4\ncount=9\n[groups]\ncount=5\nextra=1\n");
    ASSERT_TRUE(doc.DeleteKey("Groups", "count"));
    EXPECT_EQ(doc.GetInt("Groups", "count", 0), 9) << "the duplicate below takes over";
}

TEST(ProfileRead, IntegersFollowGetPrivateProfileInt)
{
    ProfileDocument doc;
    doc.Parse("[N]\nempty=\nword=abc\nlead=12abc\nneg=-1\nplus=+7\nmax=2147483647\nwrap=2147483648\n"
              "all=4294967295\nlong=000000000000000000000000000012345\n  blank  =  42  \n");
    EXPECT_EQ(doc.GetInt("N", "missing", 17), 17);
    EXPECT_EQ(doc.GetInt("N", "empty", 17), 17);
    EXPECT_EQ(doc.GetInt("N", "word", 17), 0);
    EXPECT_EQ(doc.GetInt("N", "lead", 17), 12);
    EXPECT_EQ(doc.GetInt("N", "neg", 17), -1);
    EXPECT_EQ(doc.GetInt("N", "plus", 17), 7);
    EXPECT_EQ(doc.GetInt("N", "max", 17), INT_MAX);
    EXPECT_EQ(doc.GetInt("N", "wrap", 17), INT_MIN);
    EXPECT_EQ(doc.GetInt("N", "all", 17), -1);
    EXPECT_EQ(doc.GetInt("N", "long", 17), 1) << "only the first 29 characters count";
    EXPECT_EQ(doc.GetInt("N", "blank", 17), 42);
}

TEST(ProfileRead, AnyBytesParseAndSerializeUnchanged)
{
    std::mt19937 rng(7);
    const std::string alphabet = std::string("[]=;\r\n \tab\x01\xff", 13) + std::string(1, '\0');
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int n = static_cast<int>(rng() % 200);
        for (int i = 0; i < n; ++i) text += alphabet[rng() % alphabet.size()];
        ProfileDocument doc;
        doc.Parse(text);
        ASSERT_EQ(doc.Serialize(), text);
    }
}

TEST(ProfileWrite, KeepsEveryOtherLineByteForByte)
{
    qavtest::TempDir dir;
    const std::string path = dir.File("QAVMgmtConfig.INI");
    qavtest::WriteFile(path, kSample);
    ASSERT_TRUE(WriteProfileString("startup", "showlist", "0", path));
    std::string expected = kSample;
    expected.replace(expected.find("ShowList = 1"), 12, "ShowList=0");
    EXPECT_EQ(qavtest::ReadFile(path), expected);

    // A new key goes after the last key of its section, before the blank
    // line, with the file's own line ending.
    ASSERT_TRUE(WriteProfileString("Startup", "UseSystemDefault", "1", path));
    expected.insert(expected.find("AskPassword=0\r\n") + 15, "UseSystemDefault=1\r\n");
    EXPECT_EQ(qavtest::ReadFile(path), expected);

    // A new section goes at the end.
    ASSERT_TRUE(WriteProfileString("Password", "Password", "frperg", path));
    expected += "[Password]\r\nPassword=frperg\r\n";
    EXPECT_EQ(qavtest::ReadFile(path), expected);
    EXPECT_EQ(ReadProfileString("Password", "password", "", 260, path), "frperg");
}

TEST(ProfileWrite, NewFileAndFileWithoutFinalLineBreak)
{
    qavtest::TempDir dir;
    const std::string path = dir.File("new.ini");
    ASSERT_TRUE(WriteProfileString("A", "k", "v", path));
    EXPECT_EQ(qavtest::ReadFile(path), "[A]\nk=v\n");

    qavtest::WriteFile(path, "[A]\nk=v");
    ASSERT_TRUE(WriteProfileString("A", "n", "1", path));
    EXPECT_EQ(qavtest::ReadFile(path), "[A]\nk=v\nn=1\n");
    qavtest::WriteFile(path, "[A]\nk=v");
    ASSERT_TRUE(WriteProfileString("B", "n", "1", path));
    EXPECT_EQ(qavtest::ReadFile(path), "[A]\nk=v\n[B]\nn=1\n");
    qavtest::WriteFile(path, "[A]\n; only a comment");
    ASSERT_TRUE(WriteProfileString("A", "n", "1", path));
    EXPECT_EQ(qavtest::ReadFile(path), "[A]\nn=1\n; only a comment");
}

TEST(ProfileWrite, ValueCannotBreakIntoNewLinesAndBadNamesAreRefused)
{
    ProfileDocument doc;
    doc.Parse("[Printer.0]\nname=old\n");
    // A printer name from the network must not add keys or sections.
    ASSERT_TRUE(doc.SetString("Printer.0", "name", "evil\n[Groups]\r\ncount=99"));
    EXPECT_EQ(doc.GetString("Printer.0", "name"), "evil [Groups]  count=99");
    EXPECT_FALSE(doc.Has("Groups", "count"));
    const std::string before = doc.Serialize();
    EXPECT_FALSE(doc.SetString("", "k", "v"));
    EXPECT_FALSE(doc.SetString("S", "", "v"));
    EXPECT_FALSE(doc.SetString("a]b", "k", "v"));
    EXPECT_FALSE(doc.SetString("S\n", "k\nx", "v"));
    EXPECT_FALSE(doc.SetString("S", "a=b", "v"));
    EXPECT_FALSE(doc.SetString("S", ";k", "v"));
    EXPECT_FALSE(doc.SetString("S", "[k", "v"));
    EXPECT_EQ(doc.Serialize(), before);
}

TEST(ProfileWrite, FailedWriteLeavesTheFileAlone)
{
    qavtest::TempDir dir;
    // The folder does not exist: nothing is created.
    EXPECT_FALSE(WriteProfileString("S", "k", "v", dir.File("missing/x.ini")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
    // The path is not a readable file: it is not replaced.
    std::filesystem::create_directory(dir.File("adir"));
    EXPECT_FALSE(WriteProfileString("S", "k", "v", dir.File("adir")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("adir")));
    // No temporary files are left behind by good or bad writes.
    const std::string path = dir.File("f.ini");
    ASSERT_TRUE(WriteProfileString("S", "k", "v", path));
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST(ProfileWrite, KeepsModeAndFollowsLinks)
{
    qavtest::TempDir dir;
    const std::string real = dir.File("real.ini");
    qavtest::WriteFile(real, "[S]\nk=1\n");
    ::chmod(real.c_str(), 0640);
    const std::string link = dir.File("link.ini");
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(WriteProfileString("S", "k", "2", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(qavtest::ReadFile(real), "[S]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// The files with the management password, the write community and the
// mail password are the owner's alone after every write; the others keep
// their mode.
TEST(ProfileWrite, FilesWithSecretsBecomeTheOwnersAlone)
{
    qavtest::TempDir dir;
    const mode_t mask = ::umask(022);
    for (const char* name : {"QAVMgmtConfig.INI", "QAVSurveyConfig.INI", "qavmgmtconfig.ini"}) {
        const std::string path = dir.File(name);
        ASSERT_TRUE(WriteProfileString("Password", "Password", "fbzrguvat", path));
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name << " created";
        ::chmod(path.c_str(), 0644);
        ASSERT_TRUE(WriteProfileString("Community", "WriteCommunityName", "private", path));
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name << " written again";
        std::filesystem::remove(path);
    }
    const std::string other = dir.File("QAVLogConfig.INI");
    ASSERT_TRUE(WriteProfileString("Trap", "ToBeLogged", "1", other));
    struct stat st {};
    ASSERT_EQ(::stat(other.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ::umask(mask);
}

// A FIFO or a device where a settings file is expected is read as missing
// at once (never waited on), and a write neither blocks nor replaces it.
TEST(ProfileRead, FifoAndDeviceAreRefusedNotWaitedOn)
{
    qavtest::TempDir dir;
    const std::string fifo = dir.File("QAVSurveyConfig.INI");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = dir.File("QAVMgmtConfig.INI");
    std::filesystem::create_symlink("/dev/zero", zero);
    std::atomic<int> done{0};
    std::thread reader([&] {
        EXPECT_EQ(ReadProfileInt("Polling", "Polling", 7, fifo), 7);
        EXPECT_EQ(ReadProfileInt("Startup", "ShowList", 7, zero), 7);
        ProfileDocument doc;
        EXPECT_FALSE(doc.Load(fifo));
        EXPECT_EQ(doc.Problem(), fifo + ": not a regular file (FIFO)");
        std::string why;
        EXPECT_FALSE(WriteProfileString("Polling", "Polling", "1", fifo, &why));
        EXPECT_EQ(why, fifo + ": not a regular file (FIFO)");
        done = 1;
    });
    for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) {
        ADD_FAILURE() << "the reader waits on the FIFO";
        // Release it: a writer lets its open return.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
    reader.join();
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(ProfileWrite, ConcurrentWritersLoseNoKey)
{
    qavtest::TempDir dir;
    const std::string path = dir.File("shared.ini");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &path] {
            for (int i = 0; i < 25; ++i) {
                ASSERT_TRUE(WriteProfileString("T" + std::to_string(t), "k" + std::to_string(i), std::to_string(i),
                                               path));
            }
        });
    }
    for (auto& th : threads) th.join();
    ProfileDocument doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_EQ(doc.KeyLineCount(), 100u);
    EXPECT_EQ(doc.GetInt("T3", "k24", -1), 24);
}

TEST(ProfileDocumentTest, SaveWritesOnceWithTheSameRules)
{
    qavtest::TempDir dir;
    const std::string path = dir.File("doc.ini");
    qavtest::WriteFile(path, kSample);
    ProfileDocument doc;
    ASSERT_TRUE(doc.Load(path));
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(doc.SetInt("Many", "key" + std::to_string(i), i));
    ASSERT_TRUE(doc.SetString("Startup", "ShowList", "0"));
    EXPECT_EQ(qavtest::ReadFile(path), kSample) << "nothing is written before Save";
    ASSERT_TRUE(doc.Save(path));
    ProfileDocument again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(again.GetInt("many", "KEY999", -1), 999);
    EXPECT_EQ(again.GetInt("Startup", "ShowList", -1), 0);
    EXPECT_EQ(again.Serialize(), doc.Serialize());
    EXPECT_EQ(again.KeyNames("Many").size(), 1000u);
}

} // namespace
