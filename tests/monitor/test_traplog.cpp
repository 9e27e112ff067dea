// The trap log: line format, the log rules by trap kind, and trimming.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <string>

#include "TestPeers.h"
#include "nwatch/Notification.h"
#include "nwatch/TrapLogger.h"
#include "nwatch/TrapTable.h"

namespace {

using namespace nwatch;

std::string Content(const std::string& path) { return qavtest::ReadFile(path); }

class TrapLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir.File("trap.log");
        CNWATCHLogger::CreateLogger(path);
        settings.fileName = path;
        record.address = 0x7F00000B;
        record.name = "Line 1";
    }
    void TearDown() override { CNWATCHLogger::DestroyLogger(); }
    qavtest::TempDir dir;
    std::string path;
    TrapLogSettings settings;
    NotificationRecord record;
};

TEST_F(TrapLog, LineFormatWithDetails)
{
    record.generic = 6;
    record.specific = 11;
    record.message = "Paper jam";
    record.trapErrorCode = 11;
    record.detail1 = "job-42";
    record.secondInteger = 7;
    settings.error = true;
    ASSERT_EQ(CNWATCHLogger::TrapLogEntry(record, 11, settings), 1);
    const std::string line = Content(path);
    // "YYYY-MM-DD HH:MM:SS," then the entry.
    ASSERT_GE(line.size(), 20u);
    EXPECT_EQ(line[4], '-');
    EXPECT_EQ(line[19], ',');
    EXPECT_EQ(line.substr(20), "127.0.0.11,Line 1,Paper jam,11,job-42,,,7\n");
}

TEST_F(TrapLog, EnterpriseTrapWithoutBindingsShowsTheDefaults)
{
    record.generic = 6;
    record.specific = 13;
    record.message = "Paper end";
    settings.error = true;
    EXPECT_EQ(CNWATCHLogger::FormatTrapEntry(record, 13, settings), "127.0.0.11,Line 1,Paper end,-1,,,,0");
}

TEST_F(TrapLog, UnknownEnterpriseTrapShowsItsNumber)
{
    record.generic = 6;
    record.specific = 200;
    const TrapRow& row = FindTrapRow(6, 200);
    EXPECT_EQ(row.specific, 98);
    record.message = "Unknown printer event ";
    settings.error = true;
    EXPECT_EQ(CNWATCHLogger::FormatTrapEntry(record, row.specific, settings),
              "127.0.0.11,Line 1,Unknown printer event (200),-1,,,,0");
}

TEST_F(TrapLog, WhichTrapsAreLogged)
{
    record.message = "m";
    for (int g : {0, 1}) {
        record.generic = g;
        EXPECT_EQ(CNWATCHLogger::FormatTrapEntry(record, 0, settings), "127.0.0.11,Line 1,m") << g;
    }
    for (int g : {2, 3, 4, 5}) {
        record.generic = g;
        EXPECT_EQ(CNWATCHLogger::FormatTrapEntry(record, 0, settings), "") << g;
    }
    record.generic = 6;
    EXPECT_EQ(CNWATCHLogger::FormatTrapEntry(record, 11, settings), ""); // Error off
    record.generic = 7;
    EXPECT_EQ(CNWATCHLogger::FormatTrapEntry(record, 99, settings), ""); // JobInformation off
    settings.jobInformation = true;
    EXPECT_NE(CNWATCHLogger::FormatTrapEntry(record, 99, settings), "");
}

TEST_F(TrapLog, NoLoggerNoLine)
{
    CNWATCHLogger::DestroyLogger();
    record.generic = 0;
    EXPECT_EQ(CNWATCHLogger::TrapLogEntry(record, 0, settings), 0);
    struct stat st{};
    EXPECT_NE(::stat(path.c_str(), &st), 0);
}

TEST_F(TrapLog, UnwritableFileReportsFailure)
{
    record.generic = 0;
    settings.fileName = dir.File("no/such/folder/trap.log");
    EXPECT_EQ(CNWATCHLogger::TrapLogEntry(record, 0, settings), 0);
}

TEST(TrimFile, ExactMaximumIsKeptOneMoreByteTrims)
{
    qavtest::TempDir dir;
    const std::string p = dir.File("log");
    qavtest::WriteFile(p, "aaaa\nbbbb\ncccc\n"); // 15 bytes
    EXPECT_EQ(TrimFile(p, 15), 1);
    EXPECT_EQ(Content(p), "aaaa\nbbbb\ncccc\n");
    EXPECT_EQ(TrimFile(p, 14), 1); // the cut falls inside the first line
    EXPECT_EQ(Content(p), "bbbb\ncccc\n");
}

TEST(TrimFile, ACutAtALineStartKeepsThatLine)
{
    qavtest::TempDir dir;
    const std::string p = dir.File("log");
    qavtest::WriteFile(p, "aaaa\nbbbb\ncccc\n");
    EXPECT_EQ(TrimFile(p, 10), 1); // exactly the two newest lines fit
    EXPECT_EQ(Content(p), "bbbb\ncccc\n");
}

TEST(TrimFile, NewestLineIsNeverLost)
{
    qavtest::TempDir dir;
    const std::string p = dir.File("log");
    qavtest::WriteFile(p, "old line\nnewest line without end");
    EXPECT_EQ(TrimFile(p, 25), 1);
    EXPECT_EQ(Content(p), "newest line without end\n");
}

TEST(TrimFile, MissingFileAndNoLimit)
{
    qavtest::TempDir dir;
    EXPECT_EQ(TrimFile(dir.File("missing"), 10), 0);
    qavtest::WriteFile(dir.File("log"), std::string(100, 'x'));
    EXPECT_EQ(TrimFile(dir.File("log"), 0), 1);
    EXPECT_EQ(Content(dir.File("log")).size(), 100u);
}

TEST(TrimFile, FailedTrimLeavesTheFileWhole)
{
    qavtest::TempDir dir;
    const std::string p = dir.File("log");
    qavtest::WriteFile(p, "aaaa\nbbbb\n");
    ::mkdir((p + ".tmp").c_str(), 0755); // the temporary file cannot be created
    EXPECT_EQ(TrimFile(p, 5), 0);
    EXPECT_EQ(Content(p), "aaaa\nbbbb\n");
}

TEST(TrimFile, StaleTemporaryFileDoesNotBlockTrimming)
{
    qavtest::TempDir dir;
    const std::string p = dir.File("log");
    qavtest::WriteFile(p, "aaaa\nbbbb\n");
    qavtest::WriteFile(p + ".tmp", "left over");
    EXPECT_EQ(TrimFile(p, 5), 1);
    EXPECT_EQ(Content(p), "bbbb\n");
}

// Texts that come from printers and traps stay inside their column: a
// line break cannot forge a line of its own, a comma cannot shift the
// columns.
TEST_F(TrapLog, PrinterTextsCannotBreakTheLineOrShiftTheColumns)
{
    record.generic = 6;
    record.specific = 11;
    record.name = "Line 1,\n2026-12-08 10:00:00,10.0.0.1,Fake";
    record.message = "Paper jam";
    record.detail1 = std::string("job\r\nname\t") + '\x1b' + "[2J" + '\x7f';
    record.detail2 = "Hall 3, Bay 2";
    record.detail3 = std::string("a\0b", 3);
    settings.error = true;
    ASSERT_EQ(CNWATCHLogger::TrapLogEntry(record, 11, settings), 1);
    const std::string content = Content(path);
    EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 1) << content;
    EXPECT_EQ(content.substr(20), "127.0.0.11,Line 1; 2026-12-08 10:00:00;10.0.0.1;Fake,Paper jam,-1,"
                                  "job  name  [2J ,Hall 3; Bay 2,a b,0\n");
    // Multibyte texts pass unchanged (no byte of theirs is below 0x20).
    EXPECT_EQ(LogText("\xe6\x97\xa5\xe6\x9c\xac \x82\xa0"), "\xe6\x97\xa5\xe6\x9c\xac \x82\xa0");
}

TEST(TrapLogMaximum, LinesKeepTheFileUnderItsMaximum)
{
    qavtest::TempDir dir;
    const std::string p = dir.File("trap.log");
    CNWATCHLogger::CreateLogger(p);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(CNWATCHLogger::LogLine("", 1024, "entry " + std::to_string(i)), 1);
    const std::string content = Content(p);
    EXPECT_LE(content.size(), 1024u + 40u); // the maximum, plus the line written after the trim
    EXPECT_NE(content.find("entry 199\n"), std::string::npos);
    EXPECT_EQ(content.back(), '\n');
    CNWATCHLogger::DestroyLogger();
}

} // namespace

namespace {

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

// The last line without its end.
std::string LastLine(const std::string& text)
{
    const std::string body = text.substr(0, text.size() - 1);
    return body.substr(body.rfind('\n') + 1);
}

} // namespace

// A log over its maximum is cut an eighth under it, so that the lines after
// the cut are appended without rewriting the file each time.
TEST(TrapLogMaximum, AFullLogIsCutUnderItsMaximumNotRewrittenForEveryLine)
{
    qavtest::TempDir dir;
    const std::string p = dir.File("trap.log");
    const long maximum = 8 * 1024;
    EXPECT_EQ(CNWATCHLogger::TrimTarget(maximum), 7 * 1024);
    std::string full;
    for (int i = 0; full.size() <= static_cast<size_t>(maximum); ++i) full += "old entry " + std::to_string(i) + "\n";
    qavtest::WriteFile(p, full);
    CNWATCHLogger::CreateLogger(p);
    ASSERT_EQ(CNWATCHLogger::LogLine("", maximum, "first after the cut"), 1);
    struct stat first{};
    ::stat(p.c_str(), &first);
    EXPECT_LE(first.st_size, 7 * 1024 + 60);
    EXPECT_GT(first.st_size, 6 * 1024);
    // The next lines go on to the same file (same inode: no rewrite) until
    // the maximum is passed again.
    int appended = 0;
    for (;; ++appended) {
        ASSERT_EQ(CNWATCHLogger::LogLine("", maximum, "entry " + std::to_string(appended)), 1);
        struct stat now{};
        ::stat(p.c_str(), &now);
        if (now.st_ino != first.st_ino) break;
        ASSERT_LT(appended, 1000);
    }
    EXPECT_GT(appended, 20) << "rewritten after " << appended << " lines";
    const std::string content = Content(p);
    EXPECT_LE(content.size(), static_cast<size_t>(maximum) + 60);
    EXPECT_EQ(LastLine(content).substr(20), "entry " + std::to_string(appended));
    CNWATCHLogger::DestroyLogger();
}

// A file size limit (as a full disk) lets only part of a line in: the part
// is taken back, and the next line, once there is room, starts a line of
// its own.
TEST(TrapLogWrite, ARecordIsWrittenWholeOrNotAtAll)
{
    qavtest::TempDir dir;
    const std::string p = dir.File("trap.log");
    CNWATCHLogger::CreateLogger(p);
    ASSERT_EQ(CNWATCHLogger::LogLine("", 0, "before the disk filled up"), 1);
    const std::string before = Content(p);

    // The limit runs out in the middle of the next line, in a child process
    // of its own (the limit and its signal stay there).
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{static_cast<rlim_t>(before.size() + 15), static_cast<rlim_t>(before.size() + 15)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const int written = CNWATCHLogger::LogLine("", 0, "this line does not fit whole");
        ::_exit(written == 0 ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the cut line was reported as written";
    EXPECT_EQ(Content(p), before);

    ASSERT_EQ(CNWATCHLogger::LogLine("", 0, "after room was made"), 1);
    const std::string after = Content(p);
    EXPECT_EQ(Lines(after), 2u) << after;
    EXPECT_EQ(LastLine(after).substr(20), "after room was made");
    CNWATCHLogger::DestroyLogger();
}
