// Page definitions, value forms and checks, change sets and the page tree,
// on the language library and object table as they ship.
#include <gtest/gtest.h>

#include "TestData.h"
#include "nconfig/ChangeSet.h"
#include "nconfig/PageModel.h"
#include "nconfig/Pages.h"
#include "nconfig/Values.h"

using namespace nconfig;
using nconfigtest::Data;
using nconfigtest::IndexByKey;
using nconfigtest::ParameterByKey;

namespace {

PageBook Ug2() { return LoadPages(Data().language, Data().objects, nconfigtest::kUg2Base); }

std::string Raw(const Parameter& p, const std::string& text)
{
    std::string raw;
    return ParseValue(p, text, raw) ? raw : "<invalid>";
}

TEST(Pages, IdsOfAPageOfMoreThanTwentyParameters)
{
    // Parameter k of page p: B+14+70p+3k+10(k div 20).
    EXPECT_EQ(ParameterId(20000, 2, 0), 20154);
    EXPECT_EQ(ParameterId(20000, 2, 19), 20211);
    EXPECT_EQ(ParameterId(20000, 2, 20), 20224) << "block 1 sits in the slot of page 3";
    const PageBook book = Ug2();
    ASSERT_EQ(book.pages.size(), 7u);
    const Page& print = book.pages[2];
    EXPECT_EQ(print.title, "Print");
    EXPECT_EQ(print.blocks, 2);
    ASSERT_EQ(print.parameters.size(), 23u);
    for (size_t k = 0; k < print.parameters.size(); ++k) {
        EXPECT_EQ(print.parameters[k].id, ParameterId(20000, 2, static_cast<int>(k))) << k;
        EXPECT_EQ(print.parameters[k].block, k < 20 ? 0 : 1) << k;
    }
    EXPECT_EQ(print.parameters[20].key, "25501.0");
    EXPECT_EQ(print.parameters[20].object, 25501);
    EXPECT_EQ(print.parameters[20].instance, 0);
    EXPECT_EQ(book.pages[3].level, 0) << "the continuation slot is hidden";
}

TEST(Pages, VisibilityByLevelAndMode)
{
    const PageBook book = Ug2();
    // Levels: 1 diagnosis, 2 information, 3 print, 0 hidden, 3 network, 3 identity, 4 quality.
    EXPECT_EQ(VisiblePages(book, 1, true), (std::vector<int>{0, 1}));
    EXPECT_EQ(VisiblePages(book, 2, false), (std::vector<int>{1, 2, 4, 5, 6}))
        << "level 1 is hidden from the system window, level 2 shown in mode 2";
    EXPECT_EQ(VisiblePages(book, 3, false), (std::vector<int>{2, 4, 5, 6}));
    EXPECT_EQ(VisiblePages(book, 4, false), (std::vector<int>{6}));
    EXPECT_EQ(ModeTitle(Data().language, 20000, 4), "System Settings for a Printer List");
}

TEST(Pages, ParameterDefinitions)
{
    const PageBook book = Ug2();
    const Parameter& lock = ParameterByKey(book.pages[2], "25521.0");
    EXPECT_EQ(lock.kind, kKindText);
    EXPECT_EQ(lock.attribute, kAttributeHexText);
    EXPECT_EQ(lock.low, "4");
    EXPECT_EQ(lock.high, "8");
    EXPECT_EQ(lock.path, (std::vector<std::string>{"Operation", "Panel", "Panel lock code"}));
    const Parameter& ip = ParameterByKey(book.pages[4], "22701.0");
    EXPECT_TRUE(ip.OwnAddress());
    EXPECT_EQ(ip.type, 64);
    const Parameter& length = ParameterByKey(book.pages[2], "25361.0");
    EXPECT_EQ(length.decimals, 2);
    EXPECT_EQ(length.unit, "in");
    const Parameter& speed = ParameterByKey(book.pages[6], "20701.0");
    EXPECT_EQ(speed.kind, 5);
    EXPECT_EQ(speed.labels.back(), "Maximum [4]");
    const Parameter& origin = ParameterByKey(book.pages[2], "25561.0");
    EXPECT_EQ(origin.kind, kKindFixed);
    EXPECT_FALSE(origin.Readable());
}

TEST(Values, HexTextIsUpperCasedAndPaddedWithF)
{
    const PageBook book = Ug2();
    const Parameter& lock = ParameterByKey(book.pages[2], "25521.0"); // -2.1, 4..8
    EXPECT_EQ(Raw(lock, "ab12"), "AB12FFFF");
    EXPECT_EQ(Raw(lock, "0123abcd"), "0123ABCD");
    EXPECT_EQ(Raw(lock, "abc"), "<invalid>") << "shorter than the minimum";
    EXPECT_EQ(Raw(lock, "ab12g"), "<invalid>") << "not a hexadecimal digit";
    EXPECT_EQ(Raw(lock, "123456789"), "<invalid>") << "longer than the maximum";
}

TEST(Values, DecimalsAreCutNotRounded)
{
    const PageBook book = Ug2();
    const Parameter& length = ParameterByKey(book.pages[2], "25361.0"); // 2 places, in, 0.25..40.00
    EXPECT_EQ(Raw(length, "12.345"), "1234");
    EXPECT_EQ(DisplayValue(length, "1234"), "12.34 in");
    EXPECT_EQ(Raw(length, "12.34 in"), "1234") << "the shown form, unit included";
    EXPECT_EQ(Raw(length, "7"), "700");
    EXPECT_EQ(Raw(length, "40.00"), "4000");
    EXPECT_EQ(Raw(length, "40.01"), "<invalid>");
    EXPECT_EQ(Raw(length, "0.24"), "<invalid>");
    EXPECT_EQ(Raw(length, "1,5"), "<invalid>");
    EXPECT_EQ(Raw(length, ""), "<invalid>");

    const Parameter& stop = ParameterByKey(book.pages[2], "25061.0"); // 1 place, mm, -9.9..9.9
    EXPECT_EQ(DisplayValue(stop, "-5"), "-0.5 mm") << "between -1 and 0 the sign stays";
    EXPECT_EQ(Raw(stop, "-9.9"), "-99");
    EXPECT_EQ(Raw(stop, "-10"), "<invalid>");

    EXPECT_EQ(DecimalText(-5, 2), "-0.05");
    EXPECT_EQ(DecimalText(-1234, 2), "-12.34");
    EXPECT_EQ(DecimalText(7, 0), "7");
    long long stored = 0;
    EXPECT_FALSE(ParseDecimalText("99999999999999999999", 2, stored));
}

TEST(Values, Enumerations)
{
    const PageBook book = Ug2();
    const Parameter& speed = ParameterByKey(book.pages[6], "20701.0");     // labels with their number
    const Parameter& sensor = ParameterByKey(book.pages[2], "25121.0");    // labels without
    EXPECT_EQ(DisplayValue(speed, "3"), "Fast [3]");
    EXPECT_EQ(DisplayValue(sensor, "1"), "I-mark [1]");
    EXPECT_EQ(DisplayValue(sensor, "7"), "[7]") << "a value without a label";
    EXPECT_EQ(Raw(sensor, "I-mark"), "1");
    EXPECT_EQ(Raw(sensor, "I-mark [1]"), "1");
    EXPECT_EQ(Raw(sensor, "2"), "2");
    EXPECT_EQ(Raw(sensor, "3"), "<invalid>");
    EXPECT_EQ(Raw(speed, "Fast [3]"), "3");
}

TEST(Values, AddressesHexNumbersAndTheRest)
{
    const PageBook book = Ug2();
    const Parameter& ip = ParameterByKey(book.pages[4], "22701.0"); // 1.0.0.0 .. 223.255.255.255
    EXPECT_EQ(Raw(ip, "127.0.0.5"), "127.0.0.5");
    EXPECT_EQ(Raw(ip, "224.0.0.1"), "<invalid>");
    EXPECT_EQ(Raw(ip, "0.1.2.3"), "<invalid>");
    EXPECT_EQ(Raw(ip, "10.0.0.256"), "<invalid>");
    const Parameter& options = ParameterByKey(book.pages[2], "25541.0"); // -4, 0000..FFFF
    EXPECT_EQ(DisplayValue(options, "255"), "0x00FF");
    EXPECT_EQ(Raw(options, "0x1f"), "31");
    EXPECT_EQ(Raw(options, "1FFFF"), "<invalid>");
    const Parameter& distance = ParameterByKey(book.pages[0], "21421.0"); // -5, 1 place, km
    EXPECT_EQ(DisplayValue(distance, "123"), "12.3 km");
    EXPECT_EQ(Raw(distance, "12.3"), "<invalid>") << "read-only values are never written";
    EXPECT_EQ(DisplayValue(ParameterByKey(book.pages[1], "23781.0"), "V1.02"), "V1.02");
    EXPECT_EQ(DisplayValue(ParameterByKey(book.pages[2], "25561.0"), "@unknown@"), "0 dots");
    EXPECT_EQ(DisplayValue(ParameterByKey(book.pages[2], "25501.0"), "+9"), "+9 h") << "a text with a unit";
}

TEST(ChangeSet, OrderReplaceAndCancel)
{
    CSetDataArray set;
    EXPECT_EQ(set.Add(10, "5", "3", 1, 0), 0);
    EXPECT_EQ(set.Add(20, "x", "y", 2, 0), 1);
    EXPECT_EQ(set.Add(10, "6", "3", 1, 0), 0) << "a second change replaces the first in place";
    EXPECT_EQ(set.Entries()[0].value, "6");
    EXPECT_EQ(set.Add(10, "3", "3", 1, 0), -1) << "the value as read removes the entry";
    ASSERT_EQ(set.Size(), 1u);
    EXPECT_EQ(set.Entries()[0].id, 20);
    EXPECT_EQ(set.Add(30, "1", "1", 3, 0), -1) << "no entry for an unchanged value";
    EXPECT_EQ(set.Size(), 1u);
}

class Page2 : public ::testing::Test {
protected:
    Page2() : model_(Ug2().pages[2], Data().language.Get(5031), false, false) {}
    PageModel model_;
};

TEST_F(Page2, TreeOfFoldersAndLeaves)
{
    ASSERT_EQ(model_.Roots().size(), 2u);
    EXPECT_EQ(model_.NodeText(model_.Roots()[0]), "Print");
    EXPECT_EQ(model_.NodeText(model_.Roots()[1]), "Operation");
    const int vertical = IndexByKey(model_.Definition(), "20741.0");
    model_.SetRead(vertical, "-3");
    const int leaf = model_.NodeOfParameter(vertical);
    EXPECT_EQ(model_.NodeText(leaf), "Vertical offset:  -3 dots");
    EXPECT_EQ(model_.Nodes()[leaf].level, 3);
    EXPECT_EQ(model_.NodeText(model_.Nodes()[leaf].parent), "Position");
    EXPECT_EQ(model_.NodePicture(model_.Nodes()[leaf].parent), kPictureFolder);
    // Tree order: a folder, then its children, before the next folder.
    const std::vector<int> order = model_.TreeOrder();
    EXPECT_EQ(model_.NodeText(order[0]), "Print");
    EXPECT_EQ(model_.NodeText(order[1]), "Position");
    EXPECT_EQ(model_.NodeText(order[2]), "Vertical offset:  -3 dots");
}

TEST_F(Page2, EditingAndCancelling)
{
    const int darkness = IndexByKey(model_.Definition(), "25361.0"); // media length
    model_.SetRead(darkness, "400");
    EXPECT_EQ(model_.ParameterPicture(darkness), kPictureEditable);
    EXPECT_EQ(model_.Edit(darkness, "4"), EditResult::kUnchanged) << "the value shown already";
    EXPECT_EQ(model_.Edit(darkness, "12.345"), EditResult::kChanged);
    EXPECT_EQ(model_.Value(darkness), "12.34 in");
    EXPECT_EQ(model_.ParameterPicture(darkness), kPictureChanged);
    ASSERT_EQ(model_.Changes().Size(), 1u);
    EXPECT_EQ(model_.Changes().Entries()[0].value, "1234");
    EXPECT_EQ(model_.Changes().Entries()[0].readValue, "400");
    EXPECT_EQ(model_.Edit(darkness, "50"), EditResult::kInvalid);
    EXPECT_EQ(model_.Value(darkness), "12.34 in") << "an invalid value changes nothing";
    EXPECT_EQ(model_.Edit(darkness, "4.00"), EditResult::kCancelled);
    EXPECT_TRUE(model_.Changes().Empty());
    EXPECT_EQ(model_.ParameterPicture(darkness), kPictureEditable);

    const int unread = IndexByKey(model_.Definition(), "25461.0");
    EXPECT_EQ(model_.ParameterPicture(unread), kPictureUnknown);
    EXPECT_EQ(model_.NodeText(model_.NodeOfParameter(unread)), "Cutter delay:  @unknown@");
    EXPECT_EQ(model_.ParameterPicture(IndexByKey(model_.Definition(), "21501.0")), kPictureReadOnly);
    EXPECT_EQ(model_.Edit(IndexByKey(model_.Definition(), "21501.0"), "1"), EditResult::kNotEditable);
}

TEST_F(Page2, ChangesStayOnTopOfANewRead)
{
    const int gap = IndexByKey(model_.Definition(), "25581.0");
    const int mode = IndexByKey(model_.Definition(), "25101.0");
    model_.SetRead(gap, "30");
    model_.SetRead(mode, "0");
    ASSERT_EQ(model_.Edit(gap, "5"), EditResult::kChanged);
    ASSERT_EQ(model_.Edit(mode, "Cut"), EditResult::kChanged);
    // Read again: the printer holds the new issue mode already, the gap not.
    model_.SetRead(gap, "30");
    model_.SetRead(mode, "2");
    model_.RestoreChanges();
    EXPECT_EQ(model_.Value(gap), "5.0 mm");
    EXPECT_EQ(model_.ParameterPicture(gap), kPictureChanged);
    EXPECT_EQ(model_.Value(mode), "Cut [2]");
    EXPECT_EQ(model_.ParameterPicture(mode), kPictureEditable);
    ASSERT_EQ(model_.Changes().Size(), 1u);
}

TEST(PageModels, TheDiagnosisWindowAndTheListModeChangeNothingTheyShouldNot)
{
    const PageBook book = Ug2();
    PageModel diagnosis(book.pages[1], "%s:", true, false);
    for (size_t i = 0; i < diagnosis.Parameters().size(); ++i)
        EXPECT_EQ(diagnosis.ParameterPicture(static_cast<int>(i)), kPictureReadOnly);
    PageModel network(book.pages[4], "%s:", false, true);
    const int ip = IndexByKey(network.Definition(), "22701.0");
    EXPECT_FALSE(network.Editable(ip)) << "a list of printers is never given one address";
    EXPECT_TRUE(network.Editable(IndexByKey(network.Definition(), "22721.0")));
}

} // namespace
