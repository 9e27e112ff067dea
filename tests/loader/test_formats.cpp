// The download tool's formats and rules, without any peer: the trailer and
// its magic rule, the kinds, the version and boot rules, catalog lines, the
// program's arguments, the prepared data, the reply frames and the report.
#include <gtest/gtest.h>

#include <cstring>

#include "LoadFiles.h"
#include "TestPeers.h"
#include "nload/Catalog.h"
#include "nload/Printer.h"
#include "nload/Procedure.h"
#include "nload/Protocol.h"
#include "nload/Report.h"
#include "nload/Selection.h"
#include "nload/Trailer.h"
#include "nload/Versions.h"
#include "qavres/Resources.h"

namespace {

using namespace nload;
using loadertest::LoadFileRecipe;
using loadertest::MakeLoadFile;
using loadertest::WriteBytes;

std::vector<unsigned char> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

const qavres::StringTable& Texts()
{
    static qavres::StringTable texts;
    if (!texts.IsLoaded()) texts.LoadFile(QAV_SOURCE_DIR "/resources/data/QDLRSENG.txt");
    return texts;
}

// ------------------------------------------------------------ the trailer

TEST(Trailer, FileOf255BytesHasNoneAnd256BytesIsItsOwn)
{
    qavtest::TempDir dir;
    Trailer t;
    t.kindName = "MAIN";
    t.magic = kMagicQqav;
    t.version = "V1.2A";
    const auto block = MakeTrailerBlock(t);
    WriteBytes(dir.File("short.bin"), {block.begin() + 1, block.end()});
    WriteBytes(dir.File("exact.bin"), {block.begin(), block.end()});

    Trailer read;
    read.version = "kept";
    std::string error;
    EXPECT_FALSE(ReadTrailer(dir.File("short.bin"), read, &error));
    EXPECT_NE(error.find("short.bin"), std::string::npos) << error;
    EXPECT_EQ(read.version, "kept");
    ASSERT_TRUE(ReadTrailer(dir.File("exact.bin"), read));
    EXPECT_EQ(read.version, "V1.2A");
    EXPECT_EQ(read.kindName, "MAIN            ");
    EXPECT_TRUE(MagicValid(read));
}

TEST(Trailer, SizeAndChecksumAreBigEndianAndShownAsThePartSays)
{
    unsigned char block[kTrailerSize];
    std::memset(block, ' ', sizeof block);
    const unsigned char numbers[8] = {0x00, 0x00, 0x01, 0x00, 0x12, 0x34, 0xAB, 0xCD};
    std::memcpy(block, numbers, sizeof numbers);
    std::memcpy(block + 80, "MAIN", 4);
    const FileInfo info = InfoFromTrailer(ParseTrailer(block));
    EXPECT_EQ(SizeText(info), "256KB");
    EXPECT_EQ(ChecksumText(info), "1234ABCDH");
}

TEST(Trailer, FieldsSitAtTheirOffsets)
{
    unsigned char block[kTrailerSize];
    std::memset(block, '.', sizeof block);
    auto put = [&](size_t at, const char* text) { std::memcpy(block + at, text, std::strlen(text)); };
    put(16, "TEXT-ONE-11");
    put(32, "TEXT-TWO9");
    put(48, "M-PQ3W1     ");
    put(64, "V2.1B");
    put(80, "BOOT            ");
    put(96, "0021BOOT2   ");
    put(240, "M-UG LOADFILE");
    const Trailer t = ParseTrailer(block);
    EXPECT_EQ(t.text1, "TEXT-ONE-11"); // 11 characters, the byte after them not taken
    EXPECT_EQ(t.text2, "TEXT-TWO9");
    EXPECT_EQ(t.model, "M-PQ3W1     ");
    EXPECT_TRUE(MagicValid(t));
    const FileInfo info = InfoFromTrailer(t);
    EXPECT_EQ(info.kind, kKindBoot);
    EXPECT_EQ(info.version, "V2.1B");
    EXPECT_EQ(info.major, '2');
    EXPECT_EQ(info.minor, '1');
    EXPECT_EQ(info.revision, 'B');
    EXPECT_EQ(info.bootType, "0021");
    EXPECT_EQ(info.bootText, "BOOT2");
}

TEST(Trailer, MagicRule)
{
    Trailer t;
    t.model = "M-UH9W      ";
    t.magic = kMagicMuh;
    EXPECT_FALSE(MagicValid(t)); // M-UH needs the model M-UH9Y
    t.model = "M-UH9Y      ";
    EXPECT_TRUE(MagicValid(t));
    t.model = "M-UH9Y";
    EXPECT_FALSE(MagicValid(t)); // the model with its six blanks
    t.magic = kMagicMug;
    EXPECT_TRUE(MagicValid(t));
    t.magic = "QQAV LOADFILX";
    EXPECT_FALSE(MagicValid(t));
}

TEST(Trailer, KindsByNameWithTrailingBlanks)
{
    struct Case {
        const char* name;
        int code;
        int text;
    } cases[] = {{"MAIN            ", 0, 3400}, {"BOOT", 1, 3401},    {"C/G  ", 2, 3402},   {"KANJI1", 3, 3403},
                 {"KANJI2", 4, 3404},           {"GAIJI", 5, 3405},   {"HTML", 6, 3406},    {"KANJI   ", 4, 3407},
                 {"CHINESE", 4, 3408},          {"FONTX", kKindOther, 0}, {" MAIN", kKindOther, 0}};
    for (const Case& c : cases) {
        Trailer t;
        t.kindName = c.name;
        const FileInfo info = InfoFromTrailer(t);
        EXPECT_EQ(info.kind, c.code) << c.name;
        EXPECT_EQ(KindTextId(info), c.text) << c.name;
    }
    Trailer other;
    other.kindName = "FONTX   ";
    EXPECT_EQ(KindText(Texts(), InfoFromTrailer(other)), "FONTX");
    Trailer html;
    html.kindName = "HTML";
    EXPECT_EQ(KindText(Texts(), InfoFromTrailer(html)), Texts().Get(3406));
}

TEST(Trailer, GaijiShowsNoValues)
{
    Trailer t;
    t.kindName = "GAIJI";
    t.sizeKb = 12;
    t.checksum = 0xABCDEF01;
    t.model = "M-UG2       ";
    t.version = "V1.00";
    t.text1 = "X";
    const FileInfo info = InfoFromTrailer(t);
    EXPECT_EQ(info.kind, kKindGaiji);
    EXPECT_EQ(SizeText(info), "");
    EXPECT_EQ(ChecksumText(info), "");
    EXPECT_EQ(info.model, "");
    EXPECT_EQ(info.version, "");
    EXPECT_EQ(info.text1, "");
}

// ---------------------------------------------------------------- the rules

FileInfo FileVersion(const std::string& version)
{
    FileInfo f;
    f.version = version;
    TakeVersionDigits(f);
    return f;
}

TEST(Versions, IsTheFileOlderThanThePrinter)
{
    struct Case {
        const char* printer;
        const char* file;
        bool older;
    } cases[] = {
        {"V1.2 ", "V1.2A", false}, {"V1.2A", "V1.2 ", true},  {"V1.2A", "V1.2", true},  {"V1.3 ", "V2.0 ", false},
        {"", "V0.1 ", false},      {"V2.0 ", "V1.9Z", true},  {"V1.3 ", "V1.2Z", true}, {"V1.2A", "V1.2A", false},
        {"V1.2B", "V1.2A", true},  {"V1.2A", "V1.2B", false}, {"V1.2", "V1.2 ", false}, {"V1.2", "V1.2A", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileIsOlder(c.printer, FileVersion(c.file)), c.older) << c.printer << " / " << c.file;
}

TEST(Versions, BootProgramFitsItsPrinter)
{
    EXPECT_TRUE(BootFits("0020", "0020", "M-UG2", "V3.00"));
    EXPECT_TRUE(BootFits("", "0030", "M-UG2", "V3.00"));  // no type in the file: not checked
    EXPECT_TRUE(BootFits("0021", "", "M-UG2", "V3.00"));  // no type from the printer: not checked
    EXPECT_TRUE(BootFits("    ", "0020", "M-UG2", "V3.00")); // a blank type field is no type
    EXPECT_TRUE(BootFits("0020", "0020 ", "M-UG2", "V3.00"));
    EXPECT_TRUE(BootFits("0021", "0020", "M-PQ3W1-X", "V1.95"));
    EXPECT_TRUE(BootFits("0021", "0020", "M-PQ3W1", "V2.1A"));
    EXPECT_FALSE(BootFits("0021", "0020", "M-PQ3W1", "V2.2 "));
    EXPECT_FALSE(BootFits("0021", "0020", "M-PQ3W1", "V3.0 "));
    EXPECT_FALSE(BootFits("0021", "0020", "M-PQ3W2", "V1.0 "));
    EXPECT_FALSE(BootFits("0020", "0021", "M-PQ3W1", "V1.0 "));
    EXPECT_FALSE(BootFits("0030", "0020", "M-PQ3W1", "V1.0 "));
}

TEST(Versions, PrinterVersionTextsAreFiveCharacters)
{
    EXPECT_EQ(FiveCharacterVersion("V1.2"), "V1.2 ");
    EXPECT_EQ(FiveCharacterVersion("V1.2A"), "V1.2A");
    EXPECT_EQ(FiveCharacterVersion("V1.2A 2024"), "V1.2A");
    EXPECT_EQ(FiveCharacterVersion(""), "");
}

TEST(Selection, StartChecksAndSelectionWarnings)
{
    PrinterInfo a = NetworkPrinter("10.0.0.1"), b = NetworkPrinter("10.0.0.2");
    a.model = b.model = "VORANTA QAV M-PQ3W1";
    a.shortModel = b.shortModel = "M-PQ3W1";
    a.infoRead = b.infoRead = true;
    a.versions[kKindMain] = "V1.5 ";
    b.versions[kKindMain] = "V2.5 ";
    a.bootType = b.bootType = "0020";
    b.statusCode = 11;
    EXPECT_EQ(SelectionRefusal({}), 4420);
    EXPECT_EQ(SelectionRefusal({a, b}), 0);
    PrinterInfo c = b;
    c.model = "VORANTA QAV M-UG2";
    EXPECT_EQ(SelectionRefusal({a, c}), 4421);

    FileInfo boot = FileVersion("V1.0 ");
    boot.kind = kKindBoot;
    boot.bootType = "0021";
    StartCheck check = CheckStart(boot, {a, b});
    EXPECT_EQ(check.bootMisfits, std::vector<size_t>{1}); // b's main program is V2.5
    EXPECT_EQ(check.busyPrinters, std::vector<size_t>{1});

    FileInfo main = FileVersion("V2.0 ");
    main.kind = kKindMain;
    check = CheckStart(main, {a, b});
    EXPECT_TRUE(check.bootMisfits.empty());
    EXPECT_EQ(check.newerPrinters, std::vector<size_t>{1});
    FileInfo gaiji;
    gaiji.kind = kKindGaiji;
    EXPECT_TRUE(CheckStart(gaiji, {a, b}).newerPrinters.empty());
}

// -------------------------------------------------------------- the catalog

TEST(Catalog, LineFieldsAndTheSelection)
{
    const CatalogEntry e = ParseCatalogLine("MUG2V105.BIN,MAIN/UG2,MAIN,M-UG2,V1.05,LABEL FW,REL 2,1234,00A1B2C3,\r\n", 9);
    ASSERT_EQ(e.fields.size(), 9u);
    EXPECT_EQ(e.RelativePath(), "MAIN/UG2/MUG2V105.BIN");
    EXPECT_EQ(e.sizeKb, 1234u);
    EXPECT_EQ(e.checksum, 0x00A1B2C3u);
    const FileInfo info = e.Info();
    EXPECT_EQ(info.kind, kKindMain);
    EXPECT_EQ(info.model, "M-UG2");
    EXPECT_EQ(info.text1, "LABEL FW");
    EXPECT_EQ(info.text2, "REL 2");
    EXPECT_EQ(info.major, '1');
    EXPECT_EQ(info.minor, '0');
    EXPECT_EQ(info.revision, '5');
    EXPECT_EQ(ChecksumText(info), "00A1B2C3H");
}

TEST(Catalog, GaijiRowCarriesNoValuesLikeItsTrailer)
{
    // Only the kind of a GAIJI file counts, whether it comes from its
    // trailer or from a catalog line: the report and the checks see no
    // model, version, size or checksum.
    const FileInfo info = ParseCatalogLine("GAIJI.BIN,FONT,GAIJI,M-UG2,V1.00,A,B,12,0000ABCD,", 9).Info();
    EXPECT_EQ(info.kind, kKindGaiji);
    EXPECT_EQ(info.kindName, "GAIJI");
    EXPECT_EQ(info.model, "");
    EXPECT_EQ(info.version, "");
    EXPECT_EQ(info.text1, "");
    EXPECT_EQ(info.text2, "");
    EXPECT_EQ(info.sizeKb, 0u);
    EXPECT_EQ(info.checksum, 0u);
    ReportData d;
    d.file = info;
    const std::string report = BuildReport(Texts(), d);
    EXPECT_NE(report.find("\r\n" + Texts().Get(8022) + " \r\n" + Texts().Get(8023) + " \r\n"), std::string::npos)
        << report;
}

TEST(Catalog, ALineOneCommaShortLeavesItsLastFieldEmpty)
{
    const CatalogEntry e = ParseCatalogLine("F.BIN,,KANJI,M-UG2,V1.0,A,B,77,DEADBEEF", 9);
    ASSERT_EQ(e.fields.size(), 9u);
    EXPECT_EQ(e.fields[7], "77");
    EXPECT_EQ(e.fields[8], "");
    EXPECT_EQ(e.checksum, 0u);
    EXPECT_EQ(e.RelativePath(), "F.BIN");
    EXPECT_EQ(e.Info().kind, kKindKanji2);
    // Fewer fields still: every missing one is empty.
    const CatalogEntry shorter = ParseCatalogLine("ONLY.BIN,", 9);
    EXPECT_EQ(shorter.fileName, "ONLY.BIN");
    EXPECT_EQ(shorter.kindName, "");
}

TEST(Catalog, LinesOfAFileAndTheirLengthLimit)
{
    const std::string longName(1100, 'x');
    const auto entries = ParseCatalog("A.BIN,,MAIN,M,V1.0,,,1,1,\r\n\r\nB.BIN,,HTML,M,V1.0,,,2,2,\n" + longName + ",\n", 9);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].fileName, "B.BIN");
    // Only the first 1023 characters of a line are read: its comma is lost.
    EXPECT_EQ(entries[2].fileName, "");
}

// ----------------------------------------------------------- the arguments

TEST(Arguments, PortWordsAndAddresses)
{
    StartRequest r = ParseArguments({});
    EXPECT_TRUE(r.valid);
    EXPECT_TRUE(r.printers.empty());

    r = ParseArguments({"LPT1"});
    ASSERT_TRUE(r.valid) << r.error;
    ASSERT_EQ(r.printers.size(), 1u);
    EXPECT_EQ(r.printers[0].kind, PortKind::kParallel);
    EXPECT_EQ(r.printers[0].DownloadPortName(), "LPT1");
    EXPECT_EQ(r.printers[0].DownloadAddress(), "");
    EXPECT_FALSE(ParseArguments({"LPT1", "x"}).valid);
    EXPECT_FALSE(ParseArguments({"LPT0"}).valid);
    EXPECT_FALSE(ParseArguments({"LPT10"}).valid);

    r = ParseArguments({"COM2", "9600,8,N,1"});
    ASSERT_TRUE(r.valid) << r.error;
    const PrinterInfo& com = r.printers[0];
    EXPECT_EQ(com.kind, PortKind::kSerial);
    EXPECT_EQ(com.comNumber, 2);
    EXPECT_EQ(com.baud, 9600);
    EXPECT_EQ(com.dataBits, 8);
    EXPECT_EQ(com.parity, 'N');
    EXPECT_EQ(com.stopBits, 1);
    EXPECT_EQ(com.DownloadPortName(), "COM2");
    EXPECT_EQ(com.DownloadAddress(), "9600,8,N,1");
    // The command line counts in capitals: a lower-case parity letter is the same parity.
    r = ParseArguments({"com2", "9600,8,e,1"});
    ASSERT_TRUE(r.valid) << r.error;
    EXPECT_EQ(r.printers[0].parity, 'E');
    EXPECT_EQ(r.printers[0].DownloadAddress(), "9600,8,E,1");
    EXPECT_FALSE(ParseArguments({"COM2"}).valid);
    EXPECT_FALSE(ParseArguments({"COM2", "9600,8,N"}).valid);
    EXPECT_FALSE(ParseArguments({"COM257", "9600,8,N,1"}).valid);

    r = ParseArguments({"snmp", "192.168.10.5"});
    ASSERT_TRUE(r.valid) << r.error;
    EXPECT_EQ(r.printers[0].kind, PortKind::kNetwork);
    EXPECT_EQ(r.printers[0].DownloadPortName(), "TCP/IP");
    EXPECT_EQ(r.printers[0].DownloadAddress(), "192.168.10.5:9100");
    EXPECT_FALSE(ParseArguments({"SNMP", "192.168.10"}).valid);
    EXPECT_FALSE(ParseArguments({"SNMP"}).valid);

    r = ParseArguments({"TCP/IP", "10.0.0.9:9101"});
    ASSERT_TRUE(r.valid) << r.error;
    EXPECT_EQ(r.printers[0].kind, PortKind::kTcpIp);
    EXPECT_EQ(r.printers[0].DownloadAddress(), "10.0.0.9:9101");
    EXPECT_FALSE(ParseArguments({"TCP/IP", "10.0.0.9"}).valid);

    // A device path keeps its case.
    r = ParseArguments({"USB", "/dev/usb/Lp0"});
    ASSERT_TRUE(r.valid) << r.error;
    EXPECT_EQ(r.printers[0].DownloadPortName(), "USB");
    EXPECT_EQ(r.printers[0].DownloadAddress(), "/dev/usb/Lp0");
    EXPECT_FALSE(ParseArguments({"PRN", "x"}).valid);
}

TEST(Arguments, ListFileOfTheListWindow)
{
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("temp.txt"), "SNMP 127.0.0.11\nSNMP 127.0.0.12\r\n\n");
    StartRequest r = ParseArguments({dir.File("temp.txt")});
    ASSERT_TRUE(r.valid) << r.error;
    ASSERT_EQ(r.printers.size(), 2u);
    EXPECT_EQ(r.printers[1].address, "127.0.0.12");
    EXPECT_EQ(r.listFile, dir.File("temp.txt"));

    // The data folder's name has a blank in it; a start through a shell
    // splits the path into two words.
    qavtest::RunCommand("mkdir -p '" + dir.File("VORANTA QAV") + "'");
    qavtest::WriteFile(dir.File("VORANTA QAV/temp.txt"), "SNMP 127.0.0.13\n");
    r = ParseArguments({dir.File("VORANTA"), "QAV/temp.txt"});
    ASSERT_TRUE(r.valid) << r.error;
    ASSERT_EQ(r.printers.size(), 1u);
    EXPECT_EQ(r.printers[0].address, "127.0.0.13");
    EXPECT_EQ(r.listFile, dir.File("VORANTA QAV/temp.txt"));

    qavtest::WriteFile(dir.File("bad.txt"), "SNMP 127.0.0.11\nSNMP nowhere\n");
    r = ParseArguments({dir.File("bad.txt")});
    EXPECT_FALSE(r.valid);
    EXPECT_NE(r.error.find("line 2"), std::string::npos) << r.error;
    qavtest::WriteFile(dir.File("empty.txt"), "\n");
    EXPECT_FALSE(ParseArguments({dir.File("empty.txt")}).valid);
    EXPECT_FALSE(ParseArguments({dir.File("missing.txt")}).valid);
}

TEST(Arguments, QavctlTargetWords)
{
    PrinterInfo p;
    ASSERT_TRUE(ParseTargetWord("127.0.0.11", p));
    EXPECT_EQ(p.kind, PortKind::kNetwork);
    ASSERT_TRUE(ParseTargetWord("TCP/IP:127.0.0.11:9200", p));
    EXPECT_EQ(p.DownloadAddress(), "127.0.0.11:9200");
    ASSERT_TRUE(ParseTargetWord("COM3:115200,8,E,2", p));
    EXPECT_EQ(p.DownloadAddress(), "115200,8,E,2");
    ASSERT_TRUE(ParseTargetWord("USB:/tmp/x:y", p));
    EXPECT_EQ(p.usbPath, "/tmp/x:y");
    ASSERT_TRUE(ParseTargetWord("LPT2", p));
    EXPECT_EQ(p.lptNumber, 2);
    std::string error;
    EXPECT_FALSE(ParseTargetWord("127.0.0.300", p, &error));
}

TEST(Arguments, UsbNamesMarkBlockTransfer)
{
    EXPECT_TRUE(UsbPrinter("/dev/usb/lp0", "VORANTA MC111W").blockTransfer);
    EXPECT_TRUE(UsbPrinter("/dev/usb/lp0", "QAV MD111").blockTransfer);
    EXPECT_FALSE(UsbPrinter("/dev/usb/lp0", "QAV M-UG2").blockTransfer);
    PrinterInfo p = UsbPrinter("/dev/usb/lp0", "QAV MC111W");
    EXPECT_TRUE(UsesBlocks(p));
    p.kind = PortKind::kParallel; // the mark counts only on USB and serial ports
    EXPECT_FALSE(UsesBlocks(p));
    PrinterInfo net = NetworkPrinter("10.0.0.1");
    net.model = "VORANTA QAV MD111";
    EXPECT_TRUE(UsesBlocks(net));
}

// ----------------------------------------------------------------- the data

TEST(Data, MainFileIsWrappedWhole)
{
    std::vector<unsigned char> file(300);
    for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<unsigned char>(i);
    std::vector<unsigned char> data;
    ASSERT_TRUE(PrepareData(file, kKindMain, data));
    ASSERT_EQ(data.size(), 306u);
    EXPECT_EQ(std::string(data.begin(), data.begin() + 4), "{LP;");
    EXPECT_TRUE(std::equal(file.begin(), file.end(), data.begin() + 4));
    EXPECT_EQ(std::string(data.end() - 2, data.end()), "|}");
}

TEST(Data, BarHeaderIsSkipped)
{
    std::vector<unsigned char> file = MakeLoadFile({.contentSize = 1000, .head = "BAR"});
    std::vector<unsigned char> data;
    ASSERT_TRUE(PrepareData(file, kKindMain, data));
    EXPECT_EQ(data.size(), file.size() - 288 + 6);
    EXPECT_TRUE(std::equal(file.begin() + 288, file.end(), data.begin() + 4));
    // A "BAR" file shorter than its header cannot be sent.
    std::string error;
    EXPECT_FALSE(PrepareData(Bytes("BAR and little else"), kKindMain, data, &error));
    EXPECT_FALSE(error.empty());
}

TEST(Data, GaijiGoesWithoutTrailerOrWrapper)
{
    std::vector<unsigned char> file = MakeLoadFile({.kind = "GAIJI", .contentSize = 500, .head = "BAR"});
    std::vector<unsigned char> data;
    ASSERT_TRUE(PrepareData(file, kKindGaiji, data));
    EXPECT_EQ(data, std::vector<unsigned char>(file.begin(), file.begin() + 500)); // "BAR" is kept for GAIJI
    EXPECT_FALSE(PrepareData(std::vector<unsigned char>(255), kKindGaiji, data));
}

TEST(Data, StartCommandCarriesChecksumAndSize)
{
    const auto c = StartCommand(0x1234ABCD, 0x00012345);
    const unsigned char expected[] = {'{', 'L', 'D', ';', 0x12, 0x34, 0xAB, 0xCD, ',', 0x23, 0x45, '|', '}'};
    EXPECT_EQ(std::vector<unsigned char>(c.begin(), c.end()),
              std::vector<unsigned char>(std::begin(expected), std::end(expected)));
}

// -------------------------------------------------------------- the replies

std::vector<unsigned char> Frame(const char* digits)
{
    return {kSoh, kStx, static_cast<unsigned char>(digits[0]), static_cast<unsigned char>(digits[1]), '2', 'a', 'b',
            'c', 'd', kEtx, kEot, kCr, kLf};
}

TEST(Replies, FramesAreFoundAfterNoise)
{
    std::vector<unsigned char> buffer = Bytes("\x01xx noise\x01\x02");
    const auto frame = Frame("56");
    buffer.insert(buffer.end(), frame.begin(), frame.end());
    size_t end = 0;
    EXPECT_EQ(ScanReply(buffer.data(), buffer.size(), &end), 56);
    EXPECT_EQ(end, buffer.size());
    // 13 bytes without SOH give no value.
    const auto noSoh = Bytes("\x02" "56" "2abcd\x03\x04\r\n..");
    EXPECT_EQ(ScanReply(noSoh.data(), 13), kReplyNone);
    // A frame with a wrong closing byte is none either.
    auto broken = Frame("52");
    broken[12] = 'x';
    EXPECT_EQ(ScanReply(broken.data(), broken.size()), kReplyNone);
    EXPECT_EQ(ScanReply(Frame("06").data(), 13), 6);
    EXPECT_EQ(ScanReply(Frame("50").data(), 13), 50);
}

TEST(Replies, ScannerJoinsPiecesAndKeepsLaterFrames)
{
    ReplyScanner scanner;
    auto two = Bytes("junk");
    const auto a = Frame("52"), b = Frame("53");
    two.insert(two.end(), a.begin(), a.end());
    two.insert(two.end(), b.begin(), b.begin() + 5);
    EXPECT_EQ(scanner.Feed(two.data(), two.size()), 52);
    EXPECT_EQ(scanner.Next(), kReplyNone); // the second is still incomplete
    EXPECT_EQ(scanner.Feed(b.data() + 5, b.size() - 5), 53);
    EXPECT_EQ(scanner.Next(), kReplyNone);
    // Long noise does not pile up, and a frame after it is still found.
    const std::vector<unsigned char> noise(10000, 'n');
    EXPECT_EQ(scanner.Feed(noise.data(), noise.size()), kReplyNone);
    EXPECT_EQ(scanner.Feed(a.data(), a.size()), 52);
}

TEST(Replies, FinalWaitOfThreeMegabytesOnUsb)
{
    Timing timing;
    std::vector<unsigned char> file(3 * 1024 * 1024), data;
    ASSERT_TRUE(PrepareData(file, kKindMain, data));
    EXPECT_EQ(FinalReplyLimit(timing, data.size(), true), 97000);
    EXPECT_EQ(FinalReplyLimit(timing, data.size(), false), 82000);
    EXPECT_EQ(FinalReplyLimit(timing, 65535, false), 10000);
}

// --------------------------------------------------------------- the report

TEST(Report, MessagesCarryTheirNumbers)
{
    EXPECT_EQ(FormatText("a %d b %d%% c %d", {1, -137}), "a 1 b -137% c %d");
    PrinterResult r;
    r.code = 17;
    r.result = -137;
    EXPECT_EQ(ErrorMessage(Texts(), r), "Error 17: the printer did not answer in time (result -137).");
    r.code = 11;
    r.result = -205;
    r.systemError = 111;
    EXPECT_EQ(ErrorMessage(Texts(), r),
              "Error 11: the connection to the printer could not be prepared (result -205, system error 111).");
    r.code = 25;
    EXPECT_EQ(ErrorMessage(Texts(), r), Texts().Get(8093));
    r.code = 0;
    EXPECT_EQ(ErrorMessage(Texts(), r), "");
}

TEST(Report, SavedReportLayout)
{
    ReportData d;
    d.fileName = "/srv/fw/MUG2V105.BIN";
    Trailer t;
    t.kindName = "MAIN";
    t.model = "M-UG2";
    t.version = "V1.05";
    t.sizeKb = 256;
    t.checksum = 0x1234ABCD;
    t.text1 = "LABEL FW";
    t.text2 = "REL 2";
    d.file = InfoFromTrailer(t);
    d.startTime = "2024/05/06   07:08:09.010";
    d.endTime = "2024/05/06   07:09:10.020";
    PrinterInfo ok = NetworkPrinter("127.0.0.11");
    ok.name = "Labeller 1";
    PrinterInfo failed = ParallelPrinter(1);
    failed.last.code = 26;
    PrinterInfo serial = SerialPrinter(2, 9600, 8, 'N', 1, false);
    serial.name = "Dock";
    d.printers = {ok, failed, serial};
    d.log = "first line\nsecond line\n";
    const std::string report = BuildReport(Texts(), d);
    const std::string expected = Texts().Get(8000) + "\r\n\r\n" + Texts().Get(8010) + " 2024/05/06   07:08:09.010\r\n" +
                                 Texts().Get(8011) + " 2024/05/06   07:09:10.020\r\n\r\n" + Texts().Get(8030) + "\r\n" +
                                 Texts().Get(8020) + " /srv/fw/MUG2V105.BIN\r\n" + Texts().Get(8021) + " " +
                                 Texts().Get(3400) + "\r\n" + Texts().Get(8022) + " M-UG2\r\n" + Texts().Get(8023) +
                                 " V1.05\r\n" + Texts().Get(8024) + " 256KB\r\n" + Texts().Get(8025) + " 1234ABCDH\r\n" +
                                 Texts().Get(8026) + " LABEL FW\r\n" + Texts().Get(8027) + " REL 2\r\n\r\n" +
                                 "SNMP  127.0.0.11\r\nLabeller 1" + Texts().Get(5003) + "\r\n\r\n" +
                                 "LPT1\r\nQAV BARCODE PRINTER LPT1: " + Texts().Get(8094) + "\r\n\r\n" +
                                 "COM2  9600,8,N,1\r\nDock" + Texts().Get(5003) + "\r\n\r\n" +
                                 "first line\r\nsecond line\r\n";
    EXPECT_EQ(report, expected);
}

TEST(Report, TimeStampLayout)
{
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 4;
    local.tm_mday = 6;
    local.tm_hour = 7;
    local.tm_min = 8;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local)) + std::chrono::milliseconds(10);
    EXPECT_EQ(TimeStamp(when), "2024/05/06   07:08:09.010");
}

} // namespace
