// A second process for the platform tests: holds events and mutexes,
// competes for them, and records how it was started. Every line it prints is
// flushed at once, the tests wait for them.
//
//   hold-event NAME              create the event, print "event existed=0|1", stay
//   single NAME                  "acquired" and stay, or "refused <code>" and exit 1
//   hold-mutex NAME [MS]         lock, print "locked", stay (or unlock after MS and exit)
//   count NAME FILE N            N times under the mutex: read the number in FILE, write it + 1
//   contend NAME MARKER N        N times: take the single instance, and while it is held
//                                create MARKER exclusively and remove it again; exit 1
//                                ("double") when the marker was there: two holders at once
//   record FILE ARGS...          write the arguments, pid, parent pid and session id to FILE
//   fds FILE                     write the numbers of the open descriptors to FILE
//   sleep MS
#include "qavplatform/NamedLocks.h"
#include "qavplatform/Result.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

using namespace qavplatform;

namespace {

void Say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

[[noreturn]] void Stay()
{
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

// Written beside and renamed, so the test never reads half a file.
void WriteWhole(const std::string& path, const std::string& content)
{
    std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << content;
    }
    std::rename(temp.c_str(), path.c_str());
}

long ReadNumber(const std::string& path)
{
    std::ifstream in(path);
    long n = 0;
    in >> n;
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    std::string command = argv[1];

    if (command == "hold-event" && argc >= 3) {
        NamedEvent event;
        bool existed = false;
        std::string error;
        int rc = event.Create(argv[2], &existed, &error);
        if (rc != kOk) {
            Say("error " + error);
            return 1;
        }
        Say(std::string("event existed=") + (existed ? "1" : "0"));
        Stay();
    }
    if (command == "single" && argc >= 3) {
        SingleInstance instance;
        if (!instance.Acquire(argv[2])) {
            Say("refused " + std::to_string(instance.Result()));
            return 1;
        }
        Say("acquired");
        Stay();
    }
    if (command == "hold-mutex" && argc >= 3) {
        NamedMutex mutex;
        if (mutex.Open(argv[2]) != kOk || mutex.Lock() != kOk) {
            Say("error");
            return 1;
        }
        Say("locked");
        if (argc >= 4) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[3])));
            mutex.Unlock();
            Say("unlocked");
            return 0;
        }
        Stay();
    }
    if (command == "count" && argc >= 5) {
        NamedMutex mutex;
        if (mutex.Open(argv[2]) != kOk) return 1;
        int n = std::atoi(argv[4]);
        for (int i = 0; i < n; ++i) {
            if (mutex.Lock() != kOk) return 1;
            long value = ReadNumber(argv[3]);
            // Give a competitor every chance to step in between read and write.
            std::this_thread::yield();
            WriteWhole(argv[3], std::to_string(value + 1));
            mutex.Unlock();
        }
        return 0;
    }
    if (command == "contend" && argc >= 5) {
        int n = std::atoi(argv[4]);
        int held = 0;
        for (int i = 0; i < n; ++i) {
            SingleInstance instance;
            if (!instance.Acquire(argv[2])) continue;
            ++held;
            int fd = ::open(argv[3], O_WRONLY | O_CREAT | O_EXCL, 0600);
            if (fd < 0) {
                Say("double");
                return 1;
            }
            ::close(fd);
            ::unlink(argv[3]);
        }
        Say("held " + std::to_string(held));
        return 0;
    }
    if (command == "record" && argc >= 3) {
        std::ostringstream out;
        for (int i = 3; i < argc; ++i) out << "arg=" << argv[i] << "\n";
        out << "pid=" << ::getpid() << "\nppid=" << ::getppid() << "\nsid=" << ::getsid(0) << "\n";
        WriteWhole(argv[2], out.str());
        return 0;
    }
    if (command == "fds" && argc >= 3) {
        std::ostringstream out;
        DIR* dir = ::opendir("/proc/self/fd");
        if (!dir) return 1;
        int own = ::dirfd(dir);
        while (struct dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            int fd = std::atoi(entry->d_name);
            if (fd != own) out << fd << "\n";
        }
        ::closedir(dir);
        WriteWhole(argv[2], out.str());
        if (argc >= 4) std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[3])));
        return 0;
    }
    if (command == "sleep" && argc >= 3) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
        return 0;
    }
    return 2;
}
