// The download protocol on the printer's port: the data as it is sent, the
// start command, the printer's replies, and the error codes of a download.
//
//   tool                                   printer
//   "{LD;" checksum(4) "," sizeKB(2) "|}"  ->
//                                          <- reply 52 (send the data)
//   "{LP;" file bytes "|}"                 ->    (block mode: 256 KB blocks,
//                                          <- 53 after each but the last)
//                                          <- reply 56 (finished), then a
//                                             network printer restarts
//
// A reply is 13 bytes: SOH STX d1 d2 '2' four bytes ETX EOT CR LF, worth
// d1*10+d2. GAIJI files go without start command, wrapper or replies.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "nload/Trailer.h"

namespace nload {

// ------------------------------------------------------------- the data

inline constexpr const char* kDataHead = "{LP;";
inline constexpr const char* kDataTail = "|}";
// A file that begins with these bytes carries a header of 288 bytes that
// the printer must not get.
inline constexpr const char* kBarHead = "BAR";
inline constexpr size_t kBarHeaderSize = 288;

// The bytes sent for a file's content: "{LP;", the content (without a
// "BAR" header), "|}"; for GAIJI the content without its trailer, unwrapped.
// False, with the reason, when the content is too short for that.
bool PrepareData(const std::vector<unsigned char>& file, int kind, std::vector<unsigned char>& data,
                 std::string* error = nullptr);

// The 13-byte start command: "{LD;", the checksum big-endian, ",", the low
// 16 bits of the size in KB big-endian, "|}".
inline constexpr size_t kStartCommandSize = 13;
std::array<unsigned char, kStartCommandSize> StartCommand(uint32_t checksum, uint32_t sizeKb);

// ----------------------------------------------------------- the replies

inline constexpr size_t kReplySize = 13;
inline constexpr unsigned char kSoh = 0x01, kStx = 0x02, kEtx = 0x03, kEot = 0x04, kCr = 0x0D, kLf = 0x0A;

enum Reply : int {
    kReplyNone = -1,
    kReplyStart = 52,    // start command accepted: send the data
    kReplyBlock = 53,    // block received: send the next one
    kReplyFinished = 56, // download finished
    kReplyRefusedChecksum = 6,
    kReplyRefusedSize = 50,
    kReplyRefusedModel = 51,
};

// The value of the first full reply frame in the buffer (scanning from each
// SOH in turn), or -1. `frameEnd` receives the offset just past that frame.
int ScanReply(const unsigned char* buffer, size_t length, size_t* frameEnd = nullptr);

// Gathers the bytes of one connection and finds the replies in them, also
// when a reply arrives in pieces or after other bytes.
class ReplyScanner {
public:
    // Adds received bytes; returns the value of the next complete reply,
    // or -1 while there is none. Bytes up to and including a reply are
    // consumed; a partial frame is kept for the next bytes.
    int Feed(const unsigned char* bytes, size_t length);
    // Looks for a further reply in the bytes already held.
    int Next();

private:
    std::vector<unsigned char> held_;
};

// ------------------------------------------------------------ error codes

// The outcome codes of one printer's download and the message text of each.
enum ErrorCode : int {
    kOk = 0,
    kErrFileRead = 1,         // the file cannot be read (also: an operation is under way)
    kErrFileTooShort = 2,     // the file is too short for its kind
    kErrTransport = 10,
    kErrOpen = 11,
    kErrInfoRead = 12,        // the printer information cannot be read
    kErrStartSend = 15,
    kErrStartReceive = 16,
    kErrStartTimeout = 17,
    kErrSendEvent = 18,
    kErrDataSend = 19,
    kErrDataStalled = 20,
    kErrReplyReceive = 21,
    kErrReplyTimeout = 22,
    kErrVersionAfterRestart = 23,
    kErrRefusedChecksum = 24,
    kErrRefusedSize = 25,
    kErrRefusedModel = 26,
    kErrStopped = 30,
    kErrReadAfterRestart = 31,
    kErrNotServed = 40,
};
inline constexpr int kUnderWay = 1; // the code of a printer while an operation runs

// What goes into an error's message: the code, the library's result and
// the system error, in the order its text takes them.
enum class MessageArgs { kNone, kCodeResultError, kCodeResult, kResultError };

struct ErrorRow {
    int code;
    int text;
    MessageArgs args;
};
inline constexpr std::array<ErrorRow, 20> kErrorTexts = {{
    {kErrTransport, 8080, MessageArgs::kCodeResultError},
    {kErrOpen, 8080, MessageArgs::kCodeResultError},
    {kErrSendEvent, 8080, MessageArgs::kCodeResultError},
    {kErrStartSend, 8081, MessageArgs::kCodeResultError},
    {kErrDataSend, 8081, MessageArgs::kCodeResultError},
    {kErrDataStalled, 8081, MessageArgs::kCodeResultError},
    {kErrStartReceive, 8082, MessageArgs::kCodeResultError},
    {kErrReplyReceive, 8082, MessageArgs::kCodeResultError},
    {kErrStartTimeout, 8083, MessageArgs::kCodeResult},
    {kErrReplyTimeout, 8083, MessageArgs::kCodeResult},
    {kErrVersionAfterRestart, 8084, MessageArgs::kNone},
    {kErrRefusedChecksum, 8092, MessageArgs::kNone},
    {kErrRefusedSize, 8093, MessageArgs::kNone},
    {kErrRefusedModel, 8094, MessageArgs::kNone},
    {kErrFileRead, 8080, MessageArgs::kCodeResultError},
    {kErrFileTooShort, 8080, MessageArgs::kCodeResultError},
    {kErrInfoRead, 8080, MessageArgs::kCodeResultError},
    {kErrStopped, 8090, MessageArgs::kResultError},
    {kErrReadAfterRestart, 8091, MessageArgs::kResultError},
    {kErrNotServed, 8095, MessageArgs::kNone},
}};

// The row of an error code (null for 0 and unknown codes).
const ErrorRow* FindErrorRow(int code);

// The error code of a refusal reply (6, 50, 51), or 0 for any other value.
int RefusalCode(int reply);

} // namespace nload
