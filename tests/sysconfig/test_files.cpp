// The text export, the configuration-data export and its import.
#include <gtest/gtest.h>

#include "TestData.h"
#include "nconfig/Document.h"

using namespace nconfig;
using nconfigtest::Data;
using nconfigtest::IndexByKey;

namespace {

// The MC-1200's system window for one printer (mode 3): Settings, Names, Common.
SettingsDocument Mc1200(int mode = 3)
{
    return SettingsDocument(LoadPages(Data().language, Data().objects, nconfigtest::kMc1200Base), Data().language,
                            mode, false);
}

void ReadValues(SettingsDocument& doc, const std::map<std::string, std::string>& values)
{
    for (PageModel& page : doc.Pages()) {
        for (size_t i = 0; i < page.Parameters().size(); ++i) {
            auto it = values.find(page.Parameters()[i].key);
            page.SetRead(static_cast<int>(i), it == values.end() ? "@unknown@" : it->second);
        }
    }
}

const std::map<std::string, std::string> kPrinterA = {
    {"20721.0", "5"},        {"20701.0", "2"},         {"20641.0", "812"},  {"20661.0", "812"},
    {"25061.0", "-5"},       {"25521.0", "0000FFFF"},  {"22701.0", "127.0.0.11"},
    {"22721.0", "255.0.0.0"}, {"22761.0", "0"},        {"22801.0", ""},     {"201.0", "Dock 1"},
    {"221.0", "Hall A"},     {"20801.0", "J. Baker"},  {"181.0", "ext 12"}, {"20821.0", "spare"},
    {"25441.0", "1"},
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = text.find("\r\n", from);
        EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
        if (end == std::string::npos) break;
        lines.push_back(text.substr(from, end - from));
        from = end + 2;
    }
    return lines;
}

TEST(Files, TextExport)
{
    SettingsDocument doc = Mc1200();
    ReadValues(doc, kPrinterA);
    const std::vector<std::string> lines = Lines(doc.TextExport("SNMP", "127.0.0.11", "MC-1200", "V1.02"));
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[0], "PORT: SNMP_127.0.0.11");
    EXPECT_EQ(lines[1], "MODEL: MC-1200");
    EXPECT_EQ(lines[2], "VERSION: V1.02");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "[Settings]");
    EXPECT_EQ(lines[5], "  Print");
    EXPECT_EQ(lines[6], "    Quality");
    EXPECT_EQ(lines[7], "      Print darkness:  5");
    EXPECT_EQ(lines[8], "      Print speed:  Normal [2]");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "[Names]"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "    Printer name:  Dock 1"), lines.end())
        << "a leaf of the second level";
}

TEST(Files, ConfigurationDataExport)
{
    SettingsDocument doc = Mc1200();
    std::map<std::string, std::string> values = kPrinterA;
    values.erase("20641.0"); // not answered
    ReadValues(doc, values);
    const std::vector<std::string> lines = Lines(doc.ConfigDataExport("MC-1200", "V1.02"));
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "[QAVNet Config Data]");
    EXPECT_EQ(lines[1], "MODEL=MC-1200");
    EXPECT_EQ(lines[2], "VERSION=V1.02");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "[MC-1200]");
    EXPECT_EQ(lines[5], "20721.0=5");
    EXPECT_EQ(lines[6], "20701.0=Normal [2]");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "25061.0=-0.5 mm"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "201.0=Dock 1"), lines.end());
    for (const std::string& l : lines) EXPECT_EQ(l.find("@unknown@"), std::string::npos) << l;
}

TEST(Files, ImportOfAnotherModelChangesNothing)
{
    SettingsDocument doc = Mc1200();
    ReadValues(doc, kPrinterA);
    const std::string file = "[QAVNet Config Data]\r\nMODEL=M-UG2\r\nVERSION=V1.02\r\n\r\n[M-UG2]\r\n"
                             "20721.0=9\r\n201.0=Other\r\n";
    const auto report = doc.Import(file, "MC-1200");
    EXPECT_TRUE(report.otherModel);
    EXPECT_EQ(report.fileModel, "M-UG2");
    EXPECT_FALSE(doc.HasChanges());
    EXPECT_EQ(doc.Pages()[0].Value(IndexByKey(doc.Pages()[0].Definition(), "20721.0")), "5");
}

TEST(Files, ExportThenImportIntoAnotherPrinter)
{
    SettingsDocument a = Mc1200();
    ReadValues(a, kPrinterA);
    const std::string file = a.ConfigDataExport("MC-1200", "V1.02");

    std::map<std::string, std::string> valuesB = kPrinterA;
    valuesB["20721.0"] = "8";
    valuesB["201.0"] = "Dock 2";
    valuesB["25061.0"] = "0";
    valuesB["22701.0"] = "127.0.0.12";
    SettingsDocument b = Mc1200();
    ReadValues(b, valuesB);
    b.SetAddress("127.0.0.12");
    const auto report = b.Import(file, "MC-1200");
    ASSERT_FALSE(report.otherModel);
    EXPECT_EQ(report.changed, 3);
    EXPECT_EQ(b.NewAddress(), "127.0.0.12") << "the own address is never imported";
    const PageModel& settings = b.Pages()[0];
    EXPECT_EQ(settings.Value(IndexByKey(settings.Definition(), "20721.0")), "5");
    EXPECT_EQ(settings.Value(IndexByKey(settings.Definition(), "22701.0")), "127.0.0.12");
    ASSERT_EQ(settings.Changes().Size(), 2u);
    EXPECT_EQ(settings.Changes().Entries()[0].value, "5");
    EXPECT_EQ(settings.Changes().Entries()[1].value, "-5") << "-0.5 mm back to the stored integer";
    EXPECT_EQ(b.Pages()[1].Changes().Entries().at(0).value, "Dock 1");
    bool ownAddressNoted = false;
    for (const auto& note : report.notes) {
        if (note.key == "22701.0") ownAddressNoted = note.outcome == SettingsDocument::ImportOutcome::kOwnAddress;
        if (note.key == "221.0") {
            EXPECT_EQ(note.outcome, SettingsDocument::ImportOutcome::kUnchanged);
        }
    }
    EXPECT_TRUE(ownAddressNoted);
}

TEST(Files, ImportSkipsInvalidValuesAndCancelsEarlierChanges)
{
    SettingsDocument doc = Mc1200();
    ReadValues(doc, kPrinterA);
    PageModel& settings = doc.Pages()[0];
    const int darkness = IndexByKey(settings.Definition(), "20721.0");
    ASSERT_EQ(doc.Edit(0, darkness, "9"), EditResult::kChanged);
    const std::string file = "[QAVNet Config Data]\nMODEL=MC-1200\n\n[MC-1200]\n"
                             "20721.0=5\n20641.0=12\n25521.0=xyz\n20661.0=\n";
    const auto report = doc.Import(file, "MC-1200");
    EXPECT_EQ(settings.Value(darkness), "5");
    EXPECT_EQ(settings.ParameterPicture(darkness), kPictureEditable) << "the import cancelled the earlier change";
    EXPECT_EQ(settings.Value(IndexByKey(settings.Definition(), "20641.0")), "12 dots");
    EXPECT_EQ(settings.Value(IndexByKey(settings.Definition(), "25521.0")), "0000FFFF") << "invalid: skipped";
    EXPECT_EQ(settings.Value(IndexByKey(settings.Definition(), "20661.0")), "812 dots") << "empty: invalid";
    ASSERT_EQ(settings.Changes().Size(), 1u);
    EXPECT_EQ(settings.Changes().Entries()[0].value, "12");
}

TEST(Files, TheOldModelNameOfConfigurationData)
{
    EXPECT_EQ(ConfigDataModel("M-UG2"), "QAV M-UG2W");
    EXPECT_EQ(ConfigDataModel("QAV M-UG2"), "QAV M-UG2");
}

} // namespace
