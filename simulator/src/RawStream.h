// What a printer makes of the bytes arriving on one of its raw ports: print
// data, object commands ("{GOID;", "{SOID;"), and downloads ("{LD;" then
// "{LP;" with the file, Download.h). Anything that is not one of these
// commands is print data; a "{LP;" without an accepted start command too.
//
// The stream keeps its state between chunks, so a command may arrive in
// any number of pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Download.h"

namespace qavsim {

class RawStream {
public:
    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void PrintData(size_t bytes) = 0;
        virtual void ObjectCommand(const std::string& command) = 0;
        // A download reply: 52, 53, or the final 56, 6, 50, 51.
        virtual void DownloadReply(int value) = 0;
        // A file was received and checked (after its final reply).
        virtual void DownloadDone(const DownloadOutcome& outcome) = 0;
        virtual std::string ShortModel() = 0;
    };

    explicit RawStream(Handler& handler) : handler_(handler) {}

    void Feed(const unsigned char* data, size_t length);
    // Forgets a half-received command or download (the peer went away).
    void Reset();
    bool InDownload() const { return state_ == kData; }
    size_t DownloadBytes() const { return file_.size(); }

    // A download larger than this is refused with 50.
    static constexpr size_t kMaxFile = 256u << 20;

private:
    enum State { kIdle, kHead, kStart, kObject, kData, kWrapperEnd };

    // Consumes data; whatever must be scanned again from the idle state goes
    // to `carry`.
    void Process(const unsigned char* data, size_t length, std::string& carry);
    // Looks for the end of the file and for block boundaries in the new data.
    // Returns the file's length once it is complete, else 0.
    size_t ScanDownload();
    void FinishDownload(size_t end, std::string& carry);

    Handler& handler_;
    State state_ = kIdle;
    std::string pending_;
    bool armed_ = false;
    uint32_t checksum_ = 0;
    uint16_t sizeKb_ = 0;
    std::string file_;
    size_t searchFrom_ = 0;
    size_t blocksAcknowledged_ = 0;
};

} // namespace qavsim
