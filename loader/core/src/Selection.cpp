#include "nload/Selection.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "ncomm/CQBPSearch.h"
#include "nload/Versions.h"

namespace nload {

namespace {

enum SelectionText : int {
    kNoneChecked = 4420,
    kModelsDiffer = 4421,
};

constexpr int kMaxComNumber = 256;
constexpr int kMaxLptNumber = 9;

std::string Prefix(const char* variable, const char* fallback)
{
    const char* env = std::getenv(variable);
    return env && *env ? env : fallback;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The 8250 driver makes /dev/ttyS0.. whether or not a UART is there; the
// port's type tells.
bool UartBehind(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    const bool present = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return present;
}

} // namespace

int SelectionRefusal(const std::vector<PrinterInfo>& checked)
{
    if (checked.empty()) return kNoneChecked;
    for (const PrinterInfo& p : checked) {
        if (p.model != checked.front().model) return kModelsDiffer;
    }
    return 0;
}

StartCheck CheckStart(const FileInfo& file, const std::vector<PrinterInfo>& printers)
{
    StartCheck check;
    for (size_t i = 0; i < printers.size(); ++i) {
        const PrinterInfo& p = printers[i];
        if (file.kind == kKindBoot && !BootFits(file.bootType, p.bootType, p.shortModel, p.versions[kKindMain]))
            check.bootMisfits.push_back(i);
        if (file.kind >= 0 && file.kind < kKindCodes && file.kind != kKindGaiji &&
            FileIsOlder(p.versions[static_cast<size_t>(file.kind)], file))
            check.newerPrinters.push_back(i);
        if (p.infoRead && p.statusCode != 0) check.busyPrinters.push_back(i);
    }
    return check;
}

std::vector<int> SerialPortNumbers()
{
    const std::string prefix = Prefix("QAV_COM_DEVICE_PREFIX", "/dev/ttyS");
    const bool uart = prefix == "/dev/ttyS";
    std::vector<int> numbers;
    for (int n = 1; n <= kMaxComNumber; ++n) {
        const std::string path = prefix + std::to_string(n - 1);
        if (Exists(path) && (!uart || UartBehind(path))) numbers.push_back(n);
    }
    return numbers;
}

std::vector<int> ParallelPortNumbers()
{
    const std::string prefix = Prefix("QAV_LPT_DEVICE_PREFIX", "/dev/lp");
    std::vector<int> numbers;
    for (int n = 1; n <= kMaxLptNumber; ++n) {
        if (Exists(prefix + std::to_string(n - 1))) numbers.push_back(n);
    }
    return numbers;
}

std::vector<PortChoice> AvailablePorts()
{
    std::vector<PortChoice> ports;
    ports.push_back({"LAN", PortKind::kNetwork, 0, {}});
    for (int n : SerialPortNumbers()) ports.push_back({"COM" + std::to_string(n), PortKind::kSerial, n, {}});
    for (int n : ParallelPortNumbers()) ports.push_back({"LPT" + std::to_string(n), PortKind::kParallel, n, {}});
    CQBPSearch search;
    std::vector<std::string> paths, names;
    if (search.SearchUSBEx(paths, names) == 0) {
        for (size_t i = 0; i < paths.size(); ++i)
            ports.push_back({i < names.size() ? names[i] : paths[i], PortKind::kUsb, 0, paths[i]});
    }
    return ports;
}

} // namespace nload
