// The status monitor's reads and rules against a fake printer: what is read
// for which kind of printer and in which pieces, the device status page
// built from it, the timer and the disconnection check, the command line.
#include <gtest/gtest.h>

#include "FakePrinter.h"
#include "TestPeers.h"
#include "nstat/Polling.h"
#include "nstat/Printer.h"
#include "nstat/Program.h"
#include "ShippedTexts.h"
#include "qavres/Resources.h"

namespace {

using namespace nstat;
using nstattest::FakePrinter;

const qavres::StringTable& Texts() { return nstattest::ShippedTexts(); }

constexpr uint32_t kAddress = nstattest::kTestAddress;

void MakeMaker(FakePrinter& p, const std::string& model) { p.MakeMaker(model); }

void MakeStandard(FakePrinter& p)
{
    p.Set(1361, 6, "1.3.6.1.4.1.683.6.0");
    p.SetText(161, "ZebraNet Wired PS");
    p.SetText(201, "label-1");
    p.SetInt(121, 3);
    p.SetText(141, "\x84");
    p.SetText(441, "00 07 4D 6B C2 A8");
}

TEST(PrinterReads, BasicObjectsAreTenOrThirteenInOrder)
{
    FakePrinter fake;
    MakeStandard(fake);
    Printer printer(fake, Texts(), kAddress);
    ASSERT_TRUE(printer.ReadMakerFlag());
    EXPECT_FALSE(printer.State().maker);
    ASSERT_TRUE(printer.ReadBasicObjects());
    EXPECT_EQ(fake.reads.back(), (std::vector<int>{1361, 181, 201, 161, 81, 221, 121, 141, 1301, 441}));

    FakePrinter maker;
    MakeMaker(maker, "M-UH5W");
    Printer mp(maker, Texts(), kAddress);
    ASSERT_TRUE(mp.ReadMakerFlag());
    EXPECT_TRUE(mp.State().maker);
    ASSERT_TRUE(mp.ReadBasicObjects());
    EXPECT_EQ(maker.reads.back(),
              (std::vector<int>{1361, 181, 201, 161, 81, 221, 20821, 20801, 20781, 20061, 441, 22761, 20041}));
    EXPECT_EQ(mp.State().Value(20781), "QS4711");
}

TEST(PrinterReads, MakerFlagKeepsItsValueWhenTheReadFails)
{
    FakePrinter fake;
    MakeMaker(fake, "M-UH5W");
    Printer printer(fake, Texts(), kAddress);
    ASSERT_TRUE(printer.ReadMakerFlag());
    ASSERT_TRUE(printer.ReadBasicObjects());
    EXPECT_EQ(printer.WindowTitle(), "Dock printer ( VORANTA QAV M-UH5W )");
    fake.silent = true;
    EXPECT_FALSE(printer.ReadMakerFlag());
    EXPECT_TRUE(printer.State().maker);
    EXPECT_FALSE(printer.State().connected);
    // A refresh whose maker check fails forgets name and model.
    printer.RecheckMaker();
    EXPECT_EQ(printer.WindowTitle(), Texts().Get(5000));
    // A sysObjectID that only starts like the maker's prefix's digits is no maker.
    fake.silent = false;
    fake.Set(1361, 6, "1.3.6.1.4.1.3247");
    ASSERT_TRUE(printer.ReadMakerFlag());
    EXPECT_FALSE(printer.State().maker);
}

TEST(DevicePage, MakerPrinterInPaperJam)
{
    FakePrinter fake;
    MakeMaker(fake, "M-UH5W");
    fake.SetInt(20901, 11);
    fake.SetInt(20941, 1);
    fake.SetText(20921, "PAPER JAM");
    fake.SetText(20041, "JA");
    fake.SetInt(21421, 1234);
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    const DevicePage page = printer.ReadDevicePage(0);
    EXPECT_EQ(page.identity.name, "Dock printer");
    EXPECT_EQ(page.identity.model, "VORANTA QAV M-UH5W");
    EXPECT_EQ(page.identity.location, "Hall 3");
    EXPECT_EQ(page.identity.port, "10.1.2.3");
    EXPECT_EQ(page.identity.status, Texts().Get(3007));
    EXPECT_EQ(page.identity.serial, "QS4711");
    EXPECT_EQ(page.identity.mac, "00:80:91:12:34:56");
    EXPECT_EQ(page.status.symbol, 202);
    EXPECT_EQ(page.status.indicators, (std::vector<int>{193}));
    EXPECT_EQ(page.picture, 213);
    EXPECT_EQ(page.panel, "PAPER JAM");
    ASSERT_EQ(page.view.index, 0);
    EXPECT_EQ(page.view.rows.at(0).at(1), "123.4 km");
    // The status objects of the maker's printers: code, panel, head flag.
    bool statusRead = false;
    for (const auto& r : fake.reads) statusRead |= r == std::vector<int>{20901, 20921, 20941};
    EXPECT_TRUE(statusRead);
}

TEST(DevicePage, Ra1ReadsNoHeadFlagAndItsPictureNeedsTheModelName)
{
    FakePrinter fake;
    MakeMaker(fake, "M-RA1");
    fake.SetInt(20941, 1);
    fake.SetText(20101, "M-RA1K-P");
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    const DevicePage page = printer.ReadDevicePage(-1);
    EXPECT_TRUE(page.status.indicators.empty());
    EXPECT_EQ(page.picture, 221);
    bool statusRead = false;
    for (const auto& r : fake.reads) statusRead |= r == std::vector<int>{20901, 20921};
    EXPECT_TRUE(statusRead);
    EXPECT_EQ(page.view.index, -1);
    EXPECT_TRUE(page.view.rows.empty());
}

TEST(DevicePage, StandardPrinterPanelAndErrorBits)
{
    FakePrinter fake;
    MakeStandard(fake);
    fake.columns[1281] = {{4, "READY"}, {4, std::string(40, 'x')}};
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    const DevicePage page = printer.ReadDevicePage(3);
    EXPECT_EQ(page.status.symbol, 189); // 0x84: jammed, low paper
    EXPECT_EQ(page.status.indicators, (std::vector<int>{198}));
    EXPECT_EQ(page.identity.status, Texts().Get(3113));
    EXPECT_EQ(page.identity.serial, "");
    EXPECT_EQ(page.identity.mac, "00:07:4D:6B:C2:A8");
    EXPECT_EQ(page.picture, 170);
    EXPECT_EQ(page.panel, "READY\r\n" + std::string(32, 'x'));
    EXPECT_EQ(page.views.size(), 6u);
    EXPECT_EQ(page.view.kind, ViewKind::kCounters);
}

TEST(DevicePage, SilentPrinterShowsNoAnswerNoPictureNoPanel)
{
    FakePrinter fake;
    MakeMaker(fake, "M-UH5W");
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    fake.silent = true;
    const DevicePage page = printer.ReadDevicePage(0);
    EXPECT_FALSE(printer.State().connected);
    EXPECT_EQ(page.status.symbol, 184);
    EXPECT_EQ(page.status.textId, 3150);
    EXPECT_EQ(page.picture, 0);
    EXPECT_EQ(page.panel, "");
    EXPECT_EQ(page.identity.name, "");
    EXPECT_EQ(page.identity.mac, "");
}

TEST(Views, InformationIsReadInRequestsOfAtMostTwenty)
{
    FakePrinter fake;
    MakeMaker(fake, "M-UH5W");
    for (int o : InformationObjects()) fake.SetText(o, "x" + std::to_string(o));
    fake.SetInt(20081, 4096);
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    fake.reads.clear();
    const ViewContent v = printer.ReadView(2);
    ASSERT_EQ(fake.reads.size(), 2u);
    EXPECT_EQ(fake.reads[0].size(), 20u);
    EXPECT_EQ(fake.reads[1], (std::vector<int>{23861}));
    EXPECT_EQ(v.kind, ViewKind::kMakerInformation);
    EXPECT_EQ(v.rows.back(), (std::vector<std::string>{Texts().Get(5204), "4096 KB"}));
}

TEST(Views, StandardTablesAreWalkedByTheirColumns)
{
    FakePrinter fake;
    MakeStandard(fake);
    fake.columns[1001] = {{4, "Black toner"}, {4, "Drum"}};
    fake.columns[981] = {{2, "100"}, {2, "200"}};
    fake.columns[941] = {{2, "0"}, {2, "-3"}};
    Printer printer(fake, Texts(), kAddress);
    printer.ReadMakerFlag();
    fake.walks.clear();
    const ViewContent v = printer.ReadView(0);
    EXPECT_EQ(fake.walks, (std::vector<std::vector<int>>{{1001, 981, 941}}));
    ASSERT_EQ(v.rows.size(), 2u);
    EXPECT_EQ(v.rows[0], (std::vector<std::string>{"Black toner", "100", Texts().Get(5250)}));
    EXPECT_EQ(v.rows[1], (std::vector<std::string>{"Drum", "200", Texts().Get(5251)}));
}

// ------------------------------------------------------------ the timer

TEST(PollingClock, PollingOffRunsNoTimer)
{
    PollingClock clock;
    clock.Apply({false, 120});
    EXPECT_EQ(clock.IntervalMs(), 0);
    EXPECT_EQ(clock.ShownPeriod(), 0);
    clock.Apply({true, 0}); // on, but a period of 0
    EXPECT_EQ(clock.IntervalMs(), 0);
    EXPECT_EQ(clock.ShownPeriod(), 0);
    clock.Apply({true, 30});
    EXPECT_EQ(clock.IntervalMs(), 30000);
    EXPECT_EQ(clock.ShownPeriod(), 30);
}

TEST(PollingClock, TickRefreshesOrWaitsForTheKey)
{
    PollingClock clock;
    clock.Apply({true, 30});
    EXPECT_EQ(clock.Tick(), PollingClock::Action::kRefresh);
    EXPECT_EQ(clock.IntervalMs(), 0); // no tick while the refresh runs
    clock.RefreshDone();
    EXPECT_EQ(clock.IntervalMs(), 30000);
    clock.SetKeyBusy(true);
    EXPECT_EQ(clock.Tick(), PollingClock::Action::kNone);
    EXPECT_EQ(clock.IntervalMs(), 1000);
    clock.SetKeyBusy(false);
    EXPECT_EQ(clock.Tick(), PollingClock::Action::kRefresh);
}

TEST(PollingClock, DisconnectionCheckCollectsAfterFiveSeconds)
{
    PollingClock clock;
    clock.Apply({true, 60});
    clock.BeginCheck();
    EXPECT_EQ(clock.IntervalMs(), 0);
    clock.CheckSent();
    EXPECT_EQ(clock.IntervalMs(), 5000);
    clock.RefreshDone(); // a manual refresh meanwhile changes nothing
    EXPECT_EQ(clock.IntervalMs(), 5000);
    EXPECT_EQ(clock.Tick(), PollingClock::Action::kCollectCheck);
    EXPECT_EQ(clock.IntervalMs(), 0);
    clock.CheckCollected();
    EXPECT_FALSE(clock.CheckPending());
    EXPECT_EQ(clock.IntervalMs(), 60000);
    // With polling off the timer stays off after a check.
    clock.Apply({false, 60});
    clock.BeginCheck();
    clock.CheckSent();
    EXPECT_EQ(clock.Tick(), PollingClock::Action::kCollectCheck);
    clock.CheckCollected();
    EXPECT_EQ(clock.IntervalMs(), 0);
}

TEST(PollingSettingsFile, PollingAndDetailedDuration)
{
    qavtest::TempDir dir;
    const std::string file = dir.File("QAVSurveyConfig.INI");
    EXPECT_FALSE(ReadPollingSettings(120, file).on); // no file: polling off
    qavtest::WriteFile(file, "[Polling]\nPolling=1\nDetailedDuration=40\n");
    PollingSettings s = ReadPollingSettings(120, file);
    EXPECT_TRUE(s.on);
    EXPECT_EQ(s.period, 40);
    qavtest::WriteFile(file, "[Polling]\nPolling=1\n");
    EXPECT_EQ(ReadPollingSettings(75, file).period, 75); // the current period
    qavtest::WriteFile(file, "[Polling]\nPolling=1\nDetailedDuration=0\n");
    EXPECT_EQ(ReadPollingSettings(75, file).period, 0);
}

TEST(DisconnectionCheck, OnlyWhileOnlineThenWritesTheCheck)
{
    FakePrinter fake;
    MakeMaker(fake, "M-UH5W");
    fake.SetInt(20881, 0);
    Printer printer(fake, Texts(), kAddress);
    fake.SetInt(20901, 4); // pause
    EXPECT_EQ(StartDisconnectionCheck(printer), CheckStart::kRefused);
    EXPECT_TRUE(fake.writes.empty());
    fake.SetInt(20901, 27);
    EXPECT_EQ(StartDisconnectionCheck(printer), CheckStart::kSent);
    ASSERT_EQ(fake.writes.size(), 1u);
    EXPECT_EQ(fake.writes[0], (std::pair<int, std::string>{20881, "1"}));
    fake.refuseWrites = true;
    fake.SetInt(20901, 0);
    EXPECT_EQ(StartDisconnectionCheck(printer), CheckStart::kWriteFailed);
}

TEST(DisconnectionCheck, ResultIsAValueOtherThanMinusOne)
{
    FakePrinter fake;
    Printer printer(fake, Texts(), kAddress);
    std::vector<int> slept;
    auto sleep = [&](int ms) { slept.push_back(ms); };
    fake.SetInt(20941, -1);
    EXPECT_FALSE(CollectDisconnectionCheck(printer, sleep));
    EXPECT_EQ(slept, (std::vector<int>{1000}));
    EXPECT_EQ(fake.reads.size(), 2u);
    fake.SetInt(20941, 0);
    slept.clear();
    EXPECT_TRUE(CollectDisconnectionCheck(printer, sleep));
    EXPECT_TRUE(slept.empty());
    fake.silent = true;
    fake.reads.clear();
    EXPECT_FALSE(CollectDisconnectionCheck(printer, sleep));
    EXPECT_EQ(fake.reads.size(), 1u); // a failed read ends the attempts
}

// ---------------------------------------------------------- the program

TEST(Program, CommandLineNeedsAddressAndMode)
{
    CommandLine c;
    EXPECT_FALSE(ParseCommandLine({"10.0.0.1"}, c));
    EXPECT_FALSE(ParseCommandLine({}, c));
    EXPECT_FALSE(ParseCommandLine({"10.0.0", "1"}, c));
    EXPECT_FALSE(ParseCommandLine({"300.0.0.1", "1"}, c));
    EXPECT_FALSE(ParseCommandLine({"10.0.0.1", "x"}, c));
    ASSERT_TRUE(ParseCommandLine({"10.1.2.3", "0"}, c));
    EXPECT_EQ(c.address, kAddress);
    EXPECT_FALSE(c.administrator);
    ASSERT_TRUE(ParseCommandLine({"10.1.2.3", "2"}, c));
    EXPECT_TRUE(c.administrator);
}

TEST(Program, OneLockPerPrinter)
{
    const uint32_t a = (192u << 24) | (168u << 16) | (10u << 8) | 5u;
    EXPECT_EQ(InstanceLockName(a), "Surveillance_Monitor_Event192_168_010_005");
    EXPECT_EQ(SettingToolArguments(a, "QAV M-UH5W"),
              (std::vector<std::string>{"3", "SNMP", "192.168.10.5", "QAV M-UH5W"}));
    EXPECT_EQ(SettingToolArguments(a, ""), (std::vector<std::string>{"3", "SNMP", "192.168.10.5"}));
}

TEST(Program, CommandStatesByPrinter)
{
    CommandStates s = CommandStatesFor(false, true, "Office laser");
    EXPECT_FALSE(s.remoteKey);
    EXPECT_FALSE(s.disconnectionCheck);
    EXPECT_FALSE(s.settingTool);
    EXPECT_TRUE(s.deviceSetting);
    s = CommandStatesFor(true, false, "VORANTA QAV M-UH5W");
    EXPECT_TRUE(s.remoteKey);
    EXPECT_TRUE(s.disconnectionCheck);
    EXPECT_FALSE(s.settingTool);
    EXPECT_FALSE(s.deviceSetting);
    EXPECT_FALSE(CommandStatesFor(true, true, "VORANTA QAV M-PN1").disconnectionCheck);
    EXPECT_FALSE(CommandStatesFor(true, true, "VORANTA QAV M-RA1").disconnectionCheck);
    EXPECT_TRUE(CommandStatesFor(true, true, "VORANTA QAV M-RA1").settingTool);
}

} // namespace
