#include "qavplatform/Result.h"

namespace qavplatform {

const char* ResultText(int code)
{
    switch (code) {
    case kOk: return "success";
    case kErrInvalidName: return "unusable name";
    case kErrNotFound: return "not found";
    case kErrNotExecutable: return "not executable";
    case kErrStartFailed: return "could not be started";
    case kErrIo: return "file or folder error";
    case kErrBusy: return "held by another owner";
    case kErrTimeout: return "timed out";
    case kErrNoBus: return "no session message bus";
    case kErrNotOpen: return "not open";
    default: return "unknown error";
    }
}

} // namespace qavplatform
