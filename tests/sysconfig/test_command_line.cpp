// The command line of nconfig and its list file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "TestPeers.h"
#include "nconfig/CommandLine.h"
#include "nconfig/ListFile.h"

using namespace nconfig;

namespace {

bool Parses(const std::string& line)
{
    CommandLine c;
    return ParseCommandLine(line, c);
}

TEST(CommandLine, OnePrinterOverSnmp)
{
    CommandLine c;
    ASSERT_TRUE(ParseCommandLine("3 SNMP 192.168.10.5", c));
    EXPECT_EQ(c.mode, 3);
    EXPECT_EQ(c.port, "SNMP");
    EXPECT_EQ(c.address, "192.168.10.5");
    EXPECT_EQ(c.model, "");
    EXPECT_EQ(c.version, "");
}

TEST(CommandLine, ModelAndVersionFollowTheAddress)
{
    CommandLine c;
    ASSERT_TRUE(ParseCommandLine("2 SNMP 10.0.0.9|M-UG2?V1.02", c));
    EXPECT_EQ(c.address, "10.0.0.9");
    EXPECT_EQ(c.model, "M-UG2");
    EXPECT_EQ(c.version, "V1.02");

    ASSERT_TRUE(ParseCommandLine("2 SNMP 10.0.0.9|M-UG2?", c));
    EXPECT_EQ(c.version, " ") << "nothing after ? is a single blank";
    ASSERT_TRUE(ParseCommandLine("2 SNMP 10.0.0.9|M-UG2", c));
    EXPECT_EQ(c.model, "M-UG2");
    EXPECT_EQ(c.version, "");
    ASSERT_TRUE(ParseCommandLine("2 SNMP 10.0.0.9|A-MODEL-KEY-LONGER-THAN-15?V1.02-AND-MORE-THAN-15", c));
    EXPECT_EQ(c.model, "A-MODEL-KEY-LON");
    EXPECT_EQ(c.version, "V1.02-AND-MORE-");
}

TEST(CommandLine, TheStatusMonitorsTrailingModelTextIsNoModel)
{
    // "nconfig 3 SNMP a.b.c.d <object 81>": no "|", so no model.
    CommandLine c;
    ASSERT_TRUE(ParseCommandLine("3 SNMP 127.0.0.14 QAV M-RA1", c));
    EXPECT_EQ(c.address, "127.0.0.14");
    EXPECT_EQ(c.model, "");
}

TEST(CommandLine, AddressesMustFitTheirPort)
{
    EXPECT_FALSE(Parses("3 SNMP 256.0.0.1"));
    EXPECT_FALSE(Parses("3 SNMP 10.0.0"));
    EXPECT_FALSE(Parses("3 SNMP host.example"));
    EXPECT_TRUE(Parses("3 TCP/IP 10.0.0.9:9100"));
    EXPECT_TRUE(Parses("3 TCP/IP 10.0.0.9:65535"));
    EXPECT_FALSE(Parses("3 TCP/IP 10.0.0.9:70000")) << "the port limit is 65535";
    EXPECT_FALSE(Parses("3 TCP/IP 10.0.0.9"));
    EXPECT_FALSE(Parses("3 tcp/ip 10.0.0.9:9100")) << "port names are compared with case";
}

TEST(CommandLine, SerialPorts)
{
    EXPECT_TRUE(Parses("3 COM1 9600,8,N,1"));
    EXPECT_TRUE(Parses("3 COM256 115200,7,E,2"));
    EXPECT_TRUE(Parses("3 COM1 9600,8,n,1")) << "lower-case parity passes here; the session refuses it";
    EXPECT_TRUE(Parses("3 COM3 19200,8,o,1"));
    EXPECT_FALSE(Parses("3 COM0 9600,8,N,1"));
    EXPECT_FALSE(Parses("3 COM257 9600,8,N,1"));
    EXPECT_FALSE(Parses("3 COM1 9600,6,N,1")) << "data bits 6";
    EXPECT_FALSE(Parses("3 COM1 9600,8,X,1"));
    EXPECT_FALSE(Parses("3 COM1 9600,8,N,3"));
    EXPECT_FALSE(Parses("3 COM1 0,8,N,1"));
    EXPECT_FALSE(Parses("3 COM1 9600,8,N"));
}

TEST(CommandLine, RefusedLines)
{
    EXPECT_FALSE(Parses(""));
    EXPECT_FALSE(Parses("   "));
    EXPECT_FALSE(Parses("5 SNMP 10.0.0.1"));
    EXPECT_FALSE(Parses("0 SNMP 10.0.0.1"));
    EXPECT_FALSE(Parses("x SNMP 10.0.0.1"));
    EXPECT_FALSE(Parses("3 LPT1 10.0.0.1"));
    EXPECT_FALSE(Parses("3 SNMP"));
    EXPECT_FALSE(Parses("4"));
}

TEST(CommandLine, ListMode)
{
    CommandLine c;
    ASSERT_TRUE(ParseCommandLine("4 temp.txt", c));
    EXPECT_EQ(c.mode, 4);
    EXPECT_EQ(c.port, "temp.txt");
    // Everything after the first blank: paths with blanks arrive whole.
    ASSERT_TRUE(ParseCommandLine(JoinArguments({"4", "/home/a/VORANTA QAV/QAVNetworkTool/temp.txt|M-UG2?V1.02"}), c));
    EXPECT_EQ(c.port, "/home/a/VORANTA QAV/QAVNetworkTool/temp.txt");
    EXPECT_EQ(c.model, "M-UG2");
    EXPECT_EQ(c.version, "V1.02");
    ASSERT_TRUE(ParseCommandLine("4 list.txt?V2", c));
    EXPECT_EQ(c.port, "list.txt");
    EXPECT_EQ(c.model, "");
    EXPECT_EQ(c.version, "V2");
}

TEST(ListFile, PathsWithoutSlashAreInTheDataFolder)
{
    qavtest::TempDir data;
    ::setenv("QAV_DATA_DIR", data.Path().c_str(), 1);
    EXPECT_EQ(ListFilePath("temp.txt"), data.File("temp.txt"));
    EXPECT_EQ(ListFilePath("/tmp/other.txt"), "/tmp/other.txt");
}

TEST(ListFile, LinesAndTheirEnds)
{
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("list.txt"), "SNMP 10.0.0.1\r\n\nSNMP 10.0.0.2\n\r\nCOM1 9600,8,N,1\n" +
                                                 std::string("SNMP ") + std::string(300, '9') + "\n");
    std::vector<ListLine> lines;
    ASSERT_TRUE(ReadListFile(dir.File("list.txt"), lines));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].port, "SNMP");
    EXPECT_EQ(lines[0].address, "10.0.0.1");
    EXPECT_EQ(lines[1].address, "10.0.0.2");
    EXPECT_EQ(lines[2].port, "COM1");
    EXPECT_EQ(lines[2].address, "9600,8,N,1");
    EXPECT_EQ(lines[3].address.size(), 250u) << "a line is cut to 255 characters";

    qavtest::WriteFile(dir.File("empty.txt"), "\n\n");
    EXPECT_FALSE(ReadListFile(dir.File("empty.txt"), lines));
    EXPECT_FALSE(ReadListFile(dir.File("missing.txt"), lines));
}

} // namespace
