// Reading the tool set's own files (regular files only, within the limit),
// and the small text helpers every layer shares: trimming and mail dates.
#include "PlatformTestUtil.h"

#include "qavplatform/Files.h"
#include "qavplatform/MailDate.h"
#include "qavplatform/Text.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>

using namespace qavplatform;
using namespace platformtest;
using qavtest::TempDir;

namespace {

// `work` in a child process, at most `ms` milliseconds: its exit status, or
// -1 when it was still running (it is killed) or died.
int InChild(const std::function<int()>& work, int ms = 5000)
{
    const pid_t child = ::fork();
    if (child == 0) ::_exit(work());
    int status = 0;
    const bool ended = WaitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, ms);
    if (!ended) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OwnFiles, RegularFilesAreReadWhole)
{
    TempDir dir;
    std::string content, why;
    qavtest::WriteFile(dir.File("a.ini"), "[A]\nx=1\n");
    EXPECT_EQ(ReadOwnFile(dir.File("a.ini"), content, &why), FileRead::kRead);
    EXPECT_EQ(content, "[A]\nx=1\n");
    ASSERT_EQ(::symlink(dir.File("a.ini").c_str(), dir.File("link.ini").c_str()), 0);
    EXPECT_EQ(ReadOwnFile(dir.File("link.ini"), content), FileRead::kRead) << "a link to a file is followed";
    EXPECT_EQ(content, "[A]\nx=1\n");
    EXPECT_EQ(ReadOwnFile(dir.File("missing.ini"), content), FileRead::kMissing);
    EXPECT_EQ(ReadOwnFile(dir.File("missing/deeper.ini"), content), FileRead::kMissing);
    EXPECT_TRUE(content.empty());
}

TEST(OwnFiles, FifoDeviceFolderAndHugeFileAreRefusedAtOnce)
{
    TempDir dir;
    const std::string fifo = dir.File("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // With nobody writing, an ordinary open would wait for ever.
    EXPECT_EQ(InChild([&] {
                  std::string content;
                  return ReadOwnFile(fifo, content) == FileRead::kRefused ? 7 : 0;
              }),
              7);
    std::string content = "old", why;
    EXPECT_EQ(ReadOwnFile(fifo, content, &why), FileRead::kRefused);
    EXPECT_EQ(why, fifo + ": not a regular file (FIFO)");
    EXPECT_TRUE(content.empty());

    const std::string zero = dir.File("zero.ini");
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    EXPECT_EQ(InChild([&] {
                  std::string c;
                  return ReadOwnFile(zero, c) == FileRead::kRefused ? 7 : 0;
              }),
              7)
        << "-1: read /dev/zero until it was stopped";
    EXPECT_EQ(ReadOwnFile(zero, content, &why), FileRead::kRefused);
    EXPECT_EQ(why, zero + ": not a regular file (character device)");

    EXPECT_EQ(ReadOwnFile(dir.Path(), content, &why), FileRead::kRefused);
    EXPECT_EQ(why, dir.Path() + ": not a regular file (folder)");

    const std::string big = dir.File("big.ini");
    qavtest::WriteFile(big, std::string(100, 'x'));
    EXPECT_EQ(ReadOwnFile(big, content, &why, 100), FileRead::kRead);
    EXPECT_EQ(ReadOwnFile(big, content, &why, 99), FileRead::kRefused);
    EXPECT_EQ(why, big + ": larger than 99 bytes");
    ASSERT_EQ(::truncate(big.c_str(), static_cast<off_t>(kMaxOwnFileSize) + 1), 0);
    EXPECT_EQ(ReadOwnFile(big, content, &why), FileRead::kRefused);
}

TEST(Text, TrimTakesTheGivenBlanks)
{
    EXPECT_EQ(Trim("  a b \t"), "a b");
    EXPECT_EQ(Trim("\r\n x \v\f"), "x");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim(" a\r ", " \t"), "a\r") << "only the blanks asked for";
    const std::string line = "  key = value  ";
    const std::string_view view = TrimView(line);
    EXPECT_EQ(view, "key = value");
    EXPECT_EQ(view.data(), line.data() + 2) << "the view points into the text";
    EXPECT_TRUE(TrimView("   ").empty());
}

TEST(Text, MailDateInTheLocalZone)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    const std::time_t july = 1719855000;   // 2024-07-01 17:30:00 UTC
    const std::time_t january = 1705334400; // 2024-01-15 16:00:00 UTC
    ::setenv("TZ", "UTC", 1);
    EXPECT_EQ(MailDate(july), "Mon, 01 Jul 2024 17:30:00 +0000");
    ::setenv("TZ", "America/New_York", 1);
    EXPECT_EQ(MailDate(july), "Mon, 01 Jul 2024 13:30:00 -0400") << "daylight time";
    EXPECT_EQ(MailDate(january), "Mon, 15 Jan 2024 11:00:00 -0500");
    ::setenv("TZ", "America/St_Johns", 1);
    EXPECT_EQ(MailDate(january), "Mon, 15 Jan 2024 12:30:00 -0330");
    if (old) ::setenv("TZ", saved.c_str(), 1);
    else ::unsetenv("TZ");
    EXPECT_EQ(UtcOffsetText(330), "+0530");
    EXPECT_EQ(UtcOffsetText(-30), "-0030") << "the sign of the whole offset";
    EXPECT_EQ(UtcOffsetText(0), "+0000");
}

} // namespace
