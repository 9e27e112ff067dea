// The remote key dialog's rules: which keys a model offers, how long a
// reset keeps the printer away, and the dialog's steps between its timer
// ticks. The writes themselves run on the worker (SendKey, SendReset).
#pragma once

#include <string>

namespace nstat {

class Printer;

enum class Key { kFeed = 1, kRestart = 2, kPause = 3 };

// The keys a model's buttons offer (Reset and Cancel always): none of the
// three for the M-PN1, M-RA1 and M-RB1, no Restart for the M-RC5K and M-RC6K.
struct KeyButtons {
    bool feed = true;
    bool restart = true;
    bool pause = true;
};
KeyButtons KeyButtonsFor(const std::string& modelText);

// How long the printer is away after a reset: 33 s for the M-UH3W and
// M-UH5W, 28 s for the others; 20 s and 16 s when DHCP (object 22761) is
// off ("0").
int RestartWaitMs(const std::string& modelText, const std::string& dhcp);

inline constexpr int kPanelRefreshMs = 10000; // the panel is read again
inline constexpr int kAfterKeyMs = 1000;      // a key's effect shows on the panel

// The dialog's state between timer ticks.
class RemoteKeySteps {
public:
    enum Step { kIdle = 0, kAfterKey = 1, kAfterReset = 2, kWaiting = 10 };

    // The dialog opens: the timer reads the panel every 10 s.
    int Open();
    // A key was written (or its write failed): the panel in a second.
    int KeySent();
    // A reset was written: the buttons stay off and the main window waits
    // until the printer is back.
    int ResetSent(int waitMs);
    struct Tick {
        bool enableButtons = false; // the reset's wait is over
        int nextMs = kPanelRefreshMs;
    };
    // The timer fired: the panel is read again.
    Tick OnTimer();
    Step Current() const { return step_; }

private:
    Step step_ = kIdle;
};

// The writes of the keys: object 20861 with the key code, object 20841
// with 1 for a reset. False when the write failed.
bool SendKey(Printer& printer, Key key);
bool SendReset(Printer& printer);
// The panel text as the dialog shows it (the status objects read again).
std::string ReadPanel(Printer& printer);

} // namespace nstat
