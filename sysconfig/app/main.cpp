// nconfig: the system setting tool of the QAV network tool set. Other
// programs start it with a printer (or a list of printers) on the command
// line; see nconfig/CommandLine.h.
#include <QApplication>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ParamWindow.h"
#include "Ui.h"
#include "WindowFinder.h"
#include "nconfig/StartUp.h"
#include "nconfig/Texts.h"

using namespace nconfig;

namespace {

// Without a display the messages go to standard error (tests, headless use).
bool Headless()
{
    return !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM");
}

int Stop(int message)
{
    ui::ShowMessage(nullptr, message);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (Headless()) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::vector<std::string> args(argv + 1, argv + argc);
    QApplication app(argc, argv);
    QApplication::setApplicationName("nconfig");

    ToolResources resources;
    std::string error;
    switch (LoadToolResources(resources, error)) {
    case ResourceFailure::kLanguage:
        ui::ShowText(nullptr, qavres::kErrorCaption, qavres::kLanguageLoadError);
        std::fprintf(stderr, "nconfig: %s\n", error.c_str());
        return 2;
    case ResourceFailure::kObjectTable:
        ui::SetLanguage(&resources.language);
        std::fprintf(stderr, "nconfig: %s\n", error.c_str());
        return Stop(kMsgCannotStart);
    case ResourceFailure::kNone: break;
    }
    ui::SetLanguage(&resources.language);

    const LinkFactory links = SessionLinks(resources.objects, resources.readCommunity, resources.writeCommunity);
    const StartPlan plan = PrepareStart(JoinArguments(args), links, resources.systemFile);
    if (plan.message != 0) return Stop(plan.message);
    const bool listMode = plan.line.mode == kModeList;

    InstanceRules rules;
    if (const int refused = rules.Enter(listMode)) return Stop(refused);

    ui::WindowSetup setup;
    setup.resources = &resources;
    setup.links = links;
    setup.mode = plan.line.mode;
    setup.port = listMode ? plan.listPath : plan.line.port;
    setup.address = plan.line.address;
    setup.model = plan.line.model;
    setup.version = plan.line.version;
    setup.base = plan.base;
    setup.lines = plan.lines;
    const QString title = ui::Q(WindowTitle(resources.language, setup.base, setup.mode, setup.port, setup.address));

    ui::WindowFinder finder;
    if (!listMode && !finder.Claim(title)) return 0; // the window of this printer came forward

    std::unique_ptr<ui::CParamWindow> window;
    if (setup.mode == kModeDiagnosis) {
        window = std::make_unique<ui::CDiagnosisDlg>(setup);
    } else {
        window = std::make_unique<ui::CSystemDlg>(setup);
    }
    if (!window->Built()) return Stop(kMsgWindowFailed);
    if (!listMode) {
        finder.Listen(window.get());
        QObject::connect(window.get(), &ui::CParamWindow::titleChanged, &finder, &ui::WindowFinder::Rename);
    }
    window->show();
    return app.exec();
}
