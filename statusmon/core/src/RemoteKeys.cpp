#include "nstat/RemoteKeys.h"

#include "nstat/Printer.h"

namespace nstat {

namespace {

constexpr int kResetCommand = 1;

// Models whose panel keys are not offered, and which of them.
struct KeyRule {
    const char* model;
    bool feed, restart, pause;
};
const KeyRule kKeyRules[] = {
    {"M-PN1", false, false, false},
    {"M-RA1", false, false, false},
    {"M-RB1", false, false, false},
    {"M-RC5K", true, false, true},
    {"M-RC6K", true, false, true},
};

// Restart waits by model: DHCP on, DHCP off.
struct WaitRule {
    const char* model;
    int waitMs;
    int waitWithoutDhcpMs;
};
const WaitRule kLongWaits[] = {
    {"M-UH3W", 33000, 20000},
    {"M-UH5W", 33000, 20000},
};
constexpr int kWaitMs = 28000, kWaitWithoutDhcpMs = 16000;

bool IsModel(const std::string& modelText, const char* model) { return modelText == kMakerPrefix + std::string(model); }

} // namespace

KeyButtons KeyButtonsFor(const std::string& modelText)
{
    KeyButtons b;
    for (const KeyRule& r : kKeyRules) {
        if (IsModel(modelText, r.model)) b = {r.feed, r.restart, r.pause};
    }
    return b;
}

int RestartWaitMs(const std::string& modelText, const std::string& dhcp)
{
    const bool withoutDhcp = dhcp == "0";
    for (const WaitRule& r : kLongWaits) {
        if (IsModel(modelText, r.model)) return withoutDhcp ? r.waitWithoutDhcpMs : r.waitMs;
    }
    return withoutDhcp ? kWaitWithoutDhcpMs : kWaitMs;
}

int RemoteKeySteps::Open()
{
    step_ = kIdle;
    return kPanelRefreshMs;
}

int RemoteKeySteps::KeySent()
{
    step_ = kAfterKey;
    return kAfterKeyMs;
}

int RemoteKeySteps::ResetSent(int waitMs)
{
    step_ = kAfterReset;
    return waitMs;
}

RemoteKeySteps::Tick RemoteKeySteps::OnTimer()
{
    Tick t;
    t.enableButtons = step_ == kAfterReset;
    step_ = kWaiting;
    return t;
}

bool SendKey(Printer& printer, Key key) { return printer.WriteInteger(obj::kKey, static_cast<int>(key)); }

bool SendReset(Printer& printer) { return printer.WriteInteger(obj::kControl, kResetCommand); }

std::string ReadPanel(Printer& printer)
{
    std::string panel;
    printer.ReadStatus(&panel);
    return panel;
}

} // namespace nstat
