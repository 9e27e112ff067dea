#include "qavsettings/DataFolder.h"

#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <cstdlib>

namespace qavsettings {

namespace {

std::string Home()
{
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "/";
}

// An XDG base folder: the variable when it holds an absolute path, else the
// fallback under the home folder.
std::string XdgFolder(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return value;
    return Home() + "/" + fallback;
}

std::string StripTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

} // namespace

std::string DataDir()
{
    const char* env = std::getenv("QAV_DATA_DIR");
    if (env && *env) return StripTrailingSlashes(env);
    return XdgFolder("XDG_DATA_HOME", ".local/share") + "/VORANTA QAV/QAVNetworkTool";
}

std::string DataFilePath(std::string_view name) { return DataDir() + "/" + std::string(name); }

bool HoldsSecrets(std::string_view path)
{
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    for (std::string_view secret : {std::string_view(kMgmtConfigFile), std::string_view(kSurveyConfigFile)}) {
        if (name.size() == secret.size() && strncasecmp(name.data(), secret.data(), name.size()) == 0) return true;
    }
    return false;
}

std::string Rot13(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>('a' + (c - 'a' + 13) % 26);
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>('A' + (c - 'A' + 13) % 26);
        }
    }
    return out;
}

} // namespace qavsettings
