// The settings dialogs on the offscreen platform, under a private session
// bus (dbus-run-session): each dialog's checks on OK, what it writes, the
// broadcast it sends (and that an unchanged OK writes and sends nothing),
// the test mail against aiosmtpd, and the one-dialog rule across processes.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "Dialogs.h"
#include "MailPeer.h"
#include "qavplatform/Autostart.h"
#include "qavplatform/MessageBus.h"
#include "qavsettings/DataFolder.h"
#include "qavsettings/Profile.h"

using namespace nsetup;
using qavplatform::Message;
using qavtest::ReadFile;
using qavtest::TempDir;
using qavtest::WriteFile;
using qavsettings::SurveyConfig;

namespace {

using Box = std::tuple<BoxKind, int, int>;

// Everything a test sees: the boxes, the broadcasts and the data folder.
class DialogTest : public ::testing::Test {
protected:
    TempDir dir_;
    std::vector<Box> boxes_;
    std::vector<std::string> details_; // the detail line of each box
    std::vector<Message> messages_;
    std::unique_ptr<qavplatform::MessageReceiver> receiver_;

    void SetUp() override
    {
        if (qgetenv("DBUS_SESSION_BUS_ADDRESS").isEmpty()) GTEST_SKIP() << "run under dbus-run-session";
        std::filesystem::create_directories(Data(""));
        ::setenv("QAV_DATA_DIR", Data("").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", dir_.Path().c_str(), 1); // the lock files of this test alone
        SetMessageHandler([this](BoxKind kind, int caption, int text, const QString& detail) {
            boxes_.emplace_back(kind, caption, text);
            details_.push_back(detail.toStdString());
            return QMessageBox::Yes;
        });
        receiver_ = std::make_unique<qavplatform::MessageReceiver>();
        ASSERT_TRUE(receiver_->isListening()) << receiver_->errorText().toStdString();
        QObject::connect(receiver_.get(), &qavplatform::MessageReceiver::received,
                         [this](Message m, int) { messages_.push_back(m); });
        ASSERT_TRUE(EnsureLanguage());
    }
    void TearDown() override { SetMessageHandler({}); }

    std::string Data(const std::string& name) const { return dir_.File("data") + (name.empty() ? "" : "/" + name); }
    void CopyInitialFiles()
    {
        for (const auto& e : std::filesystem::directory_iterator(std::string(QAV_SOURCE_DIR) + "/settings/initial"))
            std::filesystem::copy_file(e.path(), Data(e.path().filename().string()));
    }
    std::map<std::string, std::string> Snapshot() const
    {
        std::map<std::string, std::string> files;
        // The inode too: a file rewritten with the same content is replaced
        // by a new one (the writer renames a temporary file over it).
        for (const auto& e : std::filesystem::directory_iterator(Data(""))) {
            struct stat st {};
            ::stat(e.path().c_str(), &st);
            files[e.path().filename().string()] = ReadFile(e.path().string()) + "#" + std::to_string(st.st_ino);
        }
        return files;
    }
    // Runs the event loop for a while, or until `count` broadcasts came.
    void Wait(size_t count, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (messages_.size() < count && t.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    std::string Value(const char* file, const char* section, const char* key) const
    {
        return qavsettings::ReadProfileString(section, key, "<missing>", 300, Data(file));
    }
    bool Closed(const QDialog& d) const { return d.result() == QDialog::Accepted; }
};

TEST_F(DialogTest, UnchangedOkWritesAndBroadcastsNothing)
{
    CopyInitialFiles();
    WriteFile(Data(qavsettings::kLogConfigFile),
              "[Trap]\nToBeLogged=1\nFilename=" + dir_.File("trap.log") + "\nMaximumSize=64\n");
    const auto before = Snapshot();
    {
        CNSETUPMgmtSetting d;
        d.okButton->click();
        EXPECT_TRUE(Closed(d));
    }
    {
        CNSETUPSearchSetting d;
        d.okButton->click();
        EXPECT_TRUE(Closed(d));
    }
    {
        CNSETUPSurveillanceSetting d;
        d.okButton->click();
        EXPECT_TRUE(Closed(d));
    }
    {
        CNSETUPLogSetting d;
        d.okButton->click();
        EXPECT_TRUE(Closed(d));
    }
    Wait(1, 700);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(qavplatform::HasAutostart(qavplatform::kMonitorAutostartName));

    // Without any file: nothing is created either.
    std::filesystem::remove_all(Data(""));
    std::filesystem::create_directories(Data(""));
    CNSETUPSurveillanceSetting d;
    d.okButton->click();
    EXPECT_TRUE(Closed(d));
    EXPECT_TRUE(Snapshot().empty());
}

TEST_F(DialogTest, SurveillanceRefreshLimitAndBroadcast)
{
    WriteFile(Data(qavsettings::kSurveyConfigFile), "[Polling]\nPolling=1\nTaskDuration=60\nListDuration=30\n");
    const std::string before = ReadFile(Data(qavsettings::kSurveyConfigFile));
    CNSETUPSurveillanceSetting d;
    EXPECT_EQ(d.listEdit->text(), "3");
    // Typed text is kept to 720 at once ...
    d.detailedEdit->setText("9999");
    EXPECT_EQ(d.detailedEdit->text(), "720");
    d.detailedEdit->setText("abc");
    EXPECT_EQ(d.detailedEdit->text(), "");
    // ... and the OK refuses 721 should it get there.
    d.listEdit->blockSignals(true);
    d.listEdit->setText("721");
    d.listEdit->blockSignals(false);
    d.okButton->click();
    EXPECT_FALSE(Closed(d));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0], Box(BoxKind::kError, 4050, 4063));
    EXPECT_EQ(ReadFile(Data(qavsettings::kSurveyConfigFile)), before);

    d.listEdit->setText("720");
    d.trap->setChecked(false);
    d.notifyBeep->setChecked(true);
    d.okButton->click();
    EXPECT_TRUE(Closed(d));
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kInformation, 4050, 4062));
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Polling", "ListDuration"), "7200");
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Polling", "DetailedDuration"), "0");
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Notification", "Beep"), "1");
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Polling", "TaskDuration"), "60");
    Wait(1, 5000);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], Message::SurveillanceOptionsChanged);
}

TEST_F(DialogTest, SurveillanceMailChecksAndTestMail)
{
    qavtest::MailPeer peer;
    const std::string address = qavtest::LoopbackAddress(40);
    ASSERT_TRUE(peer.Start("accept", address, qavtest::FreeTcpPort(address))) << peer.Log();

    CNSETUPSurveillanceSetting d;
    d.notifyMail->setChecked(true);
    TestMailResult tried;
    d.runMail = [&](CNSETUPMailSetting& mail) {
        mail.server->setText(QString::fromStdString(peer.Server()));
        mail.senderAddress->setText("monitor@example.test");
        QTest::keyClicks(mail.accountUser, "q@a.v");
        EXPECT_EQ(mail.accountUser->text(), "qav"); // "@" and "." refused as typed
        mail.accountUser->clear();                 // no account: form 1 only
        mail.runRecipients = [](CNSETUPUserSetting& r) {
            r.user.sendmail->setChecked(true);
            r.user.address->setText("one@example.test;two.example.test"); // the second lacks "@"
            r.user.conditions[0]->setChecked(true);
            r.okButton->click();
        };
        mail.recipientsButton->click();
        EXPECT_EQ(mail.userList->text(), "one@example.test;two.example.test");
        mail.okButton->click();
    };
    d.mailButton->click();
    d.okButton->click();
    EXPECT_FALSE(Closed(d));
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4070, 4093));

    // The test mail with the invalid list fails, says why, and stores an
    // empty SourceAuth.
    d.runMail = [&](CNSETUPMailSetting& mail) { tried = mail.TestMail(); };
    d.mailButton->click();
    EXPECT_EQ(tried.outcome, TestMailResult::kFailed);
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4070, 4108));
    EXPECT_EQ(details_.back(), T(4093).toStdString());
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Mail", "SourceAuth"), "");

    // Corrected, it goes through with form 1, which is stored at once.
    d.runMail = [&](CNSETUPMailSetting& mail) {
        mail.userList->setText("one@example.test;two@example.test");
        tried = mail.TestMail();
        mail.okButton->click();
    };
    d.mailButton->click();
    EXPECT_EQ(tried.outcome, TestMailResult::kSent) << tried.lastError;
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kInformation, 4070, 4107));
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Mail", "SourceAuth"), "1");
    ASSERT_TRUE(peer.WaitForEvents("mail", 1));
    EXPECT_EQ(peer.Mails()[0].rcptTos, (std::vector<std::string>{"one@example.test", "two@example.test"}));

    d.okButton->click();
    EXPECT_TRUE(Closed(d));
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "User", "Address"), "one@example.test;two@example.test");
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "User", "Paper"), "1");
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Notification", "Mail"), "1");
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Mail", "SourceAuth"), "1");
}

// The mail connection's port, security and authorities: shown as stored,
// the test mail over STARTTLS to a server that takes nothing before it, and
// written with the other mail settings.
TEST_F(DialogTest, MailOverStartTls)
{
    qavtest::MailPeer peer;
    const std::string address = qavtest::LoopbackAddress(44);
    const int port = qavtest::FreeTcpPort(address);
    ASSERT_TRUE(peer.StartSecure("plain", "starttls", address, port)) << peer.Log();
    WriteFile(Data(qavsettings::kSurveyConfigFile), "[Mail]\nSourceServer=" + address +
                                                        "\nSourcePort=2599\nSourceSecurity=SSL\n");

    CNSETUPSurveillanceSetting d;
    d.notifyMail->setChecked(true);
    TestMailResult tried;
    d.runMail = [&](CNSETUPMailSetting& mail) {
        EXPECT_EQ(mail.port->text(), "2599");
        EXPECT_EQ(mail.security->currentIndex(), -1) << "a stored value that names no choice";
        EXPECT_EQ(mail.security->count(), 3);
        EXPECT_EQ(mail.security->itemText(1), "STARTTLS");
        EXPECT_EQ(mail.Edited().sourceSecurity, "SSL") << "kept unless another is chosen";
        mail.senderAddress->setText("monitor@example.test");
        mail.userList->setText("one@example.test");
        mail.runRecipients = [](CNSETUPUserSetting& r) {
            r.user.sendmail->setChecked(true);
            r.okButton->click();
        };
        mail.recipientsButton->click();
        // Refused before anything is sent: the security names no choice.
        tried = mail.TestMail();
        EXPECT_EQ(tried.refusal, 4104);
        mail.security->setCurrentIndex(0);
        EXPECT_EQ(mail.port->placeholderText(), "25");
        mail.security->setCurrentIndex(2);
        EXPECT_EQ(mail.port->placeholderText(), "465") << "the standard port of TLS shows in the empty field";
        mail.security->setCurrentIndex(1);
        mail.port->setText(QString::number(port));
        mail.caFile->setText(QString::fromStdString(peer.CertFile()));
        mail.accountUser->setText("qav");
        mail.accountPassword->setText("secret");
        tried = mail.TestMail();
        mail.okButton->click();
    };
    d.mailButton->click();
    EXPECT_EQ(tried.outcome, TestMailResult::kSent) << tried.lastError;
    EXPECT_EQ(tried.form, 3) << "PLAIN, after STARTTLS";
    ASSERT_TRUE(peer.WaitForEvents("mail", 1));
    EXPECT_EQ(peer.Mails()[0].authMechanism, "PLAIN");
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Mail", "SourceAuth"), "3");

    d.okButton->click();
    EXPECT_TRUE(Closed(d));
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Mail", "SourcePort"), std::to_string(port));
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Mail", "SourceSecurity"), "STARTTLS");
    EXPECT_EQ(Value(qavsettings::kSurveyConfigFile, "Mail", "SourceCAFile"), peer.CertFile());

    // Shown again as stored; a port that is no port keeps the OK open.
    CNSETUPSurveillanceSetting again;
    again.runMail = [&](CNSETUPMailSetting& mail) {
        EXPECT_EQ(mail.security->currentIndex(), 1);
        EXPECT_EQ(mail.caFile->text().toStdString(), peer.CertFile());
        mail.port->setText("70000");
        mail.okButton->click();
    };
    again.mailButton->click();
    again.okButton->click();
    EXPECT_FALSE(Closed(again));
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4070, 4103));
}

TEST_F(DialogTest, SearchRangesImportAndExport)
{
    WriteFile(Data(qavsettings::kSearchConfigFile),
              "[Criteria]\nBroadcast=0\n[Ranges]\nCount=3\n[Ranges.1]\nStartIP=10.0.0.1\nEndIP=10.0.0.9\n"
              "[Ranges.2]\nStartIP=\n[Ranges.3]\nStartIP=10.0.1.5\nEndIP=10.0.1.5\n[Timeout]\nTimeoutSeconds=12\n");
    CNSETUPSearchSetting d;
    ASSERT_EQ(d.rangeList->count(), 2);
    EXPECT_EQ(d.rangeList->item(0)->text(), "10.0.0.1 - 10.0.0.9");
    EXPECT_EQ(d.rangeList->item(1)->text(), "10.0.1.5");

    d.startEdit->setText("0.0.0.0");
    EXPECT_FALSE(d.AddRange());
    d.startEdit->setText("255.255.255.255");
    EXPECT_FALSE(d.AddRange());
    EXPECT_EQ(d.rangeList->count(), 2);

    d.startEdit->setText("192.168.5.200");
    QTest::keyClicks(d.endEdit, "20");
    d.addButton->click(); // reversed: kept in ascending order
    ASSERT_EQ(d.rangeList->count(), 3);
    EXPECT_EQ(d.rangeList->item(2)->text(), "192.168.5.20 - 192.168.5.200");

    // No range and no broadcast search: refused.
    const auto kept = ReadFile(Data(qavsettings::kSearchConfigFile));
    for (int i = 0; i < 3; ++i) {
        d.rangeList->setCurrentRow(0);
        d.deleteButton->click();
    }
    d.okButton->click();
    EXPECT_FALSE(Closed(d));
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4030, 4047));
    d.broadcast->setChecked(true);
    d.timeoutEdit->clear();
    d.okButton->click();
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4030, 4048));
    EXPECT_EQ(ReadFile(Data(qavsettings::kSearchConfigFile)), kept);

    // Import a copy, export it again, save.
    const std::string copy = dir_.File("copy.qso");
    WriteFile(copy, "[Criteria]\nBroadcast=1\n[Ranges]\nCount=1\n[Ranges.1]\nStartIP=172.16.0.1\nEndIP=172.16.0.40\n"
                    "[Timeout]\nTimeoutSeconds=45\n");
    SetFileNameHandler([&](bool, const QString&) { return QString::fromStdString(copy); });
    d.importButton->click();
    EXPECT_EQ(d.rangeList->count(), 1);
    EXPECT_EQ(d.timeoutEdit->text(), "45");
    const std::string exported = dir_.File("exported.qso");
    SetFileNameHandler([&](bool, const QString&) { return QString::fromStdString(exported); });
    d.exportButton->click();
    SetFileNameHandler({});
    EXPECT_EQ(qavsettings::ReadProfileString("Ranges.1", "EndIP", "", 20, exported), "172.16.0.40");
    d.okButton->click();
    EXPECT_TRUE(Closed(d));
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kInformation, 4030, 4043));
    EXPECT_EQ(Value(qavsettings::kSearchConfigFile, "Ranges", "Count"), "1");
    EXPECT_EQ(Value(qavsettings::kSearchConfigFile, "Ranges.1", "StartIP"), "172.16.0.1");
    EXPECT_EQ(Value(qavsettings::kSearchConfigFile, "Timeout", "TimeoutSeconds"), "45");
    Wait(1, 500);
    EXPECT_TRUE(messages_.empty()); // the search settings have no change message
}

TEST_F(DialogTest, ManagementPasswordCommunityAndAutostart)
{
    WriteFile(Data(qavsettings::kMgmtConfigFile),
              "[Startup]\nAskPassword=0\nUseSystemDefault=1\n[Password]\nPassword=" + qavsettings::Rot13("Old-1") +
                  "\n[Community]\nReadCommunityName=public\nWriteCommunityName=private\n");
    CNSETUPMgmtSetting d;
    EXPECT_FALSE(d.passwordButton->isEnabled());
    d.askPassword->setChecked(true);
    EXPECT_TRUE(d.passwordButton->isEnabled());

    auto answer = [](const char* old, const char* fresh, const char* confirm) {
        return [=](CNSETUPPasswordSetting& p) {
            p.oldEdit->setText(old);
            p.newEdit->setText(fresh);
            p.confirmEdit->setText(confirm);
            p.okButton->click();
            if (p.result() != QDialog::Accepted) p.reject();
        };
    };
    d.runPassword = answer("wrong", "New-2", "New-2");
    d.passwordButton->click();
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4010, 4014));
    d.runPassword = answer("old-1", "New-2", "new-3");
    d.passwordButton->click();
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4010, 4015));
    d.runPassword = answer("OLD-1", "New-2", "new-2");
    d.passwordButton->click();

    d.runCommunity = [](CNSETUPCommunitySetting& c) {
        c.writeEdit->clear();
        c.okButton->click();
        EXPECT_NE(c.result(), QDialog::Accepted);
        c.writeEdit->setText("secret-w");
        c.okButton->click();
    };
    d.communityButton->click();
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4020, 4023));

    d.startAtBoot->setChecked(true);
    d.okButton->click();
    EXPECT_TRUE(Closed(d));
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kInformation, 4000, 4006));
    EXPECT_EQ(Value(qavsettings::kMgmtConfigFile, "Password", "Password"), qavsettings::Rot13("New-2"));
    EXPECT_EQ(Value(qavsettings::kMgmtConfigFile, "Startup", "AskPassword"), "1");
    EXPECT_EQ(Value(qavsettings::kMgmtConfigFile, "Startup", "UseSystemDefault"), "0");
    EXPECT_EQ(Value(qavsettings::kMgmtConfigFile, "Startup", "StartAtBoot"), "1");
    EXPECT_EQ(Value(qavsettings::kMgmtConfigFile, "Community", "WriteCommunityName"), "secret-w");
    ASSERT_TRUE(qavplatform::HasAutostart(qavplatform::kMonitorAutostartName));
    const auto command = qavplatform::AutostartCommand(qavplatform::kMonitorAutostartName);
    ASSERT_FALSE(command.empty());
    EXPECT_EQ(std::filesystem::path(command[0]).filename(), "nwatch");

    // The box shows the entry; switching it off removes the entry.
    CNSETUPMgmtSetting again;
    EXPECT_TRUE(again.startAtBoot->isChecked());
    again.startAtBoot->setChecked(false);
    again.okButton->click();
    EXPECT_FALSE(qavplatform::HasAutostart(qavplatform::kMonitorAutostartName));
    EXPECT_EQ(Value(qavsettings::kMgmtConfigFile, "Startup", "StartAtBoot"), "0");
    Wait(1, 300);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(DialogTest, LogChecksWriteAndBroadcast)
{
    CNSETUPLogSetting d;
    d.trapLog.on->setChecked(true);
    d.okButton->click();
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4120, 4192));
    d.trapLog.filename->setText(QString::fromStdString(dir_.File("no-such-folder/trap.log")));
    d.okButton->click();
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4120, 4191));
    d.trapLog.filename->setText(QString::fromStdString(dir_.File("trap.log")));
    d.trapLog.maximumSize->setText("0");
    d.okButton->click();
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kWarning, 4120, 4193));
    EXPECT_FALSE(Closed(d));
    EXPECT_FALSE(std::filesystem::exists(Data(qavsettings::kLogConfigFile)));

    d.trapLog.maximumSize->setText("128");
    d.envLog.on->setChecked(true);
    d.envLog.filename->setText(QString::fromStdString(dir_.File("env.log")));
    d.envLog.maximumSize->setText("256");
    d.cycle->setCurrentIndex(1); // weekly
    d.day->setCurrentIndex(2);   // the third day name
    d.time->setTime(QTime(7, 5, 0));
    d.okButton->click();
    EXPECT_TRUE(Closed(d));
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kInformation, 4120, 4190));
    EXPECT_EQ(Value(qavsettings::kLogConfigFile, "Trap", "ToBeLogged"), "1");
    EXPECT_EQ(Value(qavsettings::kLogConfigFile, "Trap", "MaximumSize"), "128");
    EXPECT_EQ(Value(qavsettings::kLogConfigFile, "Environmental", "Cycle"), T(4146).toStdString());
    EXPECT_EQ(Value(qavsettings::kLogConfigFile, "Environmental", "Day"), "3");
    EXPECT_EQ(Value(qavsettings::kLogConfigFile, "Environmental", "Time"), "7:5:0");
    Wait(1, 5000);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], Message::LogSettingsChanged);

    // Read back as it was written.
    CNSETUPLogSetting again;
    EXPECT_EQ(again.cycle->currentIndex(), 1);
    EXPECT_EQ(again.day->currentIndex(), 2);
    EXPECT_EQ(again.time->time(), QTime(7, 5, 0));
}

TEST_F(DialogTest, TestMailAlwaysAnswersWithTheReason)
{
    // Nobody takes part: nothing is sent, and the box says so.
    CNSETUPMailSetting none(SurveyConfig{}, nullptr);
    none.server->setText(QString::fromStdString(qavtest::LoopbackAddress(41) + ":25"));
    none.senderAddress->setText("monitor@example.test");
    none.userList->setText("one@example.test");
    EXPECT_EQ(none.TestMail().outcome, TestMailResult::kNothingToSend);
    ASSERT_EQ(boxes_.size(), 2u) << "the question, then the answer";
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kInformation, 4070, 4106));

    // A server that cannot be reached: the mail library's own text.
    SurveyConfig c;
    c.user.sendmail = 1;
    const std::string silent = qavtest::LoopbackAddress(42);
    CNSETUPMailSetting unreachable(c, nullptr);
    unreachable.server->setText(QString::fromStdString(silent + ":" + std::to_string(qavtest::FreeTcpPort(silent))));
    unreachable.senderAddress->setText("monitor@example.test");
    unreachable.userList->setText("one@example.test");
    EXPECT_EQ(unreachable.TestMail().outcome, TestMailResult::kFailed);
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4070, 4108));
    EXPECT_EQ(details_.back(), "Cant connect Server 10060");

    // A server that refuses a recipient: its reply code is in the reason.
    qavtest::MailPeer peer;
    const std::string address = qavtest::LoopbackAddress(43);
    ASSERT_TRUE(peer.Start("refuse2", address, qavtest::FreeTcpPort(address))) << peer.Log();
    CNSETUPMailSetting refused(c, nullptr);
    refused.server->setText(QString::fromStdString(peer.Server()));
    refused.senderAddress->setText("monitor@example.test");
    refused.userList->setText("one@example.test;two@example.test");
    EXPECT_EQ(refused.TestMail().outcome, TestMailResult::kFailed);
    EXPECT_EQ(boxes_.back(), Box(BoxKind::kError, 4070, 4108));
    EXPECT_NE(details_.back().find("550"), std::string::npos) << details_.back();

    // No sender address: the check's text.
    refused.senderAddress->clear();
    EXPECT_EQ(refused.TestMail().outcome, TestMailResult::kFailed);
    EXPECT_EQ(details_.back(), T(4092).toStdString());
}

TEST_F(DialogTest, ConditionsAreLabelledWithTheirTexts)
{
    CNSETUPUserSetting d(SurveyConfig{}, nullptr);
    std::set<QString> labels;
    for (int i = 0; i < qavsettings::kConditionCount; ++i) {
        const QString label = d.user.conditions[i]->text();
        EXPECT_EQ(label, T(kConditionTextBase + i)) << qavsettings::kConditionKeys[i];
        EXPECT_NE(label, qavsettings::kConditionKeys[i]);
        EXPECT_EQ(d.administrator.conditions[i]->text(), label);
        labels.insert(label);
    }
    EXPECT_EQ(labels.size(), static_cast<size_t>(qavsettings::kConditionCount)) << "24 different texts";
    EXPECT_EQ(T(kConditionTextBase + 5), "Paper jam") << "PaperJam";
    EXPECT_EQ(T(kConditionTextBase + 23), "Other printer errors") << "PrinterError";

    // The file dialogs' filters come from the language texts as well.
    QString filter;
    SetFileNameHandler([&](bool, const QString& f) {
        filter = f;
        return QString();
    });
    CNSETUPSearchSetting search;
    search.importButton->click();
    SetFileNameHandler({});
    EXPECT_EQ(filter, T(4044) + "(*.qso);;" + T(4045) + "(*)");
}

TEST_F(DialogTest, AutostartFailureIsReportedOnItsOwn)
{
    WriteFile(Data(qavsettings::kMgmtConfigFile), "[Startup]\nShowList=0\n[Community]\nReadCommunityName=public\n"
                                                  "WriteCommunityName=private\n");
    // The autostart folder cannot be made: its parent is a file.
    WriteFile(dir_.File("not-a-folder"), "");
    ::setenv("XDG_CONFIG_HOME", dir_.File("not-a-folder").c_str(), 1);
    CNSETUPMgmtSetting d;
    d.startAtBoot->setChecked(true);
    d.showList->setChecked(true);
    d.okButton->click();
    EXPECT_TRUE(Closed(d));
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[0], Box(BoxKind::kInformation, 4000, 4006)) << "the settings were saved";
    EXPECT_EQ(boxes_[1], Box(BoxKind::kError, 4000, 4007)) << "the start at logon failed on its own";
    EXPECT_FALSE(details_[1].empty());
    EXPECT_EQ(Value(qavsettings::kMgmtConfigFile, "Startup", "ShowList"), "1");
    EXPECT_EQ(Value(qavsettings::kMgmtConfigFile, "Startup", "StartAtBoot"), "0") << "what really exists";
    EXPECT_FALSE(qavplatform::HasAutostart(qavplatform::kMonitorAutostartName));
}

TEST_F(DialogTest, SecretsAreKeptFromOtherUsers)
{
    // Installed by hand, readable by everyone: the next save tightens it.
    WriteFile(Data(qavsettings::kMgmtConfigFile), "[Password]\nPassword=\n");
    ::chmod(Data(qavsettings::kMgmtConfigFile).c_str(), 0644);
    CNSETUPMgmtSetting d;
    d.showList->setChecked(true);
    d.okButton->click();
    struct stat st {};
    ASSERT_EQ(::stat(Data(qavsettings::kMgmtConfigFile).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The mail password's file is made 0600 when the dialog creates it.
    CNSETUPSurveillanceSetting s;
    s.notifyBeep->setChecked(true);
    s.okButton->click();
    ASSERT_EQ(::stat(Data(qavsettings::kSurveyConfigFile).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// The monitor running beside the dialogs follows their change messages:
// polling rearmed, trap reception stopped and started again, the trap log
// reopened with the new settings.
TEST_F(DialogTest, RunningMonitorFollowsTheDialogs)
{
    CopyInitialFiles();
    WriteFile(Data(qavsettings::kSurveyConfigFile), "[Polling]\nPolling=1\nTaskDuration=60\nTrap=1\n");
    const int port = [] {
        const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        socklen_t len = sizeof sa;
        ::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
        ::close(s);
        return static_cast<int>(ntohs(sa.sin_port));
    }();
    ::setenv("QAV_TRAP_PORT", std::to_string(port).c_str(), 1);
    qavtest::ChildProcess monitor;
    ASSERT_TRUE(monitor.Start({std::string(QAV_BINARY_DIR) + "/bin/nwatch"}, dir_.File("nwatch.log"),
                              {{"QT_QPA_PLATFORM", "offscreen"}, {"QAV_TRACE", "1"}}));
    auto waitFor = [&](const std::string& text) {
        QElapsedTimer t;
        t.start();
        while (monitor.Log().find(text) == std::string::npos && t.elapsed() < 15000) QTest::qWait(20);
        return monitor.Log().find(text) != std::string::npos;
    };
    ASSERT_TRUE(waitFor("polling every 60 s, traps on")) << monitor.Log();
    EXPECT_EQ(CheckTrapPort(port), TrapPortState::kUnavailable); // the monitor receives there

    {
        CNSETUPSurveillanceSetting d;
        d.polling->setChecked(false);
        d.trap->setChecked(false);
        d.okButton->click();
    }
    ASSERT_TRUE(waitFor("surveillance options: polling off, traps off")) << monitor.Log();
    EXPECT_EQ(CheckTrapPort(port), TrapPortState::kFree);
    {
        CNSETUPSurveillanceSetting d;
        d.polling->setChecked(true);
        d.taskEdit->setText("5");
        d.trap->setChecked(true);
        d.okButton->click();
    }
    ASSERT_TRUE(waitFor("surveillance options: polling every 5 s, traps on")) << monitor.Log();
    EXPECT_EQ(CheckTrapPort(port), TrapPortState::kUnavailable);
    {
        CNSETUPLogSetting d;
        d.trapLog.on->setChecked(true);
        d.trapLog.filename->setText(QString::fromStdString(dir_.File("trap.log")));
        d.trapLog.maximumSize->setText("10");
        d.envLog.on->setChecked(false);
        d.okButton->click();
    }
    ASSERT_TRUE(waitFor("log settings: trap log " + dir_.File("trap.log"))) << monitor.Log();
    ::unsetenv("QAV_TRAP_PORT");
    monitor.Stop();
}

TEST_F(DialogTest, SecondDialogFromAnotherProcessIsRefused)
{
    qavtest::ChildProcess holder;
    ASSERT_TRUE(holder.Start({std::string(QAV_BINARY_DIR) + "/bin/nsetup_tool", "--hold", "LogSetup",
                              std::string(QAV_BINARY_DIR) + "/lib/libnsetup.so"},
                             dir_.File("holder.log"), {{"QT_QPA_PLATFORM", "offscreen"}}));
    QElapsedTimer t;
    t.start();
    while (holder.Log().find("open") == std::string::npos && t.elapsed() < 15000) QTest::qWait(20);
    ASSERT_NE(holder.Log().find("open " + T(4120).toStdString()), std::string::npos) << holder.Log();

    bool ran = false;
    EXPECT_FALSE(RunSetupDialog([&] { return ran = true; }));
    EXPECT_FALSE(ran);
    EXPECT_EQ(DisplayFlag(), 0);

    holder.Stop();
    int flagInside = -1;
    EXPECT_TRUE(RunSetupDialog([&] {
        flagInside = DisplayFlag();
        return ran = true;
    }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(flagInside, 1);
    EXPECT_EQ(DisplayFlag(), 0);
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
