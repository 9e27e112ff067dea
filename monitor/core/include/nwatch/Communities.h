// The communities of the monitor's SNMP reads ([Community] of the
// management settings). Every read takes them from here, and here they are
// read again whenever the settings file changed (its time, size or identity
// differ from the last look), so that names changed in the management
// dialog, by this process or another, are used from the next read on
// without a restart. Safe to use from several threads.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <mutex>
#include <string>

namespace nwatch {

class Communities {
public:
    struct Names {
        std::string read;
        std::string write;
    };

    // The names as the settings file holds them now.
    Names Current();

private:
    struct Stamp {
        std::string path;
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        bool operator==(const Stamp& other) const;
    };

    std::mutex mutex_;
    bool read_ = false;
    Stamp stamp_;
    Names names_;
};

} // namespace nwatch
