#include "nwatch/Communities.h"

#include <sys/stat.h>

#include "qavsettings/DataFolder.h"
#include "qavsettings/SettingsFiles.h"

namespace nwatch {

bool Communities::Stamp::operator==(const Stamp& o) const
{
    return path == o.path && exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
}

Communities::Names Communities::Current()
{
    Stamp now;
    now.path = qavsettings::DataFilePath(qavsettings::kMgmtConfigFile);
    struct stat st{};
    if (::stat(now.path.c_str(), &st) == 0) {
        now.exists = true;
        now.device = st.st_dev;
        now.inode = st.st_ino;
        now.size = st.st_size;
        now.modified = st.st_mtim;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!read_ || !(now == stamp_)) {
        const qavsettings::MgmtConfig config =
            qavsettings::ReadMgmtConfig(qavsettings::Reader::kMonitor, {}, now.path);
        names_ = {config.readCommunity, config.writeCommunity};
        stamp_ = now;
        read_ = true;
    }
    return names_;
}

} // namespace nwatch
