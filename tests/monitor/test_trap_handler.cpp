// The trap handler's decisions: which traps are taken, and which channels
// each one reaches.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "nlist/Nlist.h"
#include "nwatch/TrapHandler.h"
#include "nwatch/TrapIntake.h"
#include "qavplatform/Address.h"
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

TEST(SenderAddress, TheDottedAddressAtTheStartOfTheText)
{
    EXPECT_EQ(ParseSenderAddress("10.1.2.3"), 0x0A010203u);
    EXPECT_EQ(ParseSenderAddress("10.1.2.3:162"), 0x0A010203u);
    EXPECT_EQ(ParseSenderAddress("127.0.0.11/161"), 0x7F00000Bu);
    EXPECT_EQ(ParseSenderAddress("garbage"), 0u);
    EXPECT_EQ(ParseSenderAddress("1.2.3"), 0u);
    EXPECT_EQ(ParseSenderAddress("1.2.3.256"), 0u);
    EXPECT_EQ(ParseSenderAddress("1.2.3.4.5"), 0u);
    EXPECT_EQ(ParseSenderAddress(" 1.2.3.4"), 0u);
    EXPECT_EQ(ParseSenderAddress(nullptr), 0u);
}

// The receiving thread's part, with a check that the test controls in
// place of asking a printer.
class Intake : public ::testing::Test {
protected:
    static constexpr uint32_t kKnown = 0x7F00000B;   // listed, the maker's
    static constexpr uint32_t kOther = 0x7F00000C;   // listed, another maker's
    static constexpr uint32_t kUnknown = 0x7F00000D; // listed, not known yet
    static constexpr uint32_t kSilent = 0x7F00000E;  // listed, not known yet, never answers

    void SetUp() override
    {
        ClearListData();
        for (auto [address, flag] : {std::pair{kKnown, 1}, {kOther, 0}, {kUnknown, -1}, {kSilent, -1}}) {
            ListData r;
            r.ipAddress = address;
            r.isBCP = flag;
            AddToListData(r);
        }
    }
    std::unique_ptr<TrapIntake> Make(TrapIntake::Options options = {})
    {
        auto intake = std::make_unique<TrapIntake>(
            [this] {
                ReadContext c;
                std::lock_guard<std::mutex> lock(mutex);
                c.readCommunity = community;
                return c;
            },
            [this](TrapEvent&& e) {
                std::lock_guard<std::mutex> lock(mutex);
                delivered.push_back(qavplatform::AddressText(e.address) + " " + std::to_string(e.specific));
                deliveredAt.push_back(std::chrono::steady_clock::now());
                cv.notify_all();
            },
            options);
        intake->SetCheck([this](uint32_t address, const ReadContext&, bool* answered) {
            std::unique_lock<std::mutex> lock(mutex);
            ++asked[address];
            if (address == kSilent) {
                silence.wait_for(lock, silentFor); // nobody wakes it: the time-out runs out
                *answered = false;
                return 0;
            }
            cv.wait(lock, [this] { return release; });
            *answered = true;
            const int index = FindListDatabyIPAddress(address);
            if (index >= 0) SetBCPFlagListData(index, 1);
            return 1;
        });
        return intake;
    }
    void Send(TrapIntake& intake, uint32_t address, int specific)
    {
        intake.Accept(qavplatform::AddressText(address).c_str(), 6, specific, "1.3.6.1.4.1.32473", bindings);
    }
    bool WaitForDelivered(size_t count, int ms = 5000)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return delivered.size() >= count; });
    }
    std::vector<std::string> Delivered()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return delivered;
    }
    int Asked(uint32_t address)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return asked[address];
    }
    void Release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
        cv.notify_all();
    }

    std::mutex mutex;
    std::condition_variable cv, silence;
    std::vector<std::string> delivered;
    std::vector<std::chrono::steady_clock::time_point> deliveredAt;
    std::map<uint32_t, int> asked;
    bool release = false;
    std::chrono::milliseconds silentFor{2000}; // a printer that does not answer: time-out and retry
    std::string community = "public";
    CQBPVb bindings;
};

TEST_F(Intake, ListedMakersPrintersOnly)
{
    auto intake = Make();
    Send(*intake, kKnown, 11);
    Send(*intake, kOther, 11);
    Send(*intake, 0x7F000063, 11); // not listed
    intake->Accept("garbage", 6, 11, "", bindings);
    EXPECT_EQ(Delivered(), std::vector<std::string>{"127.0.0.11 11"});
    EXPECT_EQ(intake->GetCounts().dropped, 3u);
    EXPECT_EQ(Asked(kOther), 0);
}

// A printer not known yet is asked off the receiving thread; its traps wait
// for the answer in their order, and traps of a known printer go on.
TEST_F(Intake, UnknownPrinterIsAskedAsideWhileOthersGoOn)
{
    auto intake = Make();
    Send(*intake, kUnknown, 11);
    Send(*intake, kUnknown, 12);
    Send(*intake, kKnown, 13);
    ASSERT_TRUE(WaitForDelivered(1));
    EXPECT_EQ(Delivered(), std::vector<std::string>{"127.0.0.11 13"});
    Send(*intake, kUnknown, 14); // still under check: waits behind the others
    Release();
    ASSERT_TRUE(WaitForDelivered(4));
    EXPECT_EQ(Delivered(), (std::vector<std::string>{"127.0.0.11 13", "127.0.0.13 11", "127.0.0.13 12",
                                                     "127.0.0.13 14"}));
    EXPECT_EQ(Asked(kUnknown), 1);
    Send(*intake, kUnknown, 15); // known now: on at once, nobody asked
    EXPECT_EQ(Delivered().back(), "127.0.0.13 15");
    EXPECT_EQ(Asked(kUnknown), 1);
}

// Forty datagrams from a listed printer that never answers cost the
// receiving thread nothing, and another printer's paper jam goes on at once.
TEST_F(Intake, SilentPrinterHoldsUpNobody)
{
    auto intake = Make();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 40; ++i) Send(*intake, kSilent, 11);
    Send(*intake, kKnown, 11);
    const auto accepted = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(WaitForDelivered(1));
    EXPECT_LT(accepted, std::chrono::milliseconds(200));
    EXPECT_LT(deliveredAt[0] - start, std::chrono::milliseconds(200));
    EXPECT_EQ(Delivered(), std::vector<std::string>{"127.0.0.11 11"});
    for (int i = 0; i < 100 && Asked(kSilent) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int i = 0; i < 10; ++i) Send(*intake, kSilent, 11);
    EXPECT_EQ(Asked(kSilent), 1); // one check for all fifty
}

// A printer that did not answer is not asked again for every datagram:
// only after the pause, or at once when the communities changed.
TEST_F(Intake, UnansweredCheckPausesTheQuestions)
{
    silentFor = std::chrono::milliseconds(10);
    TrapIntake::Options options;
    options.retryAfter = std::chrono::milliseconds(300);
    auto intake = Make(options);
    Send(*intake, kSilent, 11);
    for (int i = 0; i < 100 && intake->GetCounts().unanswered == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(intake->GetCounts().unanswered, 1u);
    for (int i = 0; i < 10; ++i) Send(*intake, kSilent, 11);
    EXPECT_EQ(Asked(kSilent), 1);
    EXPECT_TRUE(Delivered().empty());

    {
        std::lock_guard<std::mutex> lock(mutex);
        community = "changed";
    }
    Send(*intake, kSilent, 11);
    for (int i = 0; i < 100 && intake->GetCounts().unanswered < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(Asked(kSilent), 2);

    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    Send(*intake, kSilent, 11);
    for (int i = 0; i < 100 && intake->GetCounts().unanswered < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(Asked(kSilent), 3);
}

// Stopping drops what waits and refuses what comes.
TEST_F(Intake, StopDropsWaitingTraps)
{
    auto intake = Make();
    Send(*intake, kUnknown, 11);
    std::thread release([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Release();
    });
    intake->Stop();
    release.join();
    Send(*intake, kKnown, 11);
    EXPECT_TRUE(Delivered().empty());
}

} // namespace
