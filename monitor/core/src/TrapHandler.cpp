#include "nwatch/TrapHandler.h"

#include <cstdio>
#include <ctime>

#include "nlist/Nlist.h"
#include "qavres/Resources.h"

namespace nwatch {

uint32_t ParseSenderAddress(const char* text)
{
    if (!text) return 0;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d) != 4) return 0;
    return ((a & 0xFF) << 24) | ((b & 0xFF) << 16) | ((c & 0xFF) << 8) | (d & 0xFF);
}

std::optional<TrapEvent> AcceptTrap(const char* sender, int generic, int specific, const char* enterprise,
                                    const CQBPVb& bindings, const ReadContext& context)
{
    const uint32_t address = ParseSenderAddress(sender);
    if (address == 0 || FindListDatabyIPAddress(address) < 0) return std::nullopt;
    if (MakerCheck(address, true, context) != 1) return std::nullopt;
    const int index = FindListDatabyIPAddress(address); // the check may take a while
    if (index < 0) return std::nullopt;
    TrapEvent e;
    e.generic = generic;
    e.specific = specific;
    e.enterprise = enterprise ? enterprise : "";
    e.bindings.Copy(bindings);
    e.listIndex = index;
    e.address = address;
    return e;
}

TrapOutcome HandleTrapEvent(const TrapEvent& event, const ChannelSettings& settings, const ReadContext& context,
                            const std::string& soundFolder, TrapChannels& channels)
{
    TrapOutcome out;
    NotificationRecord r;
    StampReception(r, std::time(nullptr));
    r.generic = event.generic;
    r.specific = event.specific;
    r.enterprise = event.enterprise;
    r.bindings.Copy(event.bindings);
    r.listIndex = event.listIndex;
    r.address = event.address;

    // The entry is fetched again: the list may have changed since the
    // callback, so it must still be the sending printer.
    ListData entry;
    GetItemFromListData(&entry, event.listIndex);
    if (entry.ipAddress != event.address) {
        const int index = FindListDatabyIPAddress(event.address);
        if (index < 0) return out;
        GetItemFromListData(&entry, index);
        r.listIndex = index;
    }
    r.name = entry.name;
    r.location = entry.location;
    r.manager = entry.manager;
    r.serial = entry.serial;
    r.printerStatus = entry.printerStatus;
    r.errorCode = entry.errorCode;
    if (entry.isBCP != 1) return out;
    out.handled = true;

    const TrapRow& row = FindTrapRow(event.generic, event.specific);
    out.row = TrapRowIndex(row);
    if (row.textId >= 0 && context.language) r.message = context.language->Get(row.textId).substr(0, 259);
    if (context.objects) ScanBindings(r, *context.objects);

    if (settings.list && row.listPopup && channels.MayOpenListWindow()) {
        channels.OpenListWindow();
        out.list = true;
    }
    if (settings.popup && row.listPopup) {
        channels.Popup(r);
        out.popup = true;
    }
    if (settings.beep && row.sound && row.soundFileId >= 0 && context.language) {
        const std::string file = context.language->Get(row.soundFileId);
        if (!file.empty()) {
            channels.PlaySound(soundFolder + "/" + file);
            out.sound = true;
        }
    }
    if (settings.mail && row.mail) {
        channels.SendMail(r);
        out.mail = true;
    }
    if (settings.trapLog && row.log) {
        channels.WriteTrapLog(r, row.specific);
        out.log = true;
    }
    return out;
}

} // namespace nwatch
