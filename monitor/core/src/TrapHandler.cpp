#include "nwatch/TrapHandler.h"

#include <ctime>

#include "nlist/Nlist.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace nwatch {

uint32_t ParseSenderAddress(const char* text)
{
    if (!text) return 0;
    size_t n = 0;
    while ((text[n] >= '0' && text[n] <= '9') || text[n] == '.') ++n;
    uint32_t address = 0;
    return qavplatform::ParseAddress(std::string_view(text, n), address) ? address : 0;
}

TrapEvent MakeTrapEvent(uint32_t address, int listIndex, int generic, int specific, const char* enterprise,
                        const CQBPVb& bindings)
{
    TrapEvent e;
    e.generic = generic;
    e.specific = specific;
    e.enterprise = enterprise ? enterprise : "";
    e.bindings.Copy(bindings);
    e.listIndex = listIndex;
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
