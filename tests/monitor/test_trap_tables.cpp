// The trap table, the mail-kind table and the detail bindings.
#include <gtest/gtest.h>

#include "TestPeers.h"
#include "nwatch/Notification.h"
#include "nwatch/TrapTable.h"
#include "qavres/Resources.h"

namespace {

using namespace nwatch;

TEST(TrapTableRows, KnownRowsAndTheFallbacks)
{
    const TrapRow& jam = FindTrapRow(6, 11);
    EXPECT_EQ(jam.textId, 760);
    EXPECT_EQ(jam.soundFileId, 3203);
    EXPECT_EQ(jam.mail, 1);
    const TrapRow& unknown = FindTrapRow(6, 120);
    EXPECT_EQ(TrapRowIndex(unknown), 51);
    EXPECT_EQ(unknown.textId, 781);
    EXPECT_EQ(unknown.listPopup + unknown.sound + unknown.mail + unknown.log, 4);
    EXPECT_EQ(unknown.soundFileId, 3217);
    const TrapRow& other = FindTrapRow(8, 1);
    EXPECT_EQ(TrapRowIndex(other), 52);
    EXPECT_EQ(other.textId, -1);
    const TrapRow& linkDown = FindTrapRow(2, 0);
    EXPECT_EQ(linkDown.listPopup + linkDown.sound + linkDown.mail + linkDown.log, 0);
    const TrapRow& warm = FindTrapRow(1, 0);
    EXPECT_EQ(warm.log, 1);
    EXPECT_EQ(warm.listPopup + warm.sound + warm.mail, 0);
    EXPECT_EQ(TrapRowIndex(FindTrapRow(7, 99)), 50);
    EXPECT_EQ(FindTrapRow(6, 98).textId, 781);
}

TEST(TrapTableRows, EveryRowIsFoundAtItsOwnPlace)
{
    for (int i = 0; i < kTrapRowCount - 1; ++i) {
        const TrapRow& r = TrapRowAt(i);
        EXPECT_EQ(TrapRowIndex(FindTrapRow(r.generic, r.specific)), i);
    }
}

TEST(MailKinds, KeysSubjectsAndFallbacks)
{
    EXPECT_STREQ(FindMailKindRow(6, 11).key, "PaperJam");
    EXPECT_EQ(FindMailKindRow(6, 11).subjectId, 793);
    EXPECT_STREQ(FindMailKindRow(6, 21).key, "Ribbon");
    EXPECT_EQ(FindMailKindRow(6, 120).specific, 98);
    EXPECT_EQ(FindMailKindRow(6, 120).subjectId, 814);
    EXPECT_EQ(FindMailKindRow(0, 0).allowed, 0);
    EXPECT_EQ(FindMailKindRow(0, 0).key, nullptr);
}

TEST(DetailText, CutToThirtyTwoBytesWithoutHalfCharacters)
{
    const std::string forty(40, 'a');
    EXPECT_EQ(CutDetailText1(forty).size(), 32u);
    std::string lead = std::string(31, 'a') + "\x82" + "\xa0" + std::string(7, 'b');
    EXPECT_EQ(CutDetailText1(lead), std::string(31, 'a'));
    std::string kanaEnd = std::string(31, 'a') + "\xe0";
    EXPECT_EQ(CutDetailText1(kanaEnd).size(), 31u);
    EXPECT_EQ(CutDetailText1("short   "), "short");
    EXPECT_EQ(CutDetailText1(std::string(30, 'a') + "\x82"), std::string(30, 'a') + "\x82"); // under 32: kept
}

TEST(DetailBindings, ScanFillsByPrefixAndStopsAtAStatus)
{
    qavres::ObjectTable objects;
    std::string error;
    ASSERT_TRUE(objects.Load(&error)) << error;
    NotificationRecord r;
    r.generic = 6;
    const std::string a = objects.Oid(kObjectTrapErrorCode), b = objects.Oid(kObjectDetail1),
                      c = objects.Oid(kObjectDetail2), e = objects.Oid(kObjectSecondInteger);
    r.bindings.Add(a + ".0", 2, 13);
    r.bindings.Add(b + ".0", 4, std::string(40, 'j'));
    r.bindings.Add(c + ".0", 4, std::string(40, 'o'));
    r.bindings.Add("1.3.6.1.2.1.1.5.0", -2, 0);
    r.bindings.Add(e + ".0", 2, 5); // after the status: not read
    ScanBindings(r, objects);
    EXPECT_EQ(r.trapErrorCode, 13);
    EXPECT_EQ(r.detail1, std::string(32, 'j'));
    EXPECT_EQ(r.detail2, std::string(33, 'o'));
    EXPECT_EQ(r.detail3, "");
    EXPECT_EQ(r.secondInteger, 0);

    NotificationRecord cold;
    cold.generic = 0;
    cold.bindings.Add(a + ".0", 2, 13);
    ScanBindings(cold, objects);
    EXPECT_EQ(cold.trapErrorCode, -1); // only enterprise and job traps carry details
}

} // namespace
