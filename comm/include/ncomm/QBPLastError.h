// The calling thread's last-error value.
//
// Most operations of the communication library leave their failure code (or
// the operating-system error behind it) here, in the way the system's
// per-thread error slot is used elsewhere. The value belongs to the calling
// thread only; 0 means no error has been recorded.
#pragma once

#include "NcommExport.h"

NCOMM_API int QBPGetLastError();
NCOMM_API void QBPSetLastError(int code);

