#include "qavsmtp/MailDate.h"

#include "qavplatform/MailDate.h"

namespace qavsmtp {

std::string FormatUtcOffset(long minutesEastOfUtc) { return qavplatform::UtcOffsetText(minutesEastOfUtc); }

std::string FormatMailDate(std::time_t when) { return qavplatform::MailDate(when); }

} // namespace qavsmtp
