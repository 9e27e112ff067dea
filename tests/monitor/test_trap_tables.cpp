// The trap table, the mail-kind table and the detail bindings.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

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

// The trap table written out once more, row by row, apart from the code's:
// generic, specific, message text, list/pop-up, sound, sound file text,
// mail, log. A cell changed in the code shows here.
const TrapRow kExpectedTrapRows[] = {
    {0, 0, 749, 0, 0, -1, 0, 1}, // row 0
    {1, 0, 750, 0, 0, -1, 0, 1}, // row 1
    {2, 0, 751, 0, 0, -1, 0, 0}, // row 2
    {3, 0, 752, 0, 0, -1, 0, 0}, // row 3
    {4, 0, 753, 0, 0, -1, 0, 0}, // row 4
    {5, 0, 754, 0, 0, -1, 0, 0}, // row 5
    {6, 1, 755, 0, 0, -1, 0, 1}, // row 6
    {6, 2, 756, 0, 0, -1, 0, 0}, // row 7
    {6, 4, 757, 0, 0, -1, 0, 0}, // row 8
    {6, 6, 758, 1, 1, 3201, 1, 1}, // row 9
    {6, 7, 759, 1, 1, 3202, 1, 1}, // row 10
    {6, 11, 760, 1, 1, 3203, 1, 1}, // row 11
    {6, 12, 761, 1, 1, 3204, 1, 1}, // row 12
    {6, 13, 762, 1, 1, 3205, 1, 1}, // row 13
    {6, 14, 763, 1, 1, 3206, 1, 1}, // row 14
    {6, 15, 764, 1, 1, 3207, 1, 1}, // row 15
    {6, 17, 765, 1, 1, 3208, 1, 1}, // row 16
    {6, 18, 766, 1, 1, 3209, 1, 1}, // row 17
    {6, 21, 767, 1, 1, 3210, 1, 1}, // row 18
    {6, 24, 768, 1, 1, 3211, 1, 1}, // row 19
    {6, 27, 769, 0, 0, -1, 0, 0}, // row 20
    {6, 28, 770, 0, 0, -1, 0, 0}, // row 21
    {6, 29, 771, 0, 0, -1, 0, 0}, // row 22
    {6, 40, 772, 0, 0, -1, 0, 0}, // row 23
    {6, 41, 773, 0, 0, -1, 0, 0}, // row 24
    {6, 50, 774, 1, 1, 3212, 1, 1}, // row 25
    {6, 51, 775, 1, 1, 3213, 1, 1}, // row 26
    {6, 54, 776, 1, 1, 3214, 1, 1}, // row 27
    {6, 55, 777, 0, 0, -1, 1, 1}, // row 28
    {6, 61, 778, 1, 1, 3217, 1, 1}, // row 29
    {6, 62, 779, 1, 1, 3217, 1, 1}, // row 30
    {6, 22, 815, 1, 1, 3217, 1, 1}, // row 31
    {6, 23, 816, 1, 1, 3205, 1, 1}, // row 32
    {6, 36, 817, 1, 1, 3217, 1, 1}, // row 33
    {6, 66, 818, 1, 1, 3217, 1, 1}, // row 34
    {6, 67, 819, 1, 1, 3217, 1, 1}, // row 35
    {6, 68, 820, 1, 1, 3217, 1, 1}, // row 36
    {6, 69, 845, 1, 1, 3217, 1, 1}, // row 37
    {6, 70, 821, 1, 1, 3217, 1, 1}, // row 38
    {6, 71, 822, 1, 1, 3217, 1, 1}, // row 39
    {6, 72, 823, 1, 1, 3205, 1, 1}, // row 40
    {6, 73, 824, 1, 1, 3211, 1, 1}, // row 41
    {6, 74, 825, 1, 1, 3211, 1, 1}, // row 42
    {6, 75, 826, 0, 0, -1, 0, 0}, // row 43
    {6, 76, 827, 0, 0, -1, 0, 0}, // row 44
    {6, 77, 828, 1, 1, 3217, 1, 1}, // row 45
    {6, 78, 829, 0, 0, -1, 0, 0}, // row 46
    {6, 80, 846, 0, 0, -1, 0, 0}, // row 47
    {6, 81, 847, 0, 0, -1, 0, 0}, // row 48
    {6, 82, 848, 0, 0, -1, 0, 0}, // row 49
    {7, 99, 780, 0, 0, -1, 0, 1}, // row 50
    {6, 98, 781, 1, 1, 3217, 1, 1}, // row 51
    {-1, -1, -1, 0, 0, -1, 0, 0}, // row 52
};

TEST(TrapTableRows, EveryRowHoldsItsValuesAndIsFoundAtItsOwnPlace)
{
    ASSERT_EQ(std::size(kExpectedTrapRows), static_cast<size_t>(kTrapRowCount));
    for (int i = 0; i < kTrapRowCount; ++i) {
        const TrapRow& want = kExpectedTrapRows[i];
        const TrapRow& have = TrapRowAt(i);
        EXPECT_EQ(have.generic, want.generic) << "row " << i;
        EXPECT_EQ(have.specific, want.specific) << "row " << i;
        EXPECT_EQ(have.textId, want.textId) << "row " << i;
        EXPECT_EQ(have.listPopup, want.listPopup) << "row " << i;
        EXPECT_EQ(have.sound, want.sound) << "row " << i;
        EXPECT_EQ(have.soundFileId, want.soundFileId) << "row " << i;
        EXPECT_EQ(have.mail, want.mail) << "row " << i;
        EXPECT_EQ(have.log, want.log) << "row " << i;
        // Searched from the top, each pair finds its own row.
        if (i < kTrapRowCount - 1) {
            EXPECT_EQ(TrapRowIndex(FindTrapRow(want.generic, want.specific)), i);
        }
    }
}

// The mail-kind table written out once more: generic, specific, allowed,
// subject text, key.
const MailKindRow kExpectedMailRows[] = {
    {6, 6, 1, 791, "CommandError"}, // row 0
    {6, 7, 1, 792, "CommunicationError"}, // row 1
    {6, 11, 1, 793, "PaperJam"}, // row 2
    {6, 12, 1, 794, "CutterError"}, // row 3
    {6, 13, 1, 795, "Paper"}, // row 4
    {6, 14, 1, 796, "Ribbon"}, // row 5
    {6, 15, 1, 797, "HeadOpen"}, // row 6
    {6, 17, 1, 798, "HeadDisconnect"}, // row 7
    {6, 18, 1, 799, "HeadHeating"}, // row 8
    {6, 21, 1, 800, "Ribbon"}, // row 9
    {6, 24, 1, 801, "CoverOpen"}, // row 10
    {6, 50, 1, 807, "PrinterError"}, // row 11
    {6, 51, 1, 808, "PrinterError"}, // row 12
    {6, 54, 1, 809, "PrinterError"}, // row 13
    {6, 61, 1, 811, "RFIDError"}, // row 14
    {6, 62, 1, 812, "RFIDError"}, // row 15
    {6, 22, 1, 830, "RewindFull"}, // row 16
    {6, 23, 1, 831, "Paper"}, // row 17
    {6, 36, 1, 832, "LowBattery"}, // row 18
    {6, 66, 1, 833, "RejectJam"}, // row 19
    {6, 67, 1, 834, "RejectFull"}, // row 20
    {6, 68, 1, 835, "ShutterErr"}, // row 21
    {6, 69, 1, 849, "RejectErr"}, // row 22
    {6, 70, 1, 836, "ASFPowerOff"}, // row 23
    {6, 71, 1, 837, "UDMotorErr"}, // row 24
    {6, 72, 1, 838, "EraserErr"}, // row 25
    {6, 73, 1, 839, "EraserOpen"}, // row 26
    {6, 74, 1, 840, "ASFCoverOpen"}, // row 27
    {6, 77, 1, 843, "ASFNotConnect"}, // row 28
    {6, 98, 1, 814, "PrinterError"}, // row 29
    {-1, -1, 0, -1, nullptr}, // row 30
};

TEST(MailKinds, EveryRowHoldsItsValues)
{
    ASSERT_EQ(std::size(kExpectedMailRows), static_cast<size_t>(kMailKindRowCount));
    for (int i = 0; i < kMailKindRowCount; ++i) {
        const MailKindRow& want = kExpectedMailRows[i];
        const MailKindRow& have = MailKindRowAt(i);
        EXPECT_EQ(have.generic, want.generic) << "row " << i;
        EXPECT_EQ(have.specific, want.specific) << "row " << i;
        EXPECT_EQ(have.allowed, want.allowed) << "row " << i;
        EXPECT_EQ(have.subjectId, want.subjectId) << "row " << i;
        EXPECT_EQ(std::string(have.key ? have.key : "(none)"), std::string(want.key ? want.key : "(none)"))
            << "row " << i;
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
