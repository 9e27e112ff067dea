// Symbol visibility of the device list library: only what is marked
// NLIST_API is exported from libnlist.so.
#pragma once

#define NLIST_API __attribute__((visibility("default")))
