#include "RawStream.h"

#include <cstring>

#include "PrinterCommands.h"

namespace qavsim {

namespace {

constexpr size_t kStartLength = 13; // "{LD;" cccc "," ss "|}"
constexpr size_t kObjectHeadLength = 6;

// Offset of the magic in the trailer, and its common part.
constexpr size_t kMagicOffset = 240;
constexpr char kLoadFile[] = "LOADFILE";
constexpr size_t kLoadFileLength = sizeof kLoadFile - 1;
constexpr size_t kLoadFileInMagic = 5; // "QQAV LOADFILE": LOADFILE starts at 5

enum Head { kNoHead, kPrefix, kObjectHead, kStartHead, kDataHead };

Head MatchHead(const std::string& text)
{
    struct Known {
        const char* text;
        Head head;
    };
    static const Known kHeads[] = {{"{GOID;", kObjectHead}, {"{SOID;", kObjectHead}, {"{LD;", kStartHead},
                                   {"{LP;", kDataHead}};
    bool prefix = false;
    for (const Known& k : kHeads) {
        const size_t n = std::strlen(k.text);
        if (text.size() == n && text == k.text) return k.head;
        if (text.size() < n && std::strncmp(k.text, text.data(), text.size()) == 0) prefix = true;
    }
    return prefix ? kPrefix : kNoHead;
}

uint32_t BigEndian(const std::string& s, size_t pos, size_t count)
{
    uint32_t v = 0;
    for (size_t i = 0; i < count; ++i) v = (v << 8) | static_cast<unsigned char>(s[pos + i]);
    return v;
}

} // namespace

void RawStream::Reset()
{
    state_ = kIdle;
    pending_.clear();
    armed_ = false;
    file_.clear();
    file_.shrink_to_fit();
    searchFrom_ = 0;
    blocksAcknowledged_ = 0;
}

void RawStream::Feed(const unsigned char* data, size_t length)
{
    std::string carry;
    Process(data, length, carry);
    while (!carry.empty()) {
        std::string again;
        again.swap(carry);
        Process(reinterpret_cast<const unsigned char*>(again.data()), again.size(), carry);
    }
}

void RawStream::Process(const unsigned char* data, size_t length, std::string& carry)
{
    size_t i = 0;
    while (i < length) {
        switch (state_) {
        case kIdle: {
            const void* brace = std::memchr(data + i, '{', length - i);
            const size_t at = brace ? static_cast<size_t>(static_cast<const unsigned char*>(brace) - data) : length;
            if (at > i) handler_.PrintData(at - i);
            if (!brace) return;
            pending_.assign(1, '{');
            state_ = kHead;
            i = at + 1;
            break;
        }
        case kHead: {
            pending_ += static_cast<char>(data[i++]);
            const Head head = MatchHead(pending_);
            if (head == kPrefix) break;
            if (head == kObjectHead) {
                state_ = kObject;
            } else if (head == kStartHead) {
                state_ = kStart;
            } else if (head == kDataHead && armed_) {
                state_ = kData;
                armed_ = false;
                pending_.clear();
                file_.clear();
                searchFrom_ = 0;
                blocksAcknowledged_ = 0;
            } else {
                // Not a command: the brace is print data, and what followed
                // it is looked at again.
                handler_.PrintData(1);
                carry = pending_.substr(1);
                carry.append(reinterpret_cast<const char*>(data + i), length - i);
                pending_.clear();
                state_ = kIdle;
                return;
            }
            break;
        }
        case kStart: {
            const size_t take = std::min(kStartLength - pending_.size(), length - i);
            pending_.append(reinterpret_cast<const char*>(data + i), take);
            i += take;
            if (pending_.size() < kStartLength) break;
            state_ = kIdle;
            if (pending_[8] != ',' || pending_[11] != '|' || pending_[12] != '}') {
                handler_.PrintData(pending_.size());
                pending_.clear();
                break;
            }
            checksum_ = BigEndian(pending_, 4, 4);
            sizeKb_ = static_cast<uint16_t>(BigEndian(pending_, 9, 2));
            armed_ = true;
            pending_.clear();
            handler_.DownloadReply(download::kStartAccepted);
            break;
        }
        case kObject: {
            pending_.append(reinterpret_cast<const char*>(data + i), length - i);
            i = length;
            const int n = ObjectCommandLength(pending_);
            if (n == 0) break;
            state_ = kIdle;
            if (n < 0) {
                // A malformed command: its head is print data, the rest is
                // looked at again.
                handler_.PrintData(kObjectHeadLength);
                carry = pending_.substr(kObjectHeadLength);
            } else {
                carry = pending_.substr(static_cast<size_t>(n));
                handler_.ObjectCommand(pending_.substr(0, static_cast<size_t>(n)));
            }
            pending_.clear();
            return;
        }
        case kData: {
            file_.append(reinterpret_cast<const char*>(data + i), length - i);
            i = length;
            const size_t end = ScanDownload();
            if (end > 0) {
                FinishDownload(end, carry);
                return;
            }
            if (file_.size() > kMaxFile) {
                handler_.DownloadReply(download::kBadSize);
                Reset();
            }
            break;
        }
        case kWrapperEnd: {
            // The closing "|}" of a whole download belongs to it.
            pending_ += static_cast<char>(data[i++]);
            if (pending_ == "|") break;
            state_ = kIdle;
            if (pending_ != "|}") {
                carry = pending_;
                carry.append(reinterpret_cast<const char*>(data + i), length - i);
                pending_.clear();
                return;
            }
            pending_.clear();
            break;
        }
        }
    }
}

size_t RawStream::ScanDownload()
{
    size_t end = 0;
    size_t from = searchFrom_;
    for (;;) {
        const void* hit = from < file_.size()
                              ? memmem(file_.data() + from, file_.size() - from, kLoadFile, kLoadFileLength)
                              : nullptr;
        if (!hit) {
            searchFrom_ = file_.size() > kLoadFileLength ? file_.size() - kLoadFileLength : 0;
            break;
        }
        const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - file_.data());
        from = at + 1;
        if (at < kMagicOffset + kLoadFileInMagic) continue;
        const size_t start = at - kLoadFileInMagic - kMagicOffset;
        if (start + download::kTrailerSize > file_.size()) {
            searchFrom_ = at; // the rest of this trailer is still on its way
            break;
        }
        Trailer t;
        if (ReadTrailer(reinterpret_cast<const unsigned char*>(file_.data()) + start, t) && t.checksum == checksum_ &&
            (t.sizeKb & 0xFFFF) == sizeKb_) {
            end = start + download::kTrailerSize;
            break;
        }
    }
    // Every 256 KB of file data is acknowledged, unless the file ends there.
    const size_t limit = end ? end : file_.size();
    while ((blocksAcknowledged_ + 1) * download::kBlockSize <= limit) {
        if (end && (blocksAcknowledged_ + 1) * download::kBlockSize == end) break;
        ++blocksAcknowledged_;
        handler_.DownloadReply(download::kBlockReceived);
    }
    return end;
}

void RawStream::FinishDownload(size_t end, std::string& carry)
{
    carry = file_.substr(end);
    file_.resize(end);
    const DownloadOutcome outcome = CheckDownload(file_, checksum_, sizeKb_, handler_.ShortModel());
    file_.clear();
    file_.shrink_to_fit();
    state_ = kWrapperEnd;
    handler_.DownloadReply(outcome.reply);
    handler_.DownloadDone(outcome);
}

} // namespace qavsim
