#include "qavsmtp/SMTPError.h"

namespace qavsmtp {

namespace {
thread_local int t_lastError = 0;
}

int SMTPGetLastError() { return t_lastError; }
void SMTPSetLastError(int code) { t_lastError = code; }

} // namespace qavsmtp
