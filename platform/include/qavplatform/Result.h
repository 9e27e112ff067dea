// Result codes of the platform layer: 0 for success, a negative code for
// each kind of failure. Functions that can fail for several reasons return
// one of these and, where they take one, fill an error text for the log.
#pragma once

namespace qavplatform {

enum Result : int {
    kOk = 0,
    kErrInvalidName = -1,    // empty name, or one that cannot become a file name
    kErrNotFound = -2,       // program, file or value does not exist
    kErrNotExecutable = -3,  // the file exists but cannot be run
    kErrStartFailed = -4,    // fork or exec failed for another reason
    kErrIo = -5,             // a file or folder could not be created, read or written
    kErrBusy = -6,           // the lock is held by someone else
    kErrTimeout = -7,        // a timed wait ran out
    kErrNoBus = -8,          // no session message bus
    kErrNotOpen = -9,        // the object was used before it was opened
};

// A short English text for a result code, for log lines.
const char* ResultText(int code);

} // namespace qavplatform
