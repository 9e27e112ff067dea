#include "qavplatform/Sound.h"

#include "qavplatform/ProgramStart.h"
#include "qavplatform/Result.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace qavplatform {

namespace {

// Looks only on PATH: a file beside the programs called like a player is no
// reason to run it.
std::string FindOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string list = path;
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t colon = list.find(':', pos);
        if (colon == std::string::npos) colon = list.size();
        std::string folder = list.substr(pos, colon - pos);
        pos = colon + 1;
        if (folder.empty()) continue;
        std::string candidate = folder + "/" + name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

} // namespace

std::string FindSoundPlayer()
{
    for (const char* player : {"paplay", "aplay", "pw-play"}) {
        std::string found = FindOnPath(player);
        if (!found.empty()) return found;
    }
    return {};
}

bool PlaySoundFile(const std::string& path, std::string* error)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error) *error = "no sound file " + path;
        return false;
    }
    std::string player = FindSoundPlayer();
    if (player.empty()) {
        if (error) *error = "no sound player (paplay, aplay, pw-play) on PATH";
        return false;
    }
    StartOptions options;
    options.quiet = true;
    // A file name that begins with '-' would be read as an option.
    std::string file = path[0] == '-' ? "./" + path : path;
    return StartDetached(player, {file}, options, nullptr, error) == kOk;
}

} // namespace qavplatform
