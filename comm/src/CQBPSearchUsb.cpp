// USB discovery: every USB printer device of the machine whose IEEE 1284
// device identifier names one of the maker's printer families.
//
// The kernel's USB printer driver (usblp) makes each printer a character
// device /dev/usb/lpN and hands out the identifier the printer reported
// through the LPIOC_GET_DEVICE_ID request. The device pattern can be moved
// elsewhere with QAV_USB_DEVICE_GLOB (for tests and unusual device trees).
#include <fcntl.h>
#include <glob.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "ncomm/CQBPSearch.h"
#include "ncomm/QBPResult.h"

namespace {

// usblp's request number 1 of type 'P', reading len bytes (the driver has no
// public header for it).
#define QAV_LPIOC_GET_DEVICE_ID(len) _IOC(_IOC_READ, 'P', 1, len)

constexpr int kDeviceIdBufferSize = 1024;
constexpr size_t kMaxModelLength = 255;

const char* UsbDeviceGlob()
{
    const char* env = std::getenv("QAV_USB_DEVICE_GLOB");
    return env && *env ? env : "/dev/usb/lp*";
}

struct Family {
    const char* prefix;
    size_t length;
};

// Checked in this order.
const Family kFamilies[] = {
    {"QAV M-", 6}, {"VORANTA M-", 10}, {"VORANTA MC", 10}, {"QAV MC", 6}, {"VORANTA MD", 10}, {"QAV MD", 6},
};
const Family kExcluded = {"VORANTA M-RA", 12};

} // namespace

bool CQBPSearch::CheckDeviceIdText(const char* deviceId, std::string* model)
{
    if (!deviceId) return false;
    // The model is the last field of the identifier; an identifier without
    // any "key:value" field names no printer.
    const char* colon = std::strrchr(deviceId, ':');
    if (!colon) return false;
    const char* text = colon + 1;
    bool family = false;
    for (const Family& f : kFamilies) {
        if (std::strncmp(text, f.prefix, f.length) == 0) {
            family = true;
            break;
        }
    }
    if (!family) return false;
    if (std::strncmp(text, kExcluded.prefix, kExcluded.length) == 0) return false;
    if (model) model->assign(text, strnlen(text, kMaxModelLength));
    return true;
}

// Reads the device's identifier and applies the family rule. The driver's
// answer begins with the identifier's length, two bytes, most significant
// first, that count themselves.
bool CQBPSearch::CheckQavPrinter(int fd, std::string* model)
{
    unsigned char buffer[kDeviceIdBufferSize] = {};
    if (::ioctl(fd, QAV_LPIOC_GET_DEVICE_ID(kDeviceIdBufferSize), buffer) < 0) return false;
    size_t length = (static_cast<size_t>(buffer[0]) << 8) | buffer[1];
    if (length <= 2) return false;
    if (length > sizeof buffer) length = sizeof buffer;
    const char* text = reinterpret_cast<const char*>(buffer + 2);
    const std::string id(text, strnlen(text, length - 2));
    if (id.empty()) return false;
    return CheckDeviceIdText(id.c_str(), model);
}

int CQBPSearch::DoSearchUSB(std::vector<std::string>& paths, std::vector<std::string>* models)
{
    paths.clear();
    if (models) models->clear();
    glob_t found{};
    const int rc = ::glob(UsbDeviceGlob(), 0, nullptr, &found);
    if (rc == GLOB_NOSPACE) {
        ::globfree(&found);
        return QBP_NO_MEMORY;
    }
    if (rc != 0) { // no device, or the folder cannot be read
        ::globfree(&found);
        return QBP_OK;
    }
    int result = QBP_OK;
    try {
        for (size_t i = 0; i < found.gl_pathc; ++i) {
            const char* path = found.gl_pathv[i];
            // Non-blocking: neither a busy printer nor an odd file may hold
            // the search up.
            int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) continue;
            std::string model;
            const bool accepted = CheckQavPrinter(fd, &model);
            ::close(fd);
            if (accepted) {
                paths.emplace_back(path);
                if (models) models->push_back(model);
            }
        }
    } catch (const std::bad_alloc&) {
        result = QBP_NO_MEMORY;
    }
    ::globfree(&found);
    return result;
}

int CQBPSearch::SearchUSB(std::vector<std::string>& paths) { return DoSearchUSB(paths, nullptr); }

int CQBPSearch::SearchUSBEx(std::vector<std::string>& paths, std::vector<std::string>& models)
{
    return DoSearchUSB(paths, &models);
}
