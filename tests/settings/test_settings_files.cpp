// The typed readers and writers of the settings files: the data folder, each
// reader's own defaults, the ten-second units and the group writer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TestPeers.h"
#include "qavsettings/Profile.h"
#include "qavsettings/SettingsFiles.h"

using namespace qavsettings;

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv()
    {
        if (had_) {
            ::setenv(name_, old_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

TEST(DataFolderTest, EnvironmentThenXdgThenHome)
{
    {
        ScopedEnv d("QAV_DATA_DIR", "/srv/qav/data/");
        EXPECT_EQ(DataDir(), "/srv/qav/data");
        EXPECT_EQ(DataFilePath(kGroupFile), "/srv/qav/data/QAVGroupConfig.qdl");
    }
    ScopedEnv d("QAV_DATA_DIR", "");
    {
        ScopedEnv x("XDG_DATA_HOME", "/x/share");
        EXPECT_EQ(DataDir(), "/x/share/VORANTA QAV/QAVNetworkTool");
    }
    ScopedEnv x("XDG_DATA_HOME", "relative/ignored");
    ScopedEnv h("HOME", "/home/op");
    EXPECT_EQ(DataDir(), "/home/op/.local/share/VORANTA QAV/QAVNetworkTool");
}

TEST(Rot13Test, LettersTurnDigitsAndPunctuationStay)
{
    EXPECT_EQ(Rot13("Secret-123!zZ"), "Frperg-123!mM");
    EXPECT_EQ(Rot13(Rot13("any Text, 42 \xe9")), "any Text, 42 \xe9");
}

TEST(MgmtConfigTest, DefaultsDependOnTheReader)
{
    qavtest::TempDir dir;
    const std::string path = dir.File(kMgmtConfigFile);
    MgmtConfig previous;
    previous.useSystemDefault = 7;
    MgmtConfig m = ReadMgmtConfig(Reader::kMonitor, previous, path);
    EXPECT_EQ(m.showList, -1);
    EXPECT_EQ(m.askPassword, 0);
    EXPECT_EQ(m.useSystemDefault, 7) << "the monitor keeps its previous value";
    EXPECT_EQ(m.readCommunity, "");
    EXPECT_EQ(m.language, "");
    MgmtConfig s = ReadMgmtConfig(Reader::kSystemTool, {}, path);
    EXPECT_EQ(s.readCommunity, "kestra");
    EXPECT_EQ(s.writeCommunity, "kestra");
    EXPECT_EQ(s.language, "eng");
    EXPECT_EQ(ReadMgmtConfig(Reader::kDownloadTool, {}, path).language, "ENG");

    qavtest::WriteFile(path, "[Resource]\nLanguage=JPNextended\n[Community]\nReadCommunityName=" +
                                 std::string(100, 'r') + "\n[Password]\nPassword=frperg-42\n");
    EXPECT_EQ(ReadMgmtConfig(Reader::kMonitor, {}, path).language, "JPNextended");
    EXPECT_EQ(ReadMgmtConfig(Reader::kSystemTool, {}, path).language, "JPN");
    EXPECT_EQ(ReadMgmtConfig(Reader::kSystemTool, {}, path).readCommunity, std::string(79, 'r'));
    EXPECT_EQ(ReadMgmtConfig(Reader::kDeviceList, {}, path).readCommunity, std::string(100, 'r'));
    EXPECT_EQ(ReadMgmtConfig(Reader::kMonitor, {}, path).password, "secret-42");
}

TEST(MgmtConfigTest, WriteScramblesThePasswordAndKeepsLanguage)
{
    qavtest::TempDir dir;
    const std::string path = dir.File(kMgmtConfigFile);
    qavtest::WriteFile(path, "[Resource]\nLanguage=ENG\n");
    MgmtConfig c;
    c.startAtBoot = "1";
    c.showList = 1;
    c.askPassword = 1;
    c.password = "Admin#1";
    c.readCommunity = "public";
    c.writeCommunity = "private";
    ASSERT_TRUE(WriteMgmtConfig(c, path));
    EXPECT_EQ(ReadProfileString("Password", "Password", "", 260, path), "Nqzva#1");
    const MgmtConfig back = ReadMgmtConfig(Reader::kMonitor, {}, path);
    EXPECT_EQ(back.password, "Admin#1");
    EXPECT_EQ(back.showList, 1);
    EXPECT_EQ(back.language, "ENG");
    EXPECT_EQ(back.writeCommunity, "private");
}

TEST(SurveyConfigTest, DefaultsAndPreviousValues)
{
    qavtest::TempDir dir;
    const std::string path = dir.File(kSurveyConfigFile);
    qavtest::WriteFile(path, "[Polling]\nPolling=1\n[User]\nSendmail=1\nPaper=0\n[Administrator]\nSendmail=0\n"
                             "[Mail]\nSourceAuth=\nSourcePasswd=frperg\n");
    SurveyConfig previous;
    previous.taskDuration = 60;
    previous.detailedDuration = 120;
    previous.trap = 1;
    const SurveyConfig c = ReadSurveyConfig(Reader::kMonitor, previous, path);
    EXPECT_EQ(c.polling, 1);
    EXPECT_EQ(c.taskDuration, 60);
    EXPECT_EQ(c.detailedDuration, 120);
    EXPECT_EQ(c.trap, 1);
    EXPECT_EQ(c.listDuration, 30) << "a missing ListDuration refreshes every 30 seconds";
    EXPECT_EQ(c.sourceAuth, kAuthAutomatic);
    EXPECT_EQ(c.sourcePasswd, "secret");
    EXPECT_EQ(c.user.conditions[0], 0) << "Paper is set";
    EXPECT_EQ(c.user.conditions[1], 1) << "a missing condition takes Sendmail";
    EXPECT_EQ(c.user.conditions[kConditionCount - 1], 1);
    EXPECT_EQ(c.administrator.conditions[5], 0);

    const std::string empty = dir.File("none.INI");
    SurveyConfig polled;
    polled.polling = 1;
    EXPECT_EQ(ReadSurveyConfig(Reader::kMonitor, polled, empty).polling, 1);
    EXPECT_EQ(ReadSurveyConfig(Reader::kListWindow, polled, empty).polling, 0);
    EXPECT_EQ(ReadSurveyConfig(Reader::kStatusMonitor, polled, empty).polling, 0);
}

TEST(SurveyConfigTest, DurationsInTenSecondUnits)
{
    EXPECT_EQ(DurationFromField("3", true), 30);
    EXPECT_EQ(DurationFromField("720", true), 7200);
    EXPECT_EQ(DurationFromField("", true), 0) << "an empty field stops the refresh";
    EXPECT_EQ(DurationFromField("", false), 0);
    EXPECT_EQ(DurationFromField("45", false), 45);
    EXPECT_EQ(DurationFromField("x5", true), 0);
    EXPECT_EQ(DurationField(35, true), "3");
    EXPECT_EQ(DurationField(35, false), "35");

    qavtest::TempDir dir;
    const std::string path = dir.File(kSurveyConfigFile);
    SurveyConfig c;
    c.polling = 1;
    c.listDuration = DurationFromField("3", true);
    c.detailedDuration = DurationFromField("", true);
    c.sourceAuth = 4;
    c.sourcePasswd = "Pass word9";
    c.user.conditions[3] = 1;
    ASSERT_TRUE(WriteSurveyConfig(c, path));
    EXPECT_EQ(ReadProfileString("Polling", "ListDuration", "", 20, path), "30");
    EXPECT_EQ(ReadProfileString("Polling", "DetailedDuration", "", 20, path), "0");
    EXPECT_EQ(ReadProfileString("Mail", "SourcePasswd", "", 60, path), "Cnff jbeq9");
    const SurveyConfig back = ReadSurveyConfig(Reader::kListWindow, {}, path);
    EXPECT_EQ(back.listDuration, 30);
    EXPECT_EQ(back.sourceAuth, 4);
    EXPECT_EQ(back.user.conditions[3], 1);
    EXPECT_EQ(back.user.conditions[4], 0);
    c.sourceAuth = kAuthAutomatic;
    ASSERT_TRUE(WriteSurveyConfig(c, path));
    EXPECT_TRUE(ProfileDocument().Empty());
    ProfileDocument doc;
    doc.Load(path);
    EXPECT_TRUE(doc.Has("Mail", "SourceAuth"));
    EXPECT_EQ(doc.GetString("Mail", "SourceAuth", "x"), "");
}

// The mail connection's own keys: port, security and authorities, kept as
// stored and written after SourceAuth; absent they mean port 25 in clear.
TEST(SurveyConfigTest, MailConnectionKeys)
{
    qavtest::TempDir dir;
    const std::string path = dir.File(kSurveyConfigFile);
    qavtest::WriteFile(path, "[Mail]\nSourceServer=mail.example.test\nSourceAuth=3\n");
    SurveyConfig c = ReadSurveyConfig(Reader::kMonitor, {}, path);
    EXPECT_EQ(c.sourcePort, "");
    EXPECT_EQ(c.sourceSecurity, "");
    EXPECT_EQ(MailSecurityFromText(c.sourceSecurity), kMailSecurityNone);
    EXPECT_EQ(MailPortFromText(c.sourcePort), 0);

    c.sourcePort = "587";
    c.sourceSecurity = "STARTTLS";
    c.sourceCaFile = "/etc/qav/authorities.pem";
    ASSERT_TRUE(WriteSurveyConfig(c, path));
    const SurveyConfig back = ReadSurveyConfig(Reader::kMonitor, {}, path);
    EXPECT_EQ(back.sourcePort, "587");
    EXPECT_EQ(back.sourceSecurity, "STARTTLS");
    EXPECT_EQ(back.sourceCaFile, "/etc/qav/authorities.pem");
    const SettingsGroup g = SurveySettingsGroup(c);
    std::vector<std::string> mailKeys;
    for (const SettingsEntry& e : g) {
        if (e.section == "Mail") mailKeys.push_back(e.key);
    }
    EXPECT_EQ(mailKeys, (std::vector<std::string>{"SourceName", "SourceServer", "SourceAdd", "SourceUser",
                                                  "SourcePasswd", "SourceAuth", "SourcePort", "SourceSecurity",
                                                  "SourceCAFile"}));
}

TEST(SurveyConfigTest, MailSecurityAndPortTexts)
{
    const std::pair<const char*, int> securities[] = {
        {"", kMailSecurityNone},          {"none", kMailSecurityNone},      {"0", kMailSecurityNone},
        {"STARTTLS", kMailSecurityStartTls}, {"starttls", kMailSecurityStartTls}, {"1", kMailSecurityStartTls},
        {" TLS ", kMailSecurityTls},      {"2", kMailSecurityTls},          {"SSL", kMailSecurityInvalid},
        {"3", kMailSecurityInvalid},      {"yes", kMailSecurityInvalid},    {"-1", kMailSecurityInvalid},
    };
    for (const auto& [text, security] : securities) EXPECT_EQ(MailSecurityFromText(text), security) << text;
    EXPECT_STREQ(MailSecurityText(kMailSecurityNone), "none");
    EXPECT_STREQ(MailSecurityText(kMailSecurityStartTls), "STARTTLS");
    EXPECT_STREQ(MailSecurityText(kMailSecurityTls), "TLS");

    const std::pair<const char*, int> ports[] = {{"", 0},       {"25", 25},   {" 587 ", 587}, {"65535", 65535},
                                                 {"0", -1},     {"65536", -1}, {"25x", -1},   {"-25", -1},
                                                 {"100000", -1}, {"2 5", -1}};
    for (const auto& [text, port] : ports) EXPECT_EQ(MailPortFromText(text), port) << text;
    EXPECT_EQ(StandardMailPort(kMailSecurityNone), 25);
    EXPECT_EQ(StandardMailPort(kMailSecurityStartTls), 25);
    EXPECT_EQ(StandardMailPort(kMailSecurityTls), 465);
}

TEST(SettingsGroupTest, WritesInOrderAndStopsAtTheFirstFailure)
{
    qavtest::TempDir dir;
    const std::string path = dir.File("group.INI");
    const SettingsGroup g = {{"A", "one", "1"}, {"A", "two", "2"}, {"A", "bad=key", "3"}, {"A", "four", "4"}};
    EXPECT_FALSE(WriteSettingsGroup(g, path));
    EXPECT_EQ(qavtest::ReadFile(path), "[A]\none=1\ntwo=2\n") << "keys already written stay written";

    EXPECT_FALSE(WriteSettingsGroup(MgmtSettingsGroup({}), dir.File("nofolder/x.INI")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("nofolder")));

    const SettingsGroup m = MgmtSettingsGroup({});
    ASSERT_EQ(m.size(), 7u);
    EXPECT_EQ(m.front().key, "StartAtBoot");
    EXPECT_EQ(m.back().key, "WriteCommunityName");
}

TEST(SearchConfigTest, DialogDropsEmptyRangesAndRenumbers)
{
    qavtest::TempDir dir;
    const std::string path = dir.File(kSearchConfigFile);
    qavtest::WriteFile(path, "[Ranges]\nCount=3\n[Ranges.1]\nStartIP=10.0.0.1\nEndIP=10.0.0.9\n"
                             "[Ranges.2]\nStartIP=\nEndIP=10.0.1.9\n[Ranges.3]\nStartIP=10.0.2.1\n"
                             "[Ranges.4]\nStartIP=10.9.9.9\n");
    const SearchConfig dialog = ReadSearchConfig(Reader::kSettingsDialog, path);
    ASSERT_EQ(dialog.ranges.size(), 2u);
    EXPECT_EQ(dialog.count, 2);
    EXPECT_EQ(dialog.ranges[1].number, 2);
    EXPECT_EQ(dialog.ranges[1].startIp, "10.0.2.1");
    EXPECT_EQ(dialog.broadcast, 1);
    EXPECT_EQ(dialog.timeoutSeconds, 30);
    ASSERT_TRUE(WriteSearchConfig(dialog, path));
    EXPECT_EQ(ReadProfileInt("Ranges", "Count", -1, path), 2);
    EXPECT_EQ(ReadProfileString("Ranges.2", "StartIP", "", 20, path), "10.0.2.1");

    const SearchConfig search = ReadSearchConfig(Reader::kDeviceList, path);
    EXPECT_EQ(search.broadcast, 1) << "written by the dialog";
    EXPECT_EQ(search.timeoutSeconds, 30);
    EXPECT_EQ(ReadSearchConfig(Reader::kDeviceList, dir.File("none")).broadcast, -1);
    EXPECT_EQ(search.ranges.size(), 2u) << "the stale third section is beyond Count";
}

TEST(SearchConfigTest, HugeCountCostsNothingAndAddressesAreCut)
{
    qavtest::TempDir dir;
    const std::string path = dir.File(kSearchConfigFile);
    qavtest::WriteFile(path, "[Ranges]\nCount=2147483647\n[Ranges.7]\nStartIP=192.168.100.200xx\n");
    const SearchConfig c = ReadSearchConfig(Reader::kDeviceList, path);
    ASSERT_EQ(c.ranges.size(), 1u);
    EXPECT_EQ(c.ranges[0].number, 7);
    EXPECT_EQ(c.ranges[0].startIp, "192.168.100.200") << "room for the longest dotted address";
    EXPECT_EQ(ReadSearchConfig(Reader::kSettingsDialog, path).ranges[0].startIp, "192.168.100.200xx");
    EXPECT_EQ(ReadSearchConfig(Reader::kMonitor, dir.File("none")).searchAtStart, -1);
}

TEST(LogConfigTest, DefaultsCycleTimeAndDay)
{
    qavtest::TempDir dir;
    const LogConfig none = ReadLogConfig(1, dir.File("none.INI"));
    EXPECT_EQ(none.trap.toBeLogged, 1);
    EXPECT_EQ(none.environmental.toBeLogged, -1);
    EXPECT_EQ(none.environmental.maximumSize, -1);
    EXPECT_EQ(none.environmental.day, -1);

    qavres::StringTable lang;
    lang.Set(4145, "Daily");
    lang.Set(4146, "Weekly");
    lang.Set(4147, "Monthly");
    for (int i = 0; i < 7; ++i) lang.Set(4148 + i, std::string("Day") + char('A' + i));
    EXPECT_EQ(CycleFromText("WEEKLY", lang), LogCycle::kWeekly);
    EXPECT_EQ(CycleFromText("daily", lang), LogCycle::kDaily);
    EXPECT_EQ(CycleFromText("Hourly", lang), LogCycle::kOff);
    EXPECT_EQ(CycleFromText("", qavres::StringTable()), LogCycle::kOff);
    EXPECT_EQ(WeekdayNumber("DayE", lang), 5);
    EXPECT_EQ(WeekdayNumber("DayG", lang), 7);
    EXPECT_EQ(WeekdayNumber("Someday", lang), 1);
    EXPECT_EQ(MonthDay(0), 1);
    EXPECT_EQ(MonthDay(32), 1);
    EXPECT_EQ(MonthDay(31), 31);
    int h = 0, m = 0;
    EXPECT_TRUE(ParseLogTime(LogTimeText(7, 5, 0), h, m));
    EXPECT_EQ(LogTimeText(7, 5, 0), "7:5:0");
    EXPECT_EQ(h, 7);
    EXPECT_EQ(m, 5);
    EXPECT_TRUE(ParseLogTime("23:59", h, m));
    EXPECT_EQ(m, 59);
    EXPECT_FALSE(ParseLogTime("2359", h, m));

    const std::string path = dir.File(kLogConfigFile);
    LogConfig c;
    c.trap.toBeLogged = 1;
    c.trap.filename = "/var/log/qav trap.log";
    c.environmental.cycle = "Weekly";
    c.environmental.day = WeekdayNumber("DayC", lang);
    ASSERT_TRUE(WriteLogConfig(c, path));
    const LogConfig back = ReadLogConfig(0, path);
    EXPECT_EQ(back.trap.filename, "/var/log/qav trap.log");
    EXPECT_EQ(back.environmental.day, 3);
    EXPECT_EQ(back.environmental.toBeLogged, 0);
    EXPECT_EQ(CycleFromText(back.environmental.cycle, lang), LogCycle::kWeekly);
}

TEST(DisplayConfigTest, ColumnsAndWidths)
{
    qavtest::TempDir dir;
    const std::string path = dir.File(kDisplayConfigFile);
    DisplayConfig d = ReadDisplayConfig(path);
    EXPECT_EQ(d.display[1], -1);
    EXPECT_EQ(d.order[5], -1);
    EXPECT_EQ(d.width[0], 100);
    EXPECT_FALSE(d.widthStored[0]);
    ASSERT_TRUE(WriteDisplayColumns({3, 1, 0, 11}, path));
    ASSERT_TRUE(WriteColumnWidths({{0, 150}, {3, 80}}, path));
    d = ReadDisplayConfig(path);
    EXPECT_EQ(d.display[3], 1);
    EXPECT_EQ(d.order[3], 1);
    EXPECT_EQ(d.order[1], 2);
    EXPECT_EQ(d.order[11], 3) << "Name is not a position";
    EXPECT_EQ(d.display[2], 0);
    EXPECT_EQ(d.order[2], 0);
    EXPECT_EQ(d.width[0], 150);
    EXPECT_EQ(d.width[3], 80);
    EXPECT_TRUE(d.widthStored[0]);
    EXPECT_TRUE(d.widthStored[3]);
    EXPECT_FALSE(d.widthStored[1]);
    EXPECT_EQ(ReadProfileString("Display", "RFID OK", "", 20, path), "1");
    ASSERT_TRUE(WriteColumnWidths({{1, 0}}, path));
    EXPECT_FALSE(ReadDisplayConfig(path).widthStored[1]) << "a width of 0 is ignored";
}

TEST(DownLoaderConfigTest, MinusOneEndsTheColumns)
{
    qavtest::TempDir dir;
    const std::string path = dir.File(kDownLoaderFile);
    DownLoaderConfig c = ReadDownLoaderConfig(4, path);
    EXPECT_EQ(c.backColor, 31);
    EXPECT_EQ(c.columns, (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(c.widths, (std::vector<int>{-1, -1, -1, -1}));
    qavtest::WriteFile(path, "[SETTING]\nBackColor=5\nColumn1=0\nColumn2=-1\nColumn3=1\nColumn Width 3=77\n");
    c = ReadDownLoaderConfig(4, path);
    EXPECT_EQ(c.backColor, 5);
    EXPECT_EQ(c.columns, (std::vector<int>{0}));
    EXPECT_EQ(c.widths, (std::vector<int>{-1, -1, 77, -1}));
    c.columns = {1, 0, 1};
    ASSERT_TRUE(WriteDownLoaderConfig(c, path));
    EXPECT_EQ(ReadDownLoaderConfig(4, path).columns, (std::vector<int>{1, 0, 1, 1}));
}

TEST(SystemToolFileTest, Defaults)
{
    qavtest::TempDir dir;
    const std::string path = dir.File(kSystemToolFile);
    EXPECT_EQ(ReadSystemToolLanguageBase(path), "NCres");
    EXPECT_EQ(ReadModelResourceBase("M-RA1", {}, path), 10000);
    qavtest::WriteFile(path, "[Resource]\nQAVNetConfig=QNres\nM-RA1=20000\nM-RA1 V1.2=21000\n"
                             "[Version]\nM-RA1=V1.2.3456789012345\n");
    EXPECT_EQ(ReadSystemToolLanguageBase(path), "QNres");
    EXPECT_EQ(ReadModelResourceBase("m-ra1", {}, path), 20000);
    EXPECT_EQ(ReadModelResourceBase("M-RA1", "V1.2", path), 21000);
    EXPECT_EQ(ReadModelResourceBase("M-RA1", "V9", path), 10000);
    EXPECT_EQ(ReadNewestFirmware("M-RA1", path), "V1.2.3456789012");
}

} // namespace
