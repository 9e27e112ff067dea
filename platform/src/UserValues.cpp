#include "qavplatform/UserValues.h"

#include "qavplatform/Result.h"
#include "FileUtil.h"
#include "qavplatform/Files.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace qavplatform {

namespace {

// The key's folder below the settings folder, or empty when a part is empty.
std::string KeyFolder(const std::string& key)
{
    std::string folder;
    std::string part;
    auto flush = [&]() -> bool {
        if (part.empty()) return false;
        if (!folder.empty()) folder += '/';
        folder += detail::EscapeFileName(part);
        part.clear();
        return true;
    };
    for (char c : key) {
        if (c == '\\' || c == '/') {
            if (!flush()) return {};
        } else {
            part += c;
        }
    }
    if (!flush()) return {};
    return folder;
}

} // namespace

std::string UserConfigDir()
{
    return detail::ConfigHome() + "/VORANTA QAV";
}

std::string UserValueFile(const std::string& key, const std::string& name)
{
    std::string folder = KeyFolder(key);
    if (folder.empty() || name.empty()) return {};
    return UserConfigDir() + "/" + folder + "/" + detail::EscapeFileName(name);
}

bool GetUserValue(const std::string& key, const std::string& name, std::string* value)
{
    std::string file = UserValueFile(key, name);
    if (file.empty()) return false;
    std::string content;
    if (!ReadOwnFileOrReport(file, content)) return false;
    if (value) *value = std::move(content);
    return true;
}

int SetUserValue(const std::string& key, const std::string& name, const std::string& value, std::string* error)
{
    std::string file = UserValueFile(key, name);
    if (file.empty()) {
        if (error) *error = "unusable value name \"" + key + "\" / \"" + name + "\"";
        return kErrInvalidName;
    }
    std::string folder = file.substr(0, file.find_last_of('/'));
    if (!detail::MakeDirs(folder, 0700, error)) return kErrIo;
    return detail::WriteFileAtomic(file, value, error) ? kOk : kErrIo;
}

int DeleteUserValue(const std::string& key, const std::string& name, std::string* error)
{
    std::string file = UserValueFile(key, name);
    if (file.empty()) {
        if (error) *error = "unusable value name \"" + key + "\" / \"" + name + "\"";
        return kErrInvalidName;
    }
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
        if (error) *error = detail::ErrnoText("cannot remove " + file, errno);
        return kErrIo;
    }
    return kOk;
}

bool GetUserNumber(const std::string& key, const std::string& name, uint32_t* value)
{
    std::string text;
    if (!GetUserValue(key, name, &text)) return false;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) return false;
    const char* begin = text.c_str() + start;
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(begin, &end, 10);
    if (end == begin || *end != '\0' || errno == ERANGE) return false;
    if (number < -2147483648LL || number > 4294967295LL) return false;
    if (value) *value = static_cast<uint32_t>(number);
    return true;
}

int SetUserNumber(const std::string& key, const std::string& name, uint32_t value, std::string* error)
{
    return SetUserValue(key, name, std::to_string(value), error);
}

} // namespace qavplatform
