// Named events and mutexes shared by the programs of the tool set, such as
// "NWATCH" (one monitor per user), "List_Display_Event" (the list window is
// open), "Surveillance_Monitor_Event192_168_010_005" (one status monitor per
// printer), "QAVNetLoader" (one download tool) and the mutex "NSETUPMutex"
// (one settings dialog at a time).
//
// Each name is a lock file in the lock folder (LockDir()). Whoever holds the
// object holds a flock(2) lock on that file, so the object disappears by
// itself when its last holder closes it or dies, even by kill -9. The files
// themselves stay behind (empty, harmless) and are reused by the next holder.
//
// Locks belong to an open file, not to a process: two objects of one process
// exclude each other exactly as two processes would. The files are opened
// close-on-exec, so a program started from a holder never inherits the lock.
// A plain fork() without exec does share it until one side closes it.
#pragma once

#include <string>

namespace qavplatform {

// The folder of the lock files: "$XDG_RUNTIME_DIR/qav" when XDG_RUNTIME_DIR
// names an absolute folder, else "/tmp/qav-<uid>". Created with mode 0700 on
// first use; a folder that is a symbolic link or belongs to another user is
// refused. Empty, with the reason in `error`, when it cannot be used.
std::string LockDir(std::string* error = nullptr);

// The file name (without folder and suffix) for an object name. A leading
// "Global\" or "Local\" is dropped (there is one namespace per user); letters,
// digits, '_' and '-' stay as they are and every other byte becomes "%XX", so
// that different names never share a file. Empty for an empty name or one
// whose file name would exceed 200 bytes.
std::string LockFileName(const std::string& name);

// A named event used as a presence marker: it exists while at least one
// holder has it open. Any number of holders may have it open at once.
class NamedEvent {
public:
    NamedEvent() = default;
    ~NamedEvent() { Close(); }
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    NamedEvent(NamedEvent&& other) noexcept;
    NamedEvent& operator=(NamedEvent&& other) noexcept;

    // Creates the event, or opens it when it already exists; `existed` tells
    // which (checked and taken in one step, so of two processes creating the
    // same event at once exactly one sees existed == false).
    int Create(const std::string& name, bool* existed = nullptr, std::string* error = nullptr);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Name() const { return name_; }

    // Whether some holder (this process included) has the event open.
    // False also when the lock folder cannot be used: then nobody can hold it.
    static bool Exists(const std::string& name);

private:
    int fd_ = -1;
    std::string name_;
};

// One instance per name: Acquire succeeds for the first holder only and
// keeps the name until Release or the end of the process.
class SingleInstance {
public:
    SingleInstance() = default;
    ~SingleInstance() { Release(); }
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this object now holds the name; false when another holder
    // has it (Result() is then kErrBusy) or on failure (another code).
    bool Acquire(const std::string& name, std::string* error = nullptr);
    void Release() { event_.Close(); }
    bool Held() const { return event_.IsOpen(); }
    int Result() const { return result_; }

private:
    NamedEvent event_;
    int result_ = 0;
};

// A mutex shared between processes by name. Recursive for its object: a
// Lock on an object that already owns the mutex only counts, and it is
// released by the matching number of Unlock calls. One object belongs to one
// thread at a time; threads that compete use objects of their own.
class NamedMutex {
public:
    NamedMutex() = default;
    ~NamedMutex() { Close(); }
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Opens (creating when needed) the mutex without taking it.
    int Open(const std::string& name, std::string* error = nullptr);
    // Releases the mutex if owned and closes it.
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Waits as long as it takes. kOk, or kErrNotOpen/kErrIo.
    int Lock();
    // kOk when taken, kErrBusy when another owner has it.
    int TryLock();
    // Waits at most timeoutMs milliseconds: kOk or kErrTimeout.
    int LockFor(int timeoutMs);
    void Unlock();
    bool Owned() const { return count_ > 0; }

private:
    int fd_ = -1;
    int count_ = 0;
};

} // namespace qavplatform
