#include "qavplatform/Sound.h"

#include "qavplatform/ProgramStart.h"
#include "qavplatform/Result.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace qavplatform {

std::string FindSoundPlayer()
{
    // Only on PATH: a file beside the programs called like a player is no
    // reason to run it.
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
