// The trap handler's decisions: which traps are taken, and which channels
// each one reaches.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "nlist/Nlist.h"
#include "nwatch/TrapHandler.h"
#include "qavres/Resources.h"

namespace {

using namespace nwatch;

struct Recorder : TrapChannels {
    bool mayOpen = true;
    std::vector<std::string> calls;
    NotificationRecord last;
    bool MayOpenListWindow() override { return mayOpen; }
    void OpenListWindow() override { calls.push_back("list"); }
    void Popup(const NotificationRecord& r) override
    {
        calls.push_back("popup");
        last = r;
    }
    void PlaySound(const std::string& path) override { calls.push_back("sound " + path); }
    void SendMail(const NotificationRecord& r) override
    {
        calls.push_back("mail");
        last = r;
    }
    void WriteTrapLog(const NotificationRecord& r, int specific) override
    {
        calls.push_back("log " + std::to_string(specific));
        last = r;
    }
};

class TrapHandling : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(objects.Load());
        ASSERT_TRUE(language.Load(qavres::kLanguage));
        context.objects = &objects;
        context.language = &language;
        ClearListData();
        ListData maker;
        maker.ipAddress = 0x7F00000B;
        std::strcpy(maker.name, "Line 1");
        std::strcpy(maker.location, "Hall A");
        maker.isBCP = 1;
        maker.errorCode = 11;
        AddToListData(maker);
        ListData other;
        other.ipAddress = 0x7F00000C;
        other.isBCP = 0;
        AddToListData(other);
        all.list = all.popup = all.beep = all.mail = all.trapLog = true;
    }
    TrapEvent Event(int g, int s, uint32_t address = 0x7F00000B)
    {
        TrapEvent e;
        e.generic = g;
        e.specific = s;
        e.address = address;
        e.listIndex = FindListDatabyIPAddress(address);
        return e;
    }
    qavres::ObjectTable objects;
    qavres::StringTable language;
    ReadContext context;
    ChannelSettings all;
    Recorder rec;
};

TEST_F(TrapHandling, PaperJamReachesEveryChannelInOrder)
{
    TrapEvent e = Event(6, 11);
    e.bindings.Add(objects.Oid(kObjectTrapErrorCode) + ".0", 2, 11);
    e.bindings.Add(objects.Oid(kObjectDetail1) + ".0", 4, "job-7");
    const TrapOutcome out = HandleTrapEvent(e, all, context, "/opt/qav/sound", rec);
    EXPECT_TRUE(out.handled);
    const std::vector<std::string> expected = {"list", "popup", "sound /opt/qav/sound/PaperJam.wav", "mail", "log 11"};
    EXPECT_EQ(rec.calls, expected);
    EXPECT_EQ(rec.last.message, language.Get(760));
    EXPECT_EQ(rec.last.name, "Line 1");
    EXPECT_EQ(rec.last.location, "Hall A");
    EXPECT_EQ(rec.last.trapErrorCode, 11);
    EXPECT_EQ(rec.last.detail1, "job-7");
    EXPECT_EQ(rec.last.date.size(), 8u);
    EXPECT_EQ(rec.last.time.size(), 8u);
}

TEST_F(TrapHandling, UnknownEnterpriseTrapTakesThePrinterErrorRow)
{
    const TrapOutcome out = HandleTrapEvent(Event(6, 120), all, context, "s", rec);
    EXPECT_EQ(out.row, 51);
    const std::vector<std::string> expected = {"list", "popup", "sound s/PrinterError.wav", "mail", "log 98"};
    EXPECT_EQ(rec.calls, expected);
    EXPECT_EQ(rec.last.message, language.Get(781));
}

TEST_F(TrapHandling, StandardTrapsReachFewChannels)
{
    HandleTrapEvent(Event(2, 0), all, context, "s", rec);
    EXPECT_TRUE(rec.calls.empty()); // link down: every flag off
    HandleTrapEvent(Event(1, 0), all, context, "s", rec);
    EXPECT_EQ(rec.calls, std::vector<std::string>{"log 0"}); // warm start: the log only
    rec.calls.clear();
    HandleTrapEvent(Event(9, 3), all, context, "s", rec);
    EXPECT_TRUE(rec.calls.empty()); // the empty row
}

TEST_F(TrapHandling, OtherMakersPrinterProducesNothing)
{
    const TrapOutcome out = HandleTrapEvent(Event(6, 11, 0x7F00000C), all, context, "s", rec);
    EXPECT_FALSE(out.handled);
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(TrapHandling, SettingsAndTheListWindowState)
{
    ChannelSettings some;
    some.popup = true;
    some.trapLog = true;
    HandleTrapEvent(Event(6, 13), some, context, "s", rec);
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"popup", "log 13"}));
    rec.calls.clear();
    rec.mayOpen = false; // already open, a settings dialog, or busy
    HandleTrapEvent(Event(6, 13), all, context, "s", rec);
    EXPECT_EQ(rec.calls.front(), "popup");
}

TEST_F(TrapHandling, ARemovedPrinterIsFoundAgainOrDropped)
{
    TrapEvent e = Event(6, 11);
    e.listIndex = 1; // the list changed since the callback: index 1 is now another printer
    HandleTrapEvent(e, all, context, "s", rec);
    EXPECT_EQ(rec.last.name, "Line 1");
    ClearListData();
    rec.calls.clear();
    EXPECT_FALSE(HandleTrapEvent(Event(6, 11), all, context, "s", rec).handled);
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(TrapHandling, CallbackTakesListedMakersPrintersOnly)
{
    CQBPVb none;
    EXPECT_FALSE(AcceptTrap("127.0.0.99", 6, 11, "1.3.6.1.4.1.32473", none, context));
    EXPECT_FALSE(AcceptTrap("127.0.0.12", 6, 11, "1.3.6.1.4.1.32473", none, context));
    EXPECT_FALSE(AcceptTrap("garbage", 6, 11, "", none, context));
    auto e = AcceptTrap("127.0.0.11/161", 6, 11, "1.3.6.1.4.1.32473", none, context);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->listIndex, 0);
    EXPECT_EQ(e->address, 0x7F00000Bu);
    EXPECT_EQ(ParseSenderAddress("10.1.2.3:162"), 0x0A010203u);
}

} // namespace
