// Trap handling: from a trap delivered by the communication library to the
// notification channels. The callback part (TrapIntake.h) runs on the
// library's receiving thread and decides whether a trap concerns a listed
// printer of the maker's; the event part runs on the window thread and
// drives the channels in their order: list window, pop-up, sound, mail,
// trap log.
#pragma once

#include <cstdint>
#include <string>

#include "Notification.h"
#include "StatusReaders.h"
#include "TrapTable.h"

namespace nwatch {

// A trap accepted by the callback, handed to the window thread.
struct TrapEvent {
    int generic = 0;
    int specific = 0;
    std::string enterprise;
    CQBPVb bindings;
    int listIndex = -1;
    uint32_t address = 0;
};

// The dotted address at the start of the sender's address text (a port may
// follow it) as one value, first number most significant; 0 when the text
// does not start with a dotted address.
uint32_t ParseSenderAddress(const char* text);

// The event of a trap from the printer at `listIndex`, with a copy of the
// bindings.
TrapEvent MakeTrapEvent(uint32_t address, int listIndex, int generic, int specific, const char* enterprise,
                        const CQBPVb& bindings);

// The channels as the window program provides them.
class TrapChannels {
public:
    virtual ~TrapChannels() = default;
    // May the list window be opened now? (not open, no settings dialog, not busy)
    virtual bool MayOpenListWindow() = 0;
    virtual void OpenListWindow() = 0;
    virtual void Popup(const NotificationRecord& record) = 0;
    // Plays the file after a short pause, without waiting for it.
    virtual void PlaySound(const std::string& path) = 0;
    virtual void SendMail(const NotificationRecord& record) = 0;
    virtual void WriteTrapLog(const NotificationRecord& record, int rowSpecific) = 0;
};

struct ChannelSettings {
    bool list = false;   // [Notification] List
    bool popup = false;  // [Notification] Popup
    bool beep = false;   // [Notification] Beep
    bool mail = false;   // [Notification] Mail
    bool trapLog = false; // [Trap] ToBeLogged
};

// What the event part decided, for the caller's own record.
struct TrapOutcome {
    bool handled = false; // false: not the maker's printer (any more)
    int row = -1;
    bool list = false, popup = false, sound = false, mail = false, log = false;
};

// The event part. `soundFolder` is the program folder's sound folder.
TrapOutcome HandleTrapEvent(const TrapEvent& event, const ChannelSettings& settings, const ReadContext& context,
                            const std::string& soundFolder, TrapChannels& channels);

} // namespace nwatch
