// The trap log: line format, the log rules by trap kind, and trimming.
#include <gtest/gtest.h>

#include <sys/stat.h>

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
