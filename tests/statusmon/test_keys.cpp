// The job and network pages, the remote keys and the device setting
// against a fake printer.
#include <gtest/gtest.h>

#include "FakePrinter.h"
#include "nstat/DeviceSetting.h"
#include "nstat/Printer.h"
#include "nstat/RemoteKeys.h"
#include "ShippedTexts.h"
#include "qavres/Resources.h"

namespace {

using namespace nstat;
using nstattest::FakePrinter;

const qavres::StringTable& Texts() { return nstattest::ShippedTexts(); }

constexpr uint32_t kAddress = nstattest::kTestAddress;

TEST(InterfaceTypes, NamesNumberAndTrailingBlank)
{
    EXPECT_EQ(InterfaceTypeName(6), "ethernet-csmacd(6) ");
    EXPECT_EQ(InterfaceTypeName(1), "other(1) ");
    EXPECT_EQ(InterfaceTypeName(24), "softwareLoopback(24) ");
    EXPECT_EQ(InterfaceTypeName(32), "frame-relay(32) ");
    EXPECT_EQ(InterfaceTypeName(0), "unknown");
    EXPECT_EQ(InterfaceTypeName(200), "unknown");
    EXPECT_EQ(InterfaceTypeName(34), "unknown");
    EXPECT_EQ(InterfaceTypeName(-5), "unknown");
    EXPECT_EQ(InterfaceTypeName(33), "");
    EXPECT_EQ(InterfaceTypeText(""), ""); // not answered
    EXPECT_EQ(InterfaceTypeText("23"), "ppp(23) ");
}

TEST(JobPage, MakerRowWithoutTrailingBlanks)
{
    FakePrinter fake;
    fake.MakeMaker("M-UH5W");
    fake.SetInt(20961, 42);
    fake.SetText(20981, "LABEL-42   ");
    fake.SetInt(20901, 2);
    fake.SetInt(21041, 17);
    fake.SetText(21001, "j.baker \t");
    fake.SetText(21021, "  host-7  ");
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    const JobPage page = printer.ReadJobPage();
    ASSERT_TRUE(page.read);
    EXPECT_EQ(page.row, (std::vector<std::string>{"42", "LABEL-42", "2", "17", "j.baker", "  host-7"}));
    fake.silent = true;
    EXPECT_FALSE(printer.ReadJobPage().read);
}

TEST(JobPage, OtherPrintersHaveNoJob)
{
    FakePrinter fake;
    fake.Set(1361, 6, "1.3.6.1.4.1.683.6.0");
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    fake.reads.clear();
    EXPECT_FALSE(printer.ReadJobPage().read);
    EXPECT_TRUE(fake.reads.empty());
}

TEST(NetworkPage, OtherPrintersHaveTheInterfaceSection)
{
    FakePrinter fake;
    fake.Set(1361, 6, "1.3.6.1.4.1.683.6.0");
    fake.SetText(401, "PrintServer 1");
    fake.SetInt(421, 6);
    fake.SetText(441, "00 07 4D 6B C2 A8");
    fake.instances[{661, "10.1.2.3"}] = {64, "10.1.2.3"};
    fake.instances[{681, "10.1.2.3"}] = {64, "255.255.255.0"};
    fake.Set(461, 65, "1000");
    fake.Set(621, 65, "77");
    fake.Set(641, 65, "88");
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    fake.reads.clear();
    const NetworkPage page = printer.ReadNetworkPage();
    EXPECT_EQ(page.board, "PrintServer 1");
    EXPECT_EQ(page.interfaceType, "ethernet-csmacd(6) ");
    EXPECT_EQ(page.mac, "00:07:4D:6B:C2:A8");
    EXPECT_EQ(page.address, "10.1.2.3");
    EXPECT_EQ(page.mask, "255.255.255.0");
    // 3 objects, the interface counters, then the other 19 in one request.
    ASSERT_EQ(fake.reads.size(), 3u);
    EXPECT_EQ(fake.reads[1].size(), 8u);
    EXPECT_EQ(fake.reads[2].size(), 19u);
    ASSERT_EQ(page.rows.size(), 1u + 8 + 1 + 3 + 6 + 3 + 3 + 9);
    EXPECT_EQ(page.rows[0], (std::vector<std::string>{Texts().Get(5605), ""}));
    EXPECT_EQ(page.rows[1], (std::vector<std::string>{Texts().Get(5606), "1000"}));
    EXPECT_EQ(page.rows[9], (std::vector<std::string>{"", ""}));
    EXPECT_EQ(page.rows[10], (std::vector<std::string>{Texts().Get(5614), ""}));
    EXPECT_EQ(page.rows[11], (std::vector<std::string>{Texts().Get(5615), "77"}));
    EXPECT_EQ(page.rows.back()[0], Texts().Get(5637));
    char expected[512];
    std::snprintf(expected, sizeof expected, "[IP]\n%-40s\t:\t77\n%-40s\t:\t88\n", Texts().Get(5615).c_str(),
                  Texts().Get(5616).c_str());
    EXPECT_EQ(page.ipSummary, expected);
}

TEST(NetworkPage, MakerPrintersStartWithIpAndTheMaskNeedsTheOwnAddress)
{
    FakePrinter fake;
    fake.MakeMaker("M-UH5W");
    fake.SetInt(421, 200);
    // The address table answers, but for another address.
    fake.instances[{661, "10.1.2.3"}] = {64, "10.1.2.4"};
    fake.instances[{681, "10.1.2.3"}] = {64, "255.0.0.0"};
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    const NetworkPage page = printer.ReadNetworkPage();
    EXPECT_EQ(page.interfaceType, "unknown");
    EXPECT_EQ(page.mask, "");
    ASSERT_FALSE(page.rows.empty());
    EXPECT_EQ(page.rows[0][0], Texts().Get(5614));
    EXPECT_EQ(page.rows.size(), 3u + 6 + 3 + 3 + 9);
}

TEST(RemoteKeys, ButtonsByModel)
{
    for (const char* m : {"VORANTA QAV M-PN1", "VORANTA QAV M-RA1", "VORANTA QAV M-RB1"}) {
        const KeyButtons b = KeyButtonsFor(m);
        EXPECT_FALSE(b.feed || b.restart || b.pause) << m;
    }
    for (const char* m : {"VORANTA QAV M-RC5K", "VORANTA QAV M-RC6K"}) {
        const KeyButtons b = KeyButtonsFor(m);
        EXPECT_TRUE(b.feed && b.pause) << m;
        EXPECT_FALSE(b.restart) << m;
    }
    const KeyButtons all = KeyButtonsFor("VORANTA QAV M-UH5W");
    EXPECT_TRUE(all.feed && all.restart && all.pause);
}

TEST(RemoteKeys, RestartWaits)
{
    EXPECT_EQ(RestartWaitMs("VORANTA QAV M-UH3W", "1"), 33000);
    EXPECT_EQ(RestartWaitMs("VORANTA QAV M-UH5W", ""), 33000);
    EXPECT_EQ(RestartWaitMs("VORANTA QAV M-UH5W", "0"), 20000);
    EXPECT_EQ(RestartWaitMs("VORANTA QAV M-UG2W", "1"), 28000);
    EXPECT_EQ(RestartWaitMs("VORANTA QAV M-UG2W", "0"), 16000);
}

TEST(RemoteKeys, StepsBetweenTicks)
{
    RemoteKeySteps steps;
    EXPECT_EQ(steps.Open(), 10000);
    EXPECT_EQ(steps.KeySent(), 1000);
    EXPECT_EQ(steps.Current(), RemoteKeySteps::kAfterKey);
    RemoteKeySteps::Tick t = steps.OnTimer();
    EXPECT_FALSE(t.enableButtons);
    EXPECT_EQ(t.nextMs, 10000);
    EXPECT_EQ(steps.Current(), RemoteKeySteps::kWaiting);
    EXPECT_EQ(steps.ResetSent(20000), 20000);
    t = steps.OnTimer();
    EXPECT_TRUE(t.enableButtons);
    EXPECT_FALSE(steps.OnTimer().enableButtons);
}

TEST(RemoteKeys, KeysAndResetWriteTheirObjects)
{
    FakePrinter fake;
    fake.MakeMaker("M-UH5W");
    fake.SetInt(20861, 0);
    fake.SetInt(20841, 0);
    Printer printer(fake, Texts(), kAddress);
    EXPECT_TRUE(SendKey(printer, Key::kFeed));
    EXPECT_TRUE(SendKey(printer, Key::kPause));
    EXPECT_TRUE(SendKey(printer, Key::kRestart));
    EXPECT_TRUE(SendReset(printer));
    EXPECT_EQ(fake.writes, (std::vector<std::pair<int, std::string>>{{20861, "1"}, {20861, "3"}, {20861, "2"},
                                                                      {20841, "1"}}));
    fake.silent = true;
    EXPECT_FALSE(SendKey(printer, Key::kFeed));
}

TEST(DeviceSetting, SerialNumberCharacters)
{
    EXPECT_TRUE(SerialCharacterAllowed(' '));
    EXPECT_TRUE(SerialCharacterAllowed('A'));
    EXPECT_TRUE(SerialCharacterAllowed('~'));
    EXPECT_TRUE(SerialCharacterAllowed(0xE9)); // beyond ASCII
    EXPECT_FALSE(SerialCharacterAllowed('\t'));
    EXPECT_FALSE(SerialCharacterAllowed('\n'));
    EXPECT_FALSE(SerialCharacterAllowed(0x7F));
    EXPECT_TRUE(SerialTextAllowed("QS 4711-A"));
    EXPECT_FALSE(SerialTextAllowed("QS\t4711"));
    EXPECT_EQ(kSettingFields[2].maxChars, 16);
    EXPECT_EQ(kSettingFields[3].maxChars, 64);
}

TEST(DeviceSetting, OnlyChangedFieldsAreWritten)
{
    FakePrinter fake;
    fake.MakeMaker("M-UH5W");
    fake.SetText(181, "ops");
    fake.SetText(20801, "J. Baker");
    fake.SetText(20821, "dock 1");
    fake.SetInt(20841, 0);
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    printer.ReadBasicObjects();
    const SettingValues opening = SettingValuesOf(printer.State());
    EXPECT_EQ(opening, (SettingValues{"Dock printer", "Hall 3", "QS4711", "J. Baker", "ops", "dock 1"}));
    EXPECT_FALSE(WriteChangedSettings(printer, opening, opening).changed);
    EXPECT_TRUE(fake.writes.empty());
    SettingValues now = opening;
    now[1] = "Hall 4";
    const SettingUpdate u = WriteChangedSettings(printer, opening, now);
    EXPECT_TRUE(u.changed);
    EXPECT_TRUE(u.ok);
    EXPECT_EQ(fake.writes, (std::vector<std::pair<int, std::string>>{{221, "Hall 4"}, {20841, "3"}}));
    // A refused write ends the update: nothing after it is written.
    fake.writes.clear();
    now[0] = "Renamed";
    fake.scalars.erase(201);
    const SettingUpdate failed = WriteChangedSettings(printer, opening, now);
    EXPECT_FALSE(failed.ok);
    EXPECT_TRUE(fake.writes.empty());
}

TEST(DeviceSetting, OtherPrintersWriteNoMakerFields)
{
    FakePrinter fake;
    fake.Set(1361, 6, "1.3.6.1.4.1.683.6.0");
    fake.SetText(201, "label-1");
    fake.SetText(221, "Booth 7");
    fake.SetText(20781, "never shown");
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    printer.ReadBasicObjects();
    const SettingValues opening = SettingValuesOf(printer.State());
    EXPECT_EQ(opening[2], "");
    SettingValues now = opening;
    now[1] = "Booth 8";
    now[2] = "QS1"; // a maker field: not written for this printer
    const SettingUpdate u = WriteChangedSettings(printer, opening, now);
    EXPECT_TRUE(u.ok);
    EXPECT_EQ(fake.writes, (std::vector<std::pair<int, std::string>>{{221, "Booth 8"}}));
}

} // namespace
