// CQBPTrans: one session with one printer on one port kind.
//
// A session is opened on SNMP (UDP to the printer's agent), a raw TCP/IP
// stream ("host:port"), a serial port (COMn), a parallel port (LPTn) or a
// USB printer device (any other port name: the device path), used for
// object operations, raw transfers or trap reception, and closed. Every
// operation returns 0 or a code of QBPResult.h and, where it fails, leaves
// the code (or the system error behind it) in the thread's last-error value.
//
// A session has no lock: one thread uses it at a time. Several sessions may
// run at once on different threads.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "CQBPEvent.h"
#include "CQBPVb.h"
#include "NcommExport.h"

struct QBPPdu; // a received SNMP message; opaque outside the library

class NCOMM_API CQBPTrans {
public:
    enum Kind { kNone = 0, kSnmp = 1, kTcpIp = 2, kCom = 3, kLpt = 4, kUsb = 5 };

    // snmpVersion 1 selects SNMP version 1, 2 version 2c; any other value
    // sets result to -150 (the session then speaks version 2c).
    CQBPTrans(int& result, int snmpVersion);
    virtual ~CQBPTrans();
    CQBPTrans(const CQBPTrans&) = delete;
    CQBPTrans& operator=(const CQBPTrans&) = delete;

    // Port names: "SNMP", "TCP/IP", "COMn" (n 1..256), "LPTn" (n 1..9);
    // any other name ("USB") opens a USB printer device. The address is the
    // printer's dotted IPv4 address (SNMP), "host:port" (TCP/IP), the line
    // parameters "baud,bits,parity,stop" (COM) or the device path (USB);
    // LPT ignores it.
    int Open(const char* portName, const char* address);
    int Open(const std::string& portName, const std::string& address);
    // Port numbers: 0 SNMP, 1 TCP/IP, 2 COM1, 3 COM2, 4 LPT1.
    int Open(int portNumber, const char* address);
    int Open(int portNumber, const std::string& address);
    int Close();

    int SetCommunity(const char* read, const char* write);
    int SetCommunity(const std::string& read, const std::string& write);
    int SetPrinterType(int type);

    // SNMP GET, GET-NEXT and SET (on TCP/IP, COM, LPT and USB sessions GET
    // and SET travel as printer commands). An SNMP error in the answer that
    // names one of its bindings is not a failure: it comes back as negative
    // types in the result list. An answer that is no answer to the request
    // fails it and leaves the result list as it was:
    //   -1 ... -18  an error status 1 ... 18 whose error index names none of
    //               the bindings (0, or past the last one): the status
    //               concerns the whole request;
    //   -111        an error status outside 1 ... 18, more bindings than
    //               asked for, or, without an error status, a binding that
    //               names another object than the request's at its place
    //               (GET, SET: neither its OID nor one below it, as lenient
    //               agents answer an object named without instance) or no
    //               object after it (GET-NEXT).
    int GetObject(CQBPVb request, CQBPVb& result);
    int GetNextObject(CQBPVb request, CQBPVb& result);
    int SetObject(CQBPVb request, CQBPVb& result);

    // Raw transfer on TCP/IP, COM, LPT and USB sessions. Send with an event
    // runs in the background and signals the event when it ends; Close
    // ends a running background send at once, without signalling.
    // Waits for the printer: TCP/IP up to 60 s for room in the socket, a
    // COM write up to the line's 1 s write time-out, LPT and USB writes as
    // long as the printer takes to accept the next byte, up to 60 s.
    int Send(const void* data, int length, CQBPEvent* event);
    int Receive(void* buffer, int size, int& received);
    int DeviceIoControl(unsigned long code, void* in, unsigned long inSize, void* out, unsigned long outSize,
                        unsigned long* returned);
    // Background send progress: status 0 idle, 1 running, 2 done, <0 failed.
    int GetSendStatus() const { return sendStatus_.load(); }
    int GetSentBytes() const { return sentBytes_.load(); }

    // Trap reception (UDP 162 unless QAV_TRAP_PORT says otherwise). The two
    // ways exclude each other in one process:
    //  - all traps of all senders to a callback (StartAllTrap), called on the
    //    library's receiving thread with (0, sender address "a.b.c.d",
    //    generic, specific, enterprise text, bindings, userData); the texts
    //    and the list live for the duration of the call;
    //  - the traps of this session's printer (StartTrap), signalled by the
    //    event and fetched one by one with GetTrap. The event must live
    //    until CancelTrap or Close.
    using TrapCallback = void (*)(int, const char*, int, int, char*, CQBPVb&, void*);
    int StartAllTrap(TrapCallback callback, void* userData);
    int StartTrap(CQBPEvent* event);
    int GetTrap(int& generic, int& specific, char* enterprise, int size, CQBPVb& bindings);
    // Stores one received trap in this session (used by the receiver).
    int SetTrapMsg(int generic, int specific, const std::string& enterprise, const QBPPdu& pdu);

    int GetKind() const { return kind_; }
    bool IsOpen() const { return open_ != 0; }
    const char* GetAddress() const { return address_; }
    const char* GetReadCommunity() const { return readCommunity_; }
    const char* GetWriteCommunity() const { return writeCommunity_; }
    int GetSnmpVersion() const { return snmpVersion_; }
    int GetLastSystemError() const { return lastSystemError_; }

    // Serial devices: COMn opens "<prefix><n-1>" (default "/dev/ttyS").
    // Also settable with the environment variable QAV_COM_DEVICE_PREFIX.
    static void SetComDevicePrefix(const std::string& prefix);

private:
    friend struct QBPTrapAccess;

    int SetDeviceName(int portNumber, std::string& name);
    int SnmpOpen(const char* address);
    int TcpIpOpen(const char* address);
    int CommOpen(const char* portName, const char* params);
    int SetCommParam(const char* params);
    int LptOpen(const char* portName);
    int UsbOpen(const char* path);
    int SnmpRequest(int requestType, const CQBPVb& request, CQBPVb& result);
    int DeviceRequest(int requestType, const CQBPVb& request, CQBPVb& result);
    int ObjectOperation(int requestType, const CQBPVb& request, CQBPVb& result);
    int SendBlock(const unsigned char* data, int length);
    // Sends the block on the socket; with `progressBase` >= 0 the bytes sent
    // so far count from there. A cancelled send returns kSendCancelled.
    int SendBlockTcpIp(const unsigned char* data, int length, int progressBase = -1);
    int StartSendNonBlock(const void* data, int length, CQBPEvent* event);
    void SendThreadProc();
    void StopSender();
    int Fail(int code); // sets the thread's last error from the system error or code
    void CancelTrap();

    int open_ = 0;
    int kind_ = kNone;
    int snmpVersion_ = 2;
    char address_[16] = {};
    char readCommunity_[81] = "kestra";
    char writeCommunity_[81] = "kestra";
    int fd_ = -1;     // COM, LPT, USB device
    int socket_ = -1; // TCP/IP stream
    int lastSystemError_ = 0;
    int printerType_ = 0;
    int commandSequence_ = 0;
    int baud_ = 0;

    // Trap state of this session (see TrapReception.cpp).
    int allTrapsFlag_ = 0;
    std::unique_ptr<struct QBPTrapQueue> trapQueue_;
    CQBPEvent* trapEvent_ = nullptr;

    // Background send state.
    std::atomic<int> sendStatus_{0};
    std::atomic<int> sentBytes_{0};
    int sendCancel_ = -1; // eventfd that wakes the sender to end it
    int sendTotal_ = 0;
    std::unique_ptr<unsigned char[]> sendCopy_;
    CQBPEvent* sendEvent_ = nullptr;
    std::thread sender_;
};

// Fills a list from a received SNMP message; with skipLast 1 the message's
// last binding is left out. Bindings of a syntax the list cannot hold
// (SNMPv2 exceptions) are dropped.
NCOMM_API void CopyPduToVb(CQBPVb& list, const QBPPdu& pdu, int skipLast);
