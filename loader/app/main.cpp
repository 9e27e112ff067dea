// nload: the download tool of the QAV network tool set.
#include <QApplication>

#include <string>
#include <vector>

#include "Activation.h"
#include "MainWindow.h"
#include "PrinterDialogs.h"
#include "Texts.h"
#include "nload/LiveEnvironment.h"
#include "nload/Printer.h"
#include "nload/Setup.h"
#include "qavplatform/NamedLocks.h"
#include "qavplatform/Result.h"
#include "qavsettings/SettingsFiles.h"

namespace {

// Start-up messages.
constexpr int kInvalidCommandLine = 6000;
// Shown when the texts themselves cannot be loaded.
constexpr const char* kTextsMissing = "The resource library could not be loaded.";
constexpr int kColumnCount = 10000;
constexpr int kActivationWaitMs = 3000;

std::string Describe(const std::vector<nload::PrinterInfo>& printers)
{
    std::string text;
    for (const nload::PrinterInfo& p : printers) {
        text += (text.empty() ? "" : ", ") + p.PortText();
        if (!p.WhereText().empty()) text += " " + p.WhereText();
        if (!p.name.empty()) text += " \"" + p.name + "\"";
    }
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("nload");
    QApplication::setApplicationDisplayName(QString::fromLatin1(nloadui::kAppTitle));

    std::string error;
    if (!nload::LoadTexts(nloadui::Texts(), &error)) {
        nloadui::Message(nullptr, nloadui::Box::kError, QString::fromLatin1(kTextsMissing), nloadui::Q(error));
        return 1;
    }
    // One tool per user: a second start brings the first one forward.
    qavplatform::SingleInstance instance;
    if (!instance.Acquire(nloadui::kInstanceName, &error)) {
        if (instance.Result() == qavplatform::kErrBusy) {
            QString why;
            const bool asked = nloadui::ActivateRunningTool(kActivationWaitMs, &why);
            nloadui::Trace(asked ? "another nload runs: brought it forward"
                                 : "another nload runs and did not answer: " + why.toStdString());
            return 0;
        }
        nloadui::Trace("running without the single-instance lock: " + error);
    }

    const nload::StartRequest request = nload::ParseArguments({argv + 1, argv + argc});
    if (!request.valid) {
        nloadui::Message(nullptr, nloadui::Box::kError, kInvalidCommandLine, nloadui::Q(request.error));
        return 1;
    }
    const int columns = std::atoi(nloadui::Texts().Get(kColumnCount).c_str());
    const qavsettings::DownLoaderConfig config = qavsettings::ReadDownLoaderConfig(columns);
    nload::LiveEnvironment env(nloadui::Texts(), nload::ReadCommunities());

    std::vector<nload::PrinterInfo> targets = request.printers;
    std::vector<nload::PrinterInfo> known;
    if (targets.empty()) {
        nloadui::CSelPrinter selection(env, {}, {});
        if (selection.exec() == QDialog::Accepted) targets = selection.Targets();
        known = selection.Known();
    } else {
        nloadui::ReadInformation(env, targets, nullptr);
    }
    nloadui::Trace("printers: " + Describe(targets));

    nloadui::CNLOADDlg window(env, targets);
    window.AddKnown(known);
    window.ApplySettings(config);
    nloadui::Activation activation;
    QObject::connect(&activation, &nloadui::Activation::activated, &window, &nloadui::CNLOADDlg::BringForward);
    QString why;
    if (!activation.Register(&why)) nloadui::Trace("a second start cannot reach this one: " + why.toStdString());
    QObject::connect(&window, &QDialog::finished, &app, &QApplication::quit);
    window.show();
    nloadui::Trace("ready");
    return app.exec();
}
