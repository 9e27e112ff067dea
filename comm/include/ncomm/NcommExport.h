// Symbol visibility of the communication library: only what is marked
// NCOMM_API is exported from libncomm.so.
#pragma once

#define NCOMM_API __attribute__((visibility("default")))
