// libnlist.so: the exported functions live in the core archive, which is
// linked in whole; this file only gives the library its own translation unit.
#include "nlist/Nlist.h"
