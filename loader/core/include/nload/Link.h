// What a download needs of the outside world, behind a small interface:
// the printer's port (CQBPTrans's Open, Send, Receive, Close), trap
// reception for the restart wait, the printer information read, and the
// clock. The real one talks to printers; the tests put a scripted fake in
// its place and run the procedure on a clock of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "nload/Printer.h"

namespace nload {

// One printer's port for the download.
class Port {
public:
    virtual ~Port() = default;
    // 0 or the library's code; SystemError() tells the system error.
    virtual int Open(const std::string& portName, const std::string& address) = 0;
    // A send that returns when every byte is written: 0 or the code.
    virtual int SendBlocking(const void* data, int length) = 0;
    // Starts a background send (the library keeps its own copy of the
    // bytes): 0 or the code.
    virtual int StartSend(const void* data, int length) = 0;
    // Waits up to ms for the background send to end; true when it has.
    virtual bool WaitSendEnd(int ms) = 0;
    virtual int SendState() const = 0;  // 1 running, 2 done, negative: failed with that code
    virtual int SentBytes() const = 0;
    // One read of at most size bytes. 0 with `received` > 0: bytes came;
    // 0 with `received` 0: nothing came within the port's read time;
    // a negative code: the read failed (the peer closed the connection, a
    // device error).
    virtual int Receive(unsigned char* buffer, int size, int& received) = 0;
    virtual void Close() = 0;
    virtual int SystemError() const = 0; // of the latest failure, 0 when none
};

// Trap reception for one printer during its restart.
class TrapWatch {
public:
    virtual ~TrapWatch() = default;
    // Waits up to ms for a trap from the printer; true when one came.
    virtual bool Wait(int ms) = 0;
};

class Environment {
public:
    virtual ~Environment() = default;
    // A new port, or null when none can be made.
    virtual std::unique_ptr<Port> MakePort() = 0;
    // Trap reception for the printer at `address`, or null when it cannot
    // be set up (the wait then takes its whole limit).
    virtual std::unique_ptr<TrapWatch> WatchTraps(const std::string& address) = 0;
    // Reads the printer's information into the record: 0, or an error code
    // (10, 11, 12) with the record's result fields set.
    virtual int ReadInfo(PrinterInfo& printer) = 0;
    virtual int64_t NowMs() = 0;
    virtual void SleepMs(int ms) = 0;
};

} // namespace nload
