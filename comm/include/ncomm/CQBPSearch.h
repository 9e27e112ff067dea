// CQBPSearch: printer discovery on the network and on USB.
//
// A network search sends one hand-built SNMP version 1 GET request (community
// "kestra") for the caller's OID, either as one datagram to a broadcast
// address (SearchPrinter) or as one datagram to every address of a list of
// ranges (SingleSearchPrinter), and collects, for the given number of
// seconds, the address of every host that answers it without an SNMP error:
// an answer counts only when it is the answer to this request (request id
// and community, a well-formed message, sent from the agents' port) and, for
// a range search, comes from an address of the ranges.
// Both calls return at once; the search runs on threads of the library and
// the caller polls SearchGetResult until it no longer returns 10. The window
// bounds the whole search, sending included.
//
// Results are IPv4 addresses as 32-bit values in network byte order: the
// first octet of the address is the lowest-addressed byte of the value.
//
// A USB search (SearchUSB, SearchUSBEx) runs on the caller's thread: it looks
// at every USB printer device (/dev/usb/lp*, or the pattern in
// QAV_USB_DEVICE_GLOB) and keeps those whose IEEE 1284 device identifier
// names one of the maker's printer families.
//
// One caller uses a search object at a time. Destroying the object stops a
// running search and waits for its threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "NcommExport.h"

class NCOMM_API CQBPSearch {
public:
    CQBPSearch();
    virtual ~CQBPSearch();
    CQBPSearch(const CQBPSearch&) = delete;
    CQBPSearch& operator=(const CQBPSearch&) = delete;

    // Broadcast search: one datagram to UDP port 161 (QAV_SNMP_PORT) of
    // address, "255.255.255.255" when address is null. seconds 1..600.
    int SearchPrinter(const char* oid, int seconds, const char* address);
    int SearchPrinter(const std::string& oid, int seconds, std::string* address);

    // Range search over texts "a.b.c.d-e.f.g.h" (a single address is given
    // as the same address twice). A range whose first address is above its
    // last sends nothing; a null or empty list sends nothing and the search
    // still waits its window.
    int SingleSearchPrinter(const char* oid, int seconds, std::vector<std::string>* ranges);
    int SingleSearchPrinter(const std::string& oid, int seconds, std::vector<std::string>* ranges);

    // 10 while a search runs, 0 after one that ended normally (or before the
    // first), else the negative code it ended with. Also puts the latest
    // socket error into the thread's last-error value.
    int SearchGetResult();
    int SearchGetSize();
    // The result at index (network byte order), 0 outside 0..size-1.
    unsigned long SearchGetAt(int index);
    // Asks the running search to stop (it then ends with -206); -151 when no
    // search runs.
    int SearchCancel();

    // USB printer devices of the maker: their device paths, and for the Ex
    // form the model text at the same index.
    int SearchUSB(std::vector<std::string>& paths);
    int SearchUSBEx(std::vector<std::string>& paths, std::vector<std::string>& models);

    // The maker-family rule on an IEEE 1284 device identifier text: the text
    // after the identifier's last ':' must begin with one of the family
    // prefixes and not with "VORANTA M-RA". When accepted and model is given,
    // it receives that text (at most 255 characters).
    static bool CheckDeviceIdText(const char* deviceId, std::string* model);

private:
    int StartCommon(const char* oid, int seconds);
    int CreateSearchMessage(const char* oid);
    static int CnvtOidAsn1(const char* oid, unsigned char* out, int outSize);
    int CreateIPAddressTable(const std::vector<std::string>* ranges);
    int InitializeSocket(bool broadcast);
    void CloseSocket();
    int SendGetMessage(const char* address);
    void SendAllRange();
    int SendOneIP(uint32_t address);
    void ReceiveThreadProc();
    void RcvOneMessage();
    bool CheckResponseMessage(const unsigned char* data, int length, uint32_t sender, int senderPort) const;
    bool DuplicateCheck(uint32_t address);
    void WaitSendThreadEnd();
    void StopRunningSearch();
    bool WindowPassed() const;
    int Fail(int code, int lastError);
    int DoSearchUSB(std::vector<std::string>& paths, std::vector<std::string>* models);
    static bool CheckQavPrinter(int fd, std::string* model);

    mutable std::mutex resultsMutex_;
    std::vector<uint32_t> results_;
    std::unordered_set<uint32_t> found_; // the results again, for the duplicate check
    std::vector<uint32_t> rangeTable_;
    bool rangeSearch_ = false; // answers count only from addresses of the range table
    unsigned char message_[260] = {}; // 257 bytes at most (an OID of 220 encoded bytes)
    int messageLength_ = 0;
    int socket_ = -1;
    int port_ = 161;
    std::atomic<int> status_{0};
    std::atomic<int> stopReason_{0};
    std::atomic<int> cancel_{0};
    std::atomic<int> senderRunning_{0};
    std::atomic<bool> shutdown_{false}; // the object is being destroyed or reused
    int64_t startTime_ = 0;             // steady microseconds
    int waitSeconds_ = 0;
    std::atomic<int> lastSocketError_{0};
    std::thread sender_;
    std::thread receiver_;
};
