// The fleet's state for the tray: each printer's state from its status as
// the list window shows it, the worst of them, what polling and traps add
// beside the records, and the tooltip's counts. Plus the first run's message
// when the data folder is missing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "TestPeers.h"
#include "nlist/Nlist.h"
#include "nwatch/FleetState.h"
#include "nwatch/MonitorState.h"
#include "qavres/Resources.h"

namespace {

using namespace nwatch;

FleetRecord Maker(uint32_t address, int code, int head = 0)
{
    FleetRecord r;
    r.address = address;
    r.isBCP = 1;
    r.printerStatus = 3;
    r.errorCode = code;
    r.headStatus = head;
    r.stamp = std::to_string(code) + "/" + std::to_string(head);
    return r;
}

FleetRecord Standard(uint32_t address, int printerStatus, int errorBits)
{
    FleetRecord r;
    r.address = address;
    r.isBCP = 0;
    r.printerStatus = printerStatus;
    r.errorCode = errorBits;
    r.stamp = std::to_string(printerStatus) + "/" + std::to_string(errorBits);
    return r;
}

// One row per case: the maker's status codes of the status table and the
// standard printers' states, and the state each stands for.
struct Case {
    const char* what;
    FleetRecord record;
    Health health;
};

TEST(FleetState, EachPrinterStateFromItsStatus)
{
    const Case cases[] = {
        {"online", Maker(1, 0), Health::kWell},
        {"printing", Maker(1, 2), Health::kWell},
        {"online, ribbon near end", Maker(1, 27), Health::kWell},
        {"initialising", Maker(1, 40), Health::kWell},
        {"download mode", Maker(1, 41), Health::kWell},
        {"energy saving", Maker(1, 76), Health::kWell},
        {"service mode", Maker(1, 99), Health::kWell},
        {"head open", Maker(1, 1), Health::kWarning},
        {"pause", Maker(1, 4), Health::kWarning},
        {"paper end", Maker(1, 13), Health::kWarning},
        {"ribbon end", Maker(1, 14), Health::kWarning},
        {"cover open", Maker(1, 24), Health::kWarning},
        {"receive buffer full", Maker(1, 55), Health::kWarning},
        {"paper not detected", Maker(1, 23), Health::kWarning},
        {"command error", Maker(1, 6), Health::kError},
        {"paper jam", Maker(1, 11), Health::kError},
        {"cutter error", Maker(1, 12), Health::kError},
        {"head disconnected", Maker(1, 17), Health::kError},
        {"ribbon error", Maker(1, 21), Health::kError},
        {"memory error", Maker(1, 51), Health::kError},
        {"RFID write error", Maker(1, 61), Health::kError},
        {"an unknown code: printer error (250)", Maker(1, 250), Health::kError},
        {"no response", Maker(1, 512), Health::kNotAnswering},
        {"online with a head problem [H]", Maker(1, 0, 1), Health::kWarning},
        {"paper jam with a head problem [H]", Maker(1, 11, 1), Health::kError},
        {"standard idle", Standard(2, 3, 0), Health::kWell},
        {"standard printing", Standard(2, 4, 0), Health::kWell},
        {"standard other", Standard(2, 1, 0), Health::kError},
        {"standard no paper", Standard(2, 3, 0x40), Health::kWarning},
        {"standard no toner", Standard(2, 3, 0x10), Health::kWarning},
        {"standard door open", Standard(2, 3, 0x08), Health::kWarning},
        {"standard jammed", Standard(2, 3, 0x04), Health::kError},
        {"standard offline, but answering", Standard(2, 3, 0x02), Health::kWarning},
        {"standard not answering", Standard(2, 6, 512), Health::kNotAnswering},
    };
    for (const Case& c : cases) EXPECT_EQ(HealthOfRecord(c.record), c.health) << c.what;
}

TEST(FleetState, WorstStateAndNotKnownPrinters)
{
    FleetState fleet;
    EXPECT_EQ(fleet.Count({}).Worst(), Health::kNotKnown) << "an empty list";

    FleetRecord fresh = Maker(9, 0);
    fresh.known = false; // from the group file, not heard of since
    FleetCounts c = fleet.Count({fresh});
    EXPECT_EQ(c.Worst(), Health::kNotKnown);
    EXPECT_EQ(c.Of(Health::kNotKnown), 1);

    // Printers not known yet decide nothing once one printer is known.
    c = fleet.Count({fresh, Maker(1, 0)});
    EXPECT_EQ(c.Worst(), Health::kWell);
    c = fleet.Count({fresh, Maker(1, 0), Maker(2, 4)});
    EXPECT_EQ(c.Worst(), Health::kWarning);
    c = fleet.Count({fresh, Maker(1, 0), Maker(2, 4), Maker(3, 11)});
    EXPECT_EQ(c.Worst(), Health::kError);
    c = fleet.Count({fresh, Maker(1, 0), Maker(2, 4), Maker(3, 11), Maker(4, 512)});
    EXPECT_EQ(c.Worst(), Health::kNotAnswering);
    EXPECT_EQ(c.printers, 5);
    EXPECT_EQ(c.Of(Health::kWell), 1);
    EXPECT_EQ(c.Of(Health::kWarning), 1);
    EXPECT_EQ(c.Of(Health::kError), 1);
    EXPECT_EQ(c.Of(Health::kNotAnswering), 1);
    EXPECT_EQ(c.Of(Health::kNotKnown), 1);
}

// Polling that gets no answer keeps the record as it was: the printer counts
// as not answering until its record is stored again or it answers.
TEST(FleetState, SilencePollingSawLastsUntilTheRecordSpeaksAgain)
{
    FleetState fleet;
    const FleetRecord online = Maker(1, 0);
    fleet.NotAnswering(online);
    EXPECT_EQ(fleet.Count({online}).Worst(), Health::kNotAnswering);
    EXPECT_EQ(fleet.Count({online}).Worst(), Health::kNotAnswering) << "it lasts";
    fleet.Answered(1);
    EXPECT_EQ(fleet.Count({online}).Worst(), Health::kWell);

    // A record stored meanwhile with other values (the list window's
    // refresh, the mail step) is newer than what polling saw.
    fleet.NotAnswering(online);
    EXPECT_EQ(fleet.Count({Maker(1, 4)}).Worst(), Health::kWarning);
    EXPECT_EQ(fleet.Count({online}).Worst(), Health::kWell) << "forgotten once the record changed";

    // A printer that left the list takes what was learnt of it along.
    fleet.NotAnswering(Maker(7, 0));
    fleet.Count({online});
    EXPECT_EQ(fleet.Count({Maker(7, 0)}).Worst(), Health::kWell);
}

// A maker's trap reports the printer's new status code, until the record
// says otherwise.
TEST(FleetState, TrapsReportTheNewStatus)
{
    FleetState fleet;
    const FleetRecord online = Maker(1, 0);
    fleet.TrapStatus(online, 11); // paper jam
    FleetCounts c = fleet.Count({online, Maker(2, 0)});
    EXPECT_EQ(c.Worst(), Health::kError);
    EXPECT_EQ(c.Of(Health::kError), 1);
    fleet.TrapStatus(online, 0); // online again
    EXPECT_EQ(fleet.Count({online}).Worst(), Health::kWell);
    fleet.TrapStatus(online, 13); // paper end
    EXPECT_EQ(fleet.Count({online}).Worst(), Health::kWarning);
    fleet.Answered(1); // polling read it: the record holds the truth
    EXPECT_EQ(fleet.Count({online}).Worst(), Health::kWell);

    // A printer not known yet is known by its trap.
    FleetRecord fresh = Maker(3, 0);
    fresh.known = false;
    fleet.TrapStatus(fresh, 12);
    EXPECT_EQ(fleet.Count({fresh}).Worst(), Health::kError);
}

TEST(FleetState, ForgetBeforeKeepsLaterObservations)
{
    FleetState fleet;
    fleet.NotAnswering(Maker(1, 0));
    const unsigned long mark = fleet.Serial() + 1;
    fleet.TrapStatus(Maker(2, 0), 11);
    fleet.ForgetBefore(mark);
    const FleetCounts c = fleet.Count({Maker(1, 0), Maker(2, 0)});
    EXPECT_EQ(c.Of(Health::kNotAnswering), 0);
    EXPECT_EQ(c.Of(Health::kError), 1);
}

class FleetTexts : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(language.Load(qavres::kLanguage)); }
    qavres::StringTable language;
};

TEST_F(FleetTexts, ToolTipCountsWorstFirst)
{
    FleetState fleet;
    FleetRecord fresh = Maker(9, 0);
    fresh.known = false;
    const FleetCounts c = fleet.Count({Maker(1, 0), Maker(2, 0), Maker(3, 11), Maker(4, 512), fresh});
    EXPECT_EQ(FleetToolTip(c, language), "QAV Network Monitor\n"
                                         "A printer does not answer.\n"
                                         "Printers: 5\n"
                                         "Not answering: 1\n"
                                         "Errors: 1\n"
                                         "Well: 2\n"
                                         "Not known yet: 1");
    EXPECT_EQ(FleetSummary(c), "not answering: 5 printers (well 2, error 1, not answering 1, not known yet 1)");
    EXPECT_EQ(FleetToolTip(fleet.Count({Maker(1, 0)}), language),
              "QAV Network Monitor\nAll printers are well.\nPrinters: 1\nWell: 1");
    EXPECT_EQ(FleetToolTip(fleet.Count({}), language),
              "QAV Network Monitor\nNo printer state is known yet.\nPrinters: 0");
}

// The records of the process's device list: a printer loaded from the group
// file is not known until a record of it is stored.
TEST(FleetDeviceList, LoadedPrintersAreNotKnownUntilStored)
{
    qavtest::TempDir dir;
    const std::string file = dir.File("QAVGroupConfig.qdl");
    qavtest::WriteFile(file, "[Groups]\ncount=2\n[Group.0]\nname=All printers\nprinters=2\nprtindex.0=127.0.0.9\n"
                             "prtindex.1=127.0.0.10\n[Group.1]\nname=QAV printers\nprinters=0\n"
                             "[Printers]\ncount=2\n[Printer.0]\nip=127.0.0.9\nname=Dock\nIsBCP=1\n"
                             "[Printer.1]\nip=127.0.0.10\nname=Gate\nIsBCP=1\n");
    ASSERT_EQ(PopulateVectors(file), 1);
    FleetState fleet;
    std::vector<FleetRecord> records = DeviceListRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_FALSE(records[0].known);
    EXPECT_EQ(fleet.Count(records).Worst(), Health::kNotKnown);

    ListData jammed;
    GetItemFromListData(&jammed, 1);
    jammed.isBCP = 1;
    jammed.kind = 1;
    jammed.errorCode = 11;
    ASSERT_EQ(SetListData(1, jammed), 1);
    records = DeviceListRecords();
    EXPECT_FALSE(records[0].known);
    EXPECT_TRUE(records[1].known);
    const FleetCounts c = fleet.Count(records);
    EXPECT_EQ(c.Worst(), Health::kError);
    EXPECT_EQ(c.Of(Health::kNotKnown), 1);
    EXPECT_EQ(DeviceListRecord(0x7F00000A).stamp, records[1].stamp);
    EXPECT_FALSE(DeviceListRecord(0x7F0000FE).known); // not listed
    ClearListData();
    ClearGroupData();
}

// ------------------------------------------------------------ first run

TEST(FirstRun, TheMissingFolderAndTheStepThatMakesIt)
{
    qavtest::TempDir dir;
    EXPECT_TRUE(DataFolderMissing(dir.File("none")));
    EXPECT_FALSE(DataFolderMissing(dir.Path()));
    qavtest::WriteFile(dir.File("file"), "x");
    EXPECT_TRUE(DataFolderMissing(dir.File("file"))) << "a file is no folder";

    // Without the step beside the program: its bare name.
    EXPECT_EQ(DataFolderCommand(dir.Path()), "qav-install-data");
    const std::string step = dir.File("qav-install-data");
    qavtest::WriteFile(step, "#!/bin/sh\n");
    ::chmod(step.c_str(), 0755);
    EXPECT_EQ(DataFolderCommand(dir.Path()), step);
    EXPECT_EQ(DataFolderCommand(dir.Path(), "/srv/qav data"), "QAV_DATA_DIR='/srv/qav data' " + step);

    // A program folder with blanks and quotes is quoted for the shell.
    const std::string odd = dir.File("it's here");
    std::filesystem::create_directory(odd);
    qavtest::WriteFile(odd + "/qav-install-data", "#!/bin/sh\n");
    ::chmod((odd + "/qav-install-data").c_str(), 0755);
    EXPECT_EQ(DataFolderCommand(odd), "'" + dir.Path() + "/it'\\''s here/qav-install-data'");

    EXPECT_EQ(DataFolderMessage("Folder %s missing; run %s.", "/a b", "qav-install-data"),
              "Folder /a b missing; run qav-install-data.");
    qavres::StringTable language;
    ASSERT_TRUE(language.Load(qavres::kLanguage));
    const std::string text = DataFolderMessage(language.Get(1032), "/home/u/.local/share/VORANTA QAV/QAVNetworkTool",
                                               "/usr/local/lib/qav/bin/qav-install-data");
    EXPECT_NE(text.find("/home/u/.local/share/VORANTA QAV/QAVNetworkTool"), std::string::npos) << text;
    EXPECT_NE(text.find("/usr/local/lib/qav/bin/qav-install-data"), std::string::npos) << text;
    EXPECT_EQ(text.find("%s"), std::string::npos) << text;
}

} // namespace
