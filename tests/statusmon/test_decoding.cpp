// The status monitor's decoding and renderings, against the language texts
// the program ships: status codes and error bits, MAC addresses, tenths, the
// size rule, views and printer pictures.
#include <gtest/gtest.h>

#include <set>

#include "nstat/Format.h"
#include "nstat/StatusDecoding.h"
#include "nstat/Views.h"
#include "ShippedTexts.h"
#include "qavres/Resources.h"

namespace {

using namespace nstat;

const qavres::StringTable& Texts() { return nstattest::ShippedTexts(); }

// ------------------------------------------------------------ maker scheme

struct MakerCase {
    std::string code, head;
    int symbol, help, text;
    std::vector<int> indicators;
    HelpButton button;
};

TEST(MakerStatus, CodesDecodeAsTheTableSays)
{
    const MakerCase cases[] = {
        {"0", "0", 185, 0, 3000, {}, HelpButton::kHidden},
        {"27", "0", 185, 0, 3016, {197}, HelpButton::kHidden},  // online, ribbon near end
        {"28", "", 187, 2170, 3017, {197}, HelpButton::kShown},
        {"55", "0", 187, 0, 3024, {}, HelpButton::kHidden},     // buffer full: pause symbol, no help
        {"11", "1", 202, 2060, 3007, {193}, HelpButton::kShown}, // paper jam and a head problem
        {"81", "0", 187, 2310, 3046, {198}, HelpButton::kShown},
        {"82", "1", 185, 0, 3047, {198, 193}, HelpButton::kHidden},
        {"40", "0", 0, 0, 3019, {}, HelpButton::kHidden},       // initialising: no symbol
        {"99", "0", 0, 0, 3027, {}, HelpButton::kHidden},
        {"", "", 184, 2010, 3150, {}, HelpButton::kShown},      // no answer
        {"123", "0", 188, 2160, 3028, {}, HelpButton::kShown},  // unknown code
    };
    for (const MakerCase& c : cases) {
        const StatusResult r = DecodeMakerStatus(c.code, c.head, Texts());
        EXPECT_EQ(r.symbol, c.symbol) << c.code;
        EXPECT_EQ(r.helpTopic, c.help) << c.code;
        EXPECT_EQ(r.textId, c.text) << c.code;
        EXPECT_EQ(r.indicators, c.indicators) << c.code;
        EXPECT_EQ(r.helpButton, c.button) << c.code;
    }
}

TEST(MakerStatus, UnknownCodeNamesTheCode)
{
    EXPECT_EQ(DecodeMakerStatus("123", "", Texts()).text, "Printer error (123)");
    EXPECT_EQ(DecodeMakerStatus("98", "", Texts()).text, "Printer error (98)");
    EXPECT_EQ(DecodeMakerStatus("13", "", Texts()).text, Texts().Get(3009));
}

TEST(MakerStatus, TableHasFortyEightDistinctCodesWithTexts)
{
    std::set<int> codes;
    for (const MakerStatusRow& row : kMakerStatusTable) {
        codes.insert(row.code);
        EXPECT_FALSE(Texts().Get(row.text).empty()) << row.code;
        if (row.symbol) {
            EXPECT_STRNE(SymbolName(row.symbol), "") << row.code;
        }
    }
    EXPECT_EQ(codes.size(), 48u);
}

// --------------------------------------------------------- standard scheme

struct StandardCase {
    std::string status, errors;
    int symbol, help, text;
    std::vector<int> indicators;
};

TEST(StandardStatus, StatusThenErrorBitsLastMatchWins)
{
    const StandardCase cases[] = {
        {"3", "", 185, 0, 3102, {}},
        {"4", "", 185, 0, 3103, {}},
        {"5", "", 185, 0, 3104, {}},
        {"1", "", 188, 2170, 3100, {}},
        {"2", "", 188, 2170, 3101, {}},
        {"", "", 184, 2010, 3150, {}},      // no answer
        {"7", "", 184, 2010, 3150, {}},
        {"3", "\xC4", 189, 2060, 3113, {198}},  // jam wins over no paper
        {"3", "\x06", 184, 2010, 3114, {}},     // offline wins over jam
        {"3", "\x48", 186, 2130, 3112, {}},     // door open wins over no paper
        {"4", "\x10", 196, 0, 3111, {}},
        {"3", "\xA1", 185, 0, 3102, {198, 199, 200}},
        {"3", "00 00", 185, 0, 3102, {}},       // two zero bytes arrive as a hex dump
        {"3", "C4 00 01", 189, 2060, 3113, {198}},
    };
    for (const StandardCase& c : cases) {
        const StatusResult r = DecodeStandardStatus(c.status, c.errors, Texts());
        EXPECT_EQ(r.symbol, c.symbol) << c.status << "/" << c.errors;
        EXPECT_EQ(r.helpTopic, c.help) << c.status << "/" << c.errors;
        EXPECT_EQ(r.textId, c.text) << c.status << "/" << c.errors;
        EXPECT_EQ(r.text, Texts().Get(c.text));
        EXPECT_EQ(r.indicators, c.indicators) << c.status << "/" << c.errors;
        EXPECT_EQ(r.helpButton, HelpButton::kUnchanged);
    }
}

TEST(Octets, HexDumpsBecomeBytesOtherTextsStay)
{
    EXPECT_EQ(OctetsOf("00 80 91"), std::string("\x00\x80\x91", 3));
    EXPECT_EQ(OctetsOf("idle"), "idle");
    EXPECT_EQ(OctetsOf("0a 80"), "0a 80"); // the library writes upper case only
    EXPECT_EQ(OctetsOf("00-80"), "00-80");
    EXPECT_EQ(OctetsOf(""), "");
}

TEST(Mac, TextAndRawBytesShowTheSame)
{
    EXPECT_EQ(MacText("00-80-91-12-34-56"), "00:80:91:12:34:56");
    EXPECT_EQ(MacText(std::string("\x00\x80\x91\x12\x34\x56", 6)), "00:80:91:12:34:56");
    EXPECT_EQ(MacText("00 80 91 12 34 56"), "00:80:91:12:34:56"); // the library's hex dump
    EXPECT_EQ(MacText("  00-80-91-12-34-56"), "00:80:91:12:34:56");
    EXPECT_EQ(MacText(std::string("\x08\x80\x91", 3)), "08:80:91:00:00:00"); // a zero byte ended it
    EXPECT_EQ(MacText("printer-mac"), "printer-mac");                          // text, too short to mark
    EXPECT_EQ(MacText("00-80-91-12-34-56-78-9A"), "00:80:91:12:34:56-7");     // cut to 19
    EXPECT_EQ(MacText(""), "");
}

// ------------------------------------------------------------- renderings

TEST(Format, TenthsHaveExactlyOneDecimal)
{
    EXPECT_EQ(Tenths("1234"), "123.4");
    EXPECT_EQ(Tenths("120"), "12.0");
    EXPECT_EQ(Tenths("7"), "0.7");
    EXPECT_EQ(Tenths("0"), "0.0");
    EXPECT_EQ(Tenths("-5"), "-0.5");
    EXPECT_EQ(Tenths(""), "");
    EXPECT_EQ(Tenths("n/a"), "n/a");
}

TEST(Format, LanguageFormatsTakeOnlyWhatIsPassed)
{
    EXPECT_EQ(FormatText("%s km", {"12.3"}), "12.3 km");
    EXPECT_EQ(FormatText("Printer error (%d)", {"7"}), "Printer error (7)");
    EXPECT_EQ(FormatText("%s and %s", {"a"}), "a and ");
    EXPECT_EQ(FormatText("100%% %n %x", {}), "100% %n %x");
    EXPECT_EQ(FormatText("%s", {"%s %d"}), "%s %d"); // values are not formats
}

TEST(SizeRule, ScalesByThousandTwentyFour)
{
    EXPECT_EQ(SizeText("", "1024", "", Texts()), "");
    EXPECT_EQ(SizeText("20", "1", "", Texts()), "20.0 bytes");
    EXPECT_EQ(SizeText("1024", "1", "", Texts()), "1024.0 bytes"); // exceeds, not reaches
    EXPECT_EQ(SizeText("1536", "1", "", Texts()), "1.5 KB");
    EXPECT_EQ(SizeText("2048", "1024", "", Texts()), "2.0 MB");
    EXPECT_EQ(SizeText("4096", "1073741824", "", Texts()), "4096.0 GB"); // at most GB
    EXPECT_EQ(SizeText("512", "", "2", Texts()), "512 KB");  // no multiplier: the level given
    EXPECT_EQ(SizeText("64", "0", "3", Texts()), "64 MB");
    EXPECT_EQ(SizeText("64", "-1", "9", Texts()), "64");     // no such level: unformatted
}

// ------------------------------------------------------------------ views

TEST(Views, SelectorsFollowTheViewTable)
{
    std::vector<int> maker, other;
    for (const ViewInfo& v : ViewsFor(true)) maker.push_back(v.selectorText);
    for (const ViewInfo& v : ViewsFor(false)) other.push_back(v.selectorText);
    EXPECT_EQ(maker, (std::vector<int>{5074, 5077, 5078, 5076, 5079}));
    EXPECT_EQ(other, (std::vector<int>{5071, 5072, 5073, 5074, 5075, 5076}));
}

TEST(Views, MakerCountersInTenthsOfAKilometreOrInItems)
{
    ObjectValues v = {{21421, "1234"}, {25341, ""}, {21441, "7"}, {21461, "120"}};
    ViewContent c = MakerCountersView(v, "M-UH5W", Texts());
    ASSERT_EQ(c.rows.size(), 3u); // the empty row and the unread one are left out
    EXPECT_EQ(c.rows[0], (std::vector<std::string>{Texts().Get(5112), "123.4 km"}));
    EXPECT_EQ(c.rows[1], (std::vector<std::string>{Texts().Get(5113), "0.7 km"}));
    EXPECT_EQ(c.rows[2][1], "12.0 km");
    c = MakerCountersView(v, "M-RC6K", Texts());
    EXPECT_EQ(c.rows[0][1], "1234 items");
}

TEST(Views, StandardCounterCarriesItsUnitWord)
{
    EXPECT_EQ(StandardCountersView("5120", "7", Texts()).rows[0],
              (std::vector<std::string>{Texts().Get(5111), "5120 impressions"}));
    EXPECT_EQ(StandardCountersView("88", "0", Texts()).rows[0][1], "88 km");
    EXPECT_EQ(StandardCountersView("88", "18", Texts()).rows[0][1], "88 items");
    EXPECT_EQ(StandardCountersView("88", "12", Texts()).rows[0][1], "88"); // no unit for 12
}

TEST(Views, InformationRowsNeedTheirKeyObject)
{
    ObjectValues v = {{20101, "M-UH5W"}, {20121, "V1.2A"}, {20141, "PN-77"}, {20161, "2024-01-05"},
                      {20181, ""},       {20201, "0020"},  {20081, "8192"}};
    ViewContent c = MakerInformationView(v, "M-UH5W", Texts());
    ASSERT_EQ(c.rows.size(), 3u);
    EXPECT_EQ(c.rows[0], (std::vector<std::string>{Texts().Get(5193), "M-UH5W"}));
    EXPECT_EQ(c.rows[1], (std::vector<std::string>{Texts().Get(5194), "PN-77  Version V1.2A  (2024-01-05)"}));
    EXPECT_EQ(c.rows[2], (std::vector<std::string>{Texts().Get(5204), "8192 KB"}));
    // The card printers: model, their program row, flash.
    v[25181] = "MAIN";
    v[25201] = "2.10";
    v[25221] = "2023-11-30";
    v[25241] = "9F3A";
    c = MakerInformationView(v, "M-RC5K", Texts());
    ASSERT_EQ(c.rows.size(), 3u);
    EXPECT_EQ(c.rows[1], (std::vector<std::string>{"MAIN", "2.10,2023-11-30,9F3A"}));
}

TEST(Views, MakerSizesTotalInMegabytesRestInKilobytes)
{
    ObjectValues v;
    for (int o : MakerSizeObjects()) v[o] = "256";
    ViewContent c = MakerSizesView(v, "M-UH5W", Texts());
    ASSERT_EQ(c.rows.size(), 19u);
    EXPECT_EQ(c.rows[0][1], "256 MB");
    EXPECT_EQ(c.rows[1][1], "256 KB");
    EXPECT_EQ(c.rows[3][0], Texts().Get(5213));
    EXPECT_EQ(MakerSizesView(v, "M-RA1", Texts()).rows.size(), 12u); // seven values cleared
    EXPECT_EQ(MakerSizesView(v, "M-RC5K", Texts()).rows[3][0], Texts().Get(6108));
    std::set<std::string> labels;
    for (const auto& row : c.rows) labels.insert(row[0]);
    EXPECT_EQ(labels.size(), 19u); // every row has a label of its own
    EXPECT_EQ(labels.count(""), 0u);
}

TEST(Views, TenthsAndSettingsHaveLabelsOfTheirOwn)
{
    ObjectValues v;
    for (int o : TenthsObjects()) v[o] = "15";
    for (int o : SettingObjects()) v[o] = "25";
    ViewContent tenths = TenthsView(v, Texts());
    ViewContent settings = SettingsView(v, Texts());
    ASSERT_EQ(tenths.rows.size(), 20u);
    ASSERT_EQ(settings.rows.size(), 10u);
    std::set<std::string> labels;
    for (const auto& row : tenths.rows) labels.insert(row[0]);
    for (const auto& row : settings.rows) labels.insert(row[0]);
    EXPECT_EQ(labels.size(), 30u);
    EXPECT_EQ(labels.count(""), 0u);
    EXPECT_EQ(tenths.rows[0][1], "1.5");
    EXPECT_EQ(settings.rows[8][1], "2.5 mm"); // stop position, tenths of a millimetre
}

TEST(Views, LevelWords)
{
    const int words[3] = {5250, 5251, 5252};
    EXPECT_EQ(LevelWord("0", words), 5250);
    EXPECT_EQ(LevelWord("40", words), 5251);
    EXPECT_EQ(LevelWord("-3", words), 5251);
    EXPECT_EQ(LevelWord("-2", words), 5252);
    EXPECT_EQ(LevelWord("-1", words), 5252);
    EXPECT_EQ(LevelWord("", words), 5252);
    const ViewContent c = LevelView(ViewKind::kLevels2, {{"Tray 1", "0"}, {"Tray 2", "250"}}, Texts());
    EXPECT_EQ(c.columns, (std::vector<std::string>{Texts().Get(5104), Texts().Get(5105)}));
    EXPECT_EQ(c.rows[0], (std::vector<std::string>{"Tray 1", Texts().Get(5255)}));
    EXPECT_EQ(c.rows[1], (std::vector<std::string>{"Tray 2", Texts().Get(5256)}));
}

TEST(Views, StandardSizesUseTheRowsUnit)
{
    const ViewContent c = StandardSizesView({{"RAM", "1024", "2048", "512", "0"}}, Texts());
    ASSERT_EQ(c.rows.size(), 1u);
    EXPECT_EQ(c.rows[0], (std::vector<std::string>{"RAM", "2.0 MB", "512.0 KB"}));
}

// --------------------------------------------------------------- pictures

struct PictureCase {
    std::string model;
    ObjectValues values;
    std::string language;
    int picture;
};

TEST(Pictures, ChosenByTheExactModelText)
{
    const PictureCase cases[] = {
        {"VORANTA QAV M-UG2W", {{20061, "plastic case"}}, "English", 168},
        {"VORANTA QAV M-UG2W", {{20061, "METAL"}}, "English", 169},
        {"VORANTA QAV M-UG2W", {{20061, "Wood"}}, "English", 0},
        {"VORANTA QAV M-UG2W-XY", {}, "English", 169},
        {"VORANTA QAV M-UH9W", {}, "English", 210},
        {"VORANTA QAV M-707", {}, "English", 211},
        {"VORANTA QAV M-UH5W", {{20041, "JA"}}, "English", 213},
        {"VORANTA QAV M-UH3W", {{20041, "JAP"}}, "English", 212},
        {"VORANTA QAV M-325-Y", {}, "English", 214},
        {"VORANTA QAV M-PN1", {}, "English", 215},
        {"VORANTA QAV M-UH9Y", {}, "English", 216},
        {"VORANTA QAV M-PQ3K", {}, "English", 217},
        {"VORANTA QAV M-PQ7W", {}, "English", 218},
        {"VORANTA QAV M-RA1", {{20101, "M-RA1K-W"}}, "English", 221},
        {"VORANTA QAV M-RA1", {{20101, "M-RA1"}}, "English", 224},
        {"VORANTA QAV M-RC5K", {}, "English", 225},
        {"VORANTA QAV M-RC6K", {}, "English", 238},
        {"VORANTA QAV M-RB1", {}, "English", 220},
        {"VORANTA QAV MC111W", {{20061, "Plastic"}}, "English", 230},
        {"VORANTA QAV MC111W", {{20061, "Plastic"}}, "Japanese", 228},
        {"VORANTA QAV MC111W", {{20061, "metal"}}, "English", 229},
        {"VORANTA QAV MD111", {{20101, "MD131-A"}}, "English", 240},
        {"VORANTA QAV MD111", {{20101, "MD111"}}, "English", 239},
        {"VORANTA QAV M-UH5W label printer", {{20041, "JA"}}, "English", 0}, // not exactly the model
        {"M-UH5W", {}, "English", 0},
    };
    for (const PictureCase& c : cases) EXPECT_EQ(MakerPicture(c.model, c.values, c.language), c.picture) << c.model;
    EXPECT_TRUE(PictureNeedsInformation("VORANTA QAV M-RA1"));
    EXPECT_TRUE(PictureNeedsInformation("VORANTA QAV MD111"));
    EXPECT_FALSE(PictureNeedsInformation("VORANTA QAV M-UH5W"));
}

} // namespace
