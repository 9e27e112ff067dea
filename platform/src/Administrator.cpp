#include "qavplatform/Administrator.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace qavplatform {

std::string AdminGroup()
{
    const char* group = std::getenv("QAV_ADMIN_GROUP");
    return (group && *group) ? std::string(group) : std::string(kDefaultAdminGroup);
}

bool IsInGroup(const std::string& group)
{
    if (group.empty()) return false;
    std::vector<char> buffer(16384);
    struct group entry {};
    struct group* found = nullptr;
    if (::getgrnam_r(group.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
    const gid_t gid = found->gr_gid;
    if (::getegid() == gid) return true;
    int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<size_t>(count));
        count = ::getgroups(count, groups.data());
        for (int i = 0; i < count; ++i)
            if (groups[static_cast<size_t>(i)] == gid) return true;
    }
    std::vector<char> userBuffer(16384);
    struct passwd user {};
    struct passwd* me = nullptr;
    if (::getpwuid_r(::geteuid(), &user, userBuffer.data(), userBuffer.size(), &me) != 0 || !me) return false;
    for (char** member = found->gr_mem; member && *member; ++member)
        if (std::strcmp(*member, me->pw_name) == 0) return true;
    return false;
}

bool IsAdministrator()
{
    return ::geteuid() == 0 || IsInGroup(AdminGroup());
}

} // namespace qavplatform
