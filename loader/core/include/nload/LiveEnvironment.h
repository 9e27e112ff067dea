// The environment of real downloads: ports through the communication
// library (CQBPTrans), per-printer trap reception (StartTrap) for the
// restart waits, and the printer information over SNMP.
//
// Safe for several downloads at once: every port and every trap watch is a
// session of its own. The library keeps one trap receiver for all the
// sessions waiting at a time; KeepTrapReceiver() holds it open for the
// environment's whole life, so that a run serving many printers at once
// does not close and reopen the trap port between their restarts.
#pragma once

#include <memory>

#include "nload/Information.h"
#include "nload/Link.h"

namespace qavres {
class StringTable;
}

class CQBPTrans;
class CQBPEvent;

namespace nload {

class LiveEnvironment : public Environment {
public:
    LiveEnvironment(const qavres::StringTable& texts, Communities communities = {});
    ~LiveEnvironment() override;

    // Holds the library's trap receiver open until the environment ends;
    // false when it cannot be started (the restart waits then take their
    // whole limits, as they would anyway).
    bool KeepTrapReceiver();

    std::unique_ptr<Port> MakePort() override;
    std::unique_ptr<TrapWatch> WatchTraps(const std::string& address) override;
    int ReadInfo(PrinterInfo& printer) override;
    int64_t NowMs() override;
    void SleepMs(int ms) override;

private:
    const qavres::StringTable& texts_;
    Communities communities_;
    std::unique_ptr<CQBPEvent> keeperEvent_;
    std::unique_ptr<CQBPTrans> keeper_;
};

} // namespace nload
