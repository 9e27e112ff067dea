// The printer's side of the raw ports without sockets: the download
// protocol (start command, data whole or in blocks, the checks against the
// trailer, the reply frames) and object access by printer command.
#include <gtest/gtest.h>

#include <cstring>

#include "Download.h"
#include "LoadFiles.h"
#include "Mib.h"
#include "PrinterCommands.h"
#include "RawStream.h"

namespace {

using namespace qavsim;
using namespace simtest;

// Records what the stream makes of its bytes.
struct Recorder : RawStream::Handler {
    void PrintData(size_t bytes) override { printBytes += bytes; }
    void ObjectCommand(const std::string& command) override { commands.push_back(command); }
    void DownloadReply(int value) override { replies.push_back(value); }
    void DownloadDone(const DownloadOutcome& outcome) override { outcomes.push_back(outcome); }
    std::string ShortModel() override { return model; }

    std::string model = "M-UG2";
    size_t printBytes = 0;
    std::vector<std::string> commands;
    std::vector<int> replies;
    std::vector<DownloadOutcome> outcomes;
};

void Feed(RawStream& s, const std::string& bytes)
{
    s.Feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(DownloadProtocol, ReplyFramesAreThirteenBytes)
{
    const std::string r = DownloadReply(52);
    const unsigned char want[] = {0x01, 0x02, '5', '2', '2', '0', '0', '0', '0', 0x03, 0x04, 0x0D, 0x0A};
    ASSERT_EQ(r.size(), sizeof want);
    EXPECT_EQ(std::memcmp(r.data(), want, sizeof want), 0);
    EXPECT_EQ(DownloadReply(6).substr(2, 2), "06");
}

TEST(DownloadProtocol, WholeFileIsAcknowledgedPerBlockAndFinished)
{
    // 600 KB: two 256 KB boundaries inside the file, then the end.
    const LoadFile f = MakeLoadFile(600 * 1024);
    Recorder r;
    RawStream s(r);
    Feed(s, StartCommand(f));
    EXPECT_EQ(r.replies, std::vector<int>({52}));
    Feed(s, "{LP;" + f.bytes + "|}");
    EXPECT_EQ(r.replies, std::vector<int>({52, 53, 53, 56}));
    ASSERT_EQ(r.outcomes.size(), 1u);
    EXPECT_EQ(r.outcomes[0].reply, 56);
    EXPECT_EQ(r.outcomes[0].bytes, f.bytes.size());
    EXPECT_EQ(r.outcomes[0].trailer.kind, "MAIN");
    EXPECT_EQ(r.outcomes[0].trailer.version, "V1.3A");
    EXPECT_EQ(r.printBytes, 0u); // the closing "|}" belongs to the download
    EXPECT_FALSE(s.InDownload());
}

TEST(DownloadProtocol, BlocksWithoutTheClosingBracketAndOneByteAtATime)
{
    const LoadFile f = MakeLoadFile(300 * 1024 + 256);
    Recorder r;
    RawStream s(r);
    const std::string all = StartCommand(f) + "{LP;" + f.bytes;
    for (char c : all) s.Feed(reinterpret_cast<const unsigned char*>(&c), 1);
    EXPECT_EQ(r.replies, std::vector<int>({52, 53, 56}));
    ASSERT_EQ(r.outcomes.size(), 1u);
    EXPECT_EQ(r.outcomes[0].reply, 56);
    // What follows is print data again.
    Feed(s, "label");
    EXPECT_EQ(r.printBytes, 5u);
}

TEST(DownloadProtocol, FileEndingOnABlockBoundaryGetsNoBlockReply)
{
    const LoadFile f = MakeLoadFile(2 * download::kBlockSize);
    Recorder r;
    RawStream s(r);
    Feed(s, StartCommand(f) + "{LP;" + f.bytes + "|}");
    EXPECT_EQ(r.replies, std::vector<int>({52, 53, 56}));
}

TEST(DownloadProtocol, RefusalsNameTheFault)
{
    struct Case {
        const char* what;
        int checksumDelta;
        int sizeDelta; // in the trailer and the start command alike
        const char* model;
        int reply;
    };
    const Case cases[] = {
        {"checksum", 1, 0, "M-UG2", 6},
        {"size", 0, 1, "M-UG2", 50},
        {"model", 0, 0, "MC-1200", 51},
        {"all good", 0, 0, "M-UG2", 56},
    };
    for (const Case& c : cases) {
        LoadFile f = MakeLoadFile(5256, "MAIN", "V1.3A", c.model);
        f.checksum += static_cast<uint32_t>(c.checksumDelta);
        f.sizeKb = static_cast<uint16_t>(f.sizeKb + c.sizeDelta);
        f.RewriteTrailer();
        Recorder r;
        RawStream s(r);
        Feed(s, StartCommand(f) + "{LP;" + f.bytes + "|}");
        ASSERT_EQ(r.outcomes.size(), 1u) << c.what;
        EXPECT_EQ(r.outcomes[0].reply, c.reply) << c.what;
        EXPECT_EQ(r.replies.back(), c.reply) << c.what;
    }
}

TEST(DownloadProtocol, AMagicInsideTheDataDoesNotEndTheFile)
{
    LoadFile f = MakeLoadFile(4256);
    // A trailer-like block in the middle, with other size and checksum fields.
    std::string fake(256, ' ');
    fake.replace(240, 13, "QQAV LOADFILE");
    f.bytes.replace(1000, 256, fake);
    f.checksum = 0;
    for (size_t i = 0; i + 256 < f.bytes.size(); ++i) f.checksum += static_cast<unsigned char>(f.bytes[i]);
    f.RewriteTrailer();
    Recorder r;
    RawStream s(r);
    Feed(s, StartCommand(f) + "{LP;" + f.bytes + "|}");
    ASSERT_EQ(r.outcomes.size(), 1u);
    EXPECT_EQ(r.outcomes[0].bytes, f.bytes.size());
    EXPECT_EQ(r.outcomes[0].reply, 56);
}

TEST(DownloadProtocol, DataWithoutAStartCommandIsPrintData)
{
    Recorder r;
    RawStream s(r);
    Feed(s, "{LP;abc|}");
    Feed(s, "A{B{{GO");
    Feed(s, "XY");
    EXPECT_TRUE(r.replies.empty());
    EXPECT_EQ(r.printBytes, 9u + 9u);
    // A start command in pieces.
    const std::string start = StartCommand(7, 1);
    Feed(s, start.substr(0, 5));
    Feed(s, start.substr(5));
    EXPECT_EQ(r.replies, std::vector<int>({52}));
}

TEST(ObjectCommands, LengthOfCompleteIncompleteAndMalformedCommands)
{
    const std::string get = "{GOID;001017"
                            "1.3.6.1.2.1.1.5.0"
                            "00005000|}";
    EXPECT_EQ(ObjectCommandLength(get), static_cast<int>(get.size()));
    EXPECT_EQ(ObjectCommandLength(get + "tail"), static_cast<int>(get.size()));
    for (size_t n = 6; n < get.size(); ++n) EXPECT_EQ(ObjectCommandLength(get.substr(0, n)), 0) << n;
    EXPECT_EQ(ObjectCommandLength("{GOID;0x1|}"), -1);
    EXPECT_EQ(ObjectCommandLength("{SOID;001003abc0000200a7|}"), -1);
    // A value holding "|}" is read by its length.
    const std::string set = "{SOID;002017"
                            "1.3.6.1.2.1.1.5.0"
                            "00004004a|}b|}";
    EXPECT_EQ(ObjectCommandLength(set), static_cast<int>(set.size()));

    Recorder r;
    RawStream s(r);
    Feed(s, get.substr(0, 10));
    Feed(s, get.substr(10) + set);
    ASSERT_EQ(r.commands.size(), 2u);
    EXPECT_EQ(r.commands[0], get);
    EXPECT_EQ(r.commands[1], set);
}

class ObjectAnswers : public ::testing::Test {
protected:
    void SetUp() override
    {
        Oid name, descr, count;
        ParseOid("1.3.6.1.2.1.1.5.0", name);
        ParseOid("1.3.6.1.2.1.1.1.0", descr);
        ParseOid("1.3.6.1.4.1.32473.1.20801.0", count);
        mib_.Set(name, Value::Text("Line 1"), true);
        mib_.Set(descr, Value::Text("M-UG2"), false);
        mib_.Set(count, Value::Integer(7), true);
    }
    std::string Answer(const std::string& command, const ObjectReplyOptions& o = {})
    {
        return AnswerObjectCommand(mib_, policy_, command, o);
    }
    Mib mib_;
    AgentPolicy policy_;
};

TEST_F(ObjectAnswers, GetAnswersEachBindingOnItsOwn)
{
    const std::string reply = Answer("{GOID;001017"
                                     "1.3.6.1.2.1.1.5.0"
                                     "00005000"
                                     "013"
                                     "1.3.6.1.9.9.9"
                                     "00005000|}");
    EXPECT_EQ(reply, std::string("\x01\x02"
                                 "E001"
                                 "017"
                                 "1.3.6.1.2.1.1.5.0"
                                 "00004006Line 1"
                                 "013"
                                 "1.3.6.1.9.9.9"
                                 "02005000\x03\x04\r\n"));
}

TEST_F(ObjectAnswers, SetChecksWritabilityAndType)
{
    // Read-only object, wrong type, then a good write.
    const std::string reply = Answer("{SOID;042017"
                                     "1.3.6.1.2.1.1.1.0"
                                     "00004001x"
                                     "027"
                                     "1.3.6.1.4.1.32473.1.20801.0"
                                     "00004001x"
                                     "027"
                                     "1.3.6.1.4.1.32473.1.20801.0"
                                     "00002002-3|}");
    EXPECT_EQ(reply, std::string("\x01\x02"
                                 "E042"
                                 "017"
                                 "1.3.6.1.2.1.1.1.0"
                                 "02005000"
                                 "027"
                                 "1.3.6.1.4.1.32473.1.20801.0"
                                 "03005000"
                                 "027"
                                 "1.3.6.1.4.1.32473.1.20801.0"
                                 "00002002-3\x03\x04\r\n"));
    Oid count;
    ParseOid("1.3.6.1.4.1.32473.1.20801.0", count);
    EXPECT_EQ(mib_.Find(count)->value.number, -3);
}

TEST_F(ObjectAnswers, FaultOptionsChangeSequenceAndStatus)
{
    const std::string get = "{GOID;999017"
                            "1.3.6.1.2.1.1.5.0"
                            "00005000|}";
    ObjectReplyOptions badSeq;
    badSeq.sequenceOffset = 1;
    EXPECT_EQ(Answer(get, badSeq).substr(3, 3), "000");
    ObjectReplyOptions genErr;
    genErr.genErr = true;
    EXPECT_EQ(Answer(get, genErr), std::string("\x01\x02"
                                               "E999"
                                               "017"
                                               "1.3.6.1.2.1.1.5.0"
                                               "05005000\x03\x04\r\n"));
}

} // namespace
