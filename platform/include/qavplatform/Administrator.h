// Whether the user has administrator rights: the monitor starts in user mode
// for a user without them when the management settings leave the choice to
// the system (UseSystemDefault).
//
// A user is an administrator when the program runs as root (effective user
// id 0) or when the user belongs to the administrators' group: "qavadmin",
// or the group named by the environment variable QAV_ADMIN_GROUP. Belonging
// means the group is the process's effective or a supplementary group, or the
// group database lists the user as a member (so a user just added to the
// group counts before logging in again). A group that does not exist makes
// nobody but root an administrator.
#pragma once

#include <string>

namespace qavplatform {

inline constexpr const char* kDefaultAdminGroup = "qavadmin";

// $QAV_ADMIN_GROUP when set and not empty, else "qavadmin".
std::string AdminGroup();

// Whether the running user belongs to the group `group` (rule above).
bool IsInGroup(const std::string& group);

// Root, or a member of AdminGroup().
bool IsAdministrator();

} // namespace qavplatform
