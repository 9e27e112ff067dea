// The refresh reads: the reachability check and the re-read of a stored
// record. The object sets are the device search's (PrinterQueries); the
// refresh starts from the stored record, so fields outside the set keep
// their values and only a change renews the record's time.
#include "RecordQueries.h"

namespace nlist {

bool CheckReachable(uint32_t address, const Communities& communities)
{
    int status = 0;
    return ReadIntegerObject(address, 121, communities, status);
}

void MarkUnreachable(ListData& r)
{
    // Only what the silence says changes: the printer's state. What names
    // it (name, model, location, manager, comment, serial, DHCP host name)
    // stays, so that the administrator sees which printer is down and the
    // next save keeps it; only an answer changes those.
    r.kind = -1;
    r.printerStatus = 6;
    r.errorCode = 512;
    r.rfidError[0] = r.rfidOk[0] = '\0';
    r.dhcpEnable = -1;
}

int ReadMakerRecord(ListData& record, const Communities& communities)
{
    const ListData stored = record;
    return ReadMakerObjects(record.ipAddress, record, stored, communities) ? 1 : 0;
}

int ReadStandardRecord(ListData& record, const Communities& communities)
{
    const ListData stored = record;
    return ReadStandardObjects(record.ipAddress, record, stored, communities) ? 1 : 0;
}

} // namespace nlist
