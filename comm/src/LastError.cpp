#include "ncomm/QBPLastError.h"

namespace {
thread_local int t_lastError = 0;
}

int QBPGetLastError() { return t_lastError; }
void QBPSetLastError(int code) { t_lastError = code; }
