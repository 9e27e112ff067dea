// SearchDevices() without a window: the search runs on the caller's thread
// and its failures go to the standard error.
#include "nlist/DeviceSearch.h"
#include "nlist/Nlist.h"

void SearchDevices()
{
    nlist::DeviceSearch search(nlist::ReadSearchSettings());
    search.Run();
}
