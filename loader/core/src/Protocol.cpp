#include "nload/Protocol.h"

#include <cstring>

namespace nload {

bool PrepareData(const std::vector<unsigned char>& file, int kind, std::vector<unsigned char>& data,
                 std::string* error)
{
    data.clear();
    if (kind == kKindGaiji) {
        if (file.size() < kTrailerSize) {
            if (error) *error = "shorter than its 256-byte download trailer";
            return false;
        }
        data.assign(file.begin(), file.end() - static_cast<std::ptrdiff_t>(kTrailerSize));
        return true;
    }
    size_t skip = 0;
    if (file.size() >= 3 && std::memcmp(file.data(), kBarHead, 3) == 0) {
        if (file.size() < kBarHeaderSize) {
            if (error) *error = "shorter than its 288-byte BAR header";
            return false;
        }
        skip = kBarHeaderSize;
    }
    const size_t head = std::strlen(kDataHead), tail = std::strlen(kDataTail);
    data.reserve(head + (file.size() - skip) + tail);
    data.insert(data.end(), kDataHead, kDataHead + head);
    data.insert(data.end(), file.begin() + static_cast<std::ptrdiff_t>(skip), file.end());
    data.insert(data.end(), kDataTail, kDataTail + tail);
    return true;
}

std::array<unsigned char, kStartCommandSize> StartCommand(uint32_t checksum, uint32_t sizeKb)
{
    return {'{',
            'L',
            'D',
            ';',
            static_cast<unsigned char>(checksum >> 24),
            static_cast<unsigned char>(checksum >> 16),
            static_cast<unsigned char>(checksum >> 8),
            static_cast<unsigned char>(checksum),
            ',',
            static_cast<unsigned char>(sizeKb >> 8),
            static_cast<unsigned char>(sizeKb),
            '|',
            '}'};
}

namespace {

bool Digit(unsigned char c) { return c >= '0' && c <= '9'; }

// Whether a full reply frame starts at p (13 bytes available).
bool FrameAt(const unsigned char* p)
{
    return p[0] == kSoh && p[1] == kStx && Digit(p[2]) && Digit(p[3]) && p[4] == '2' && p[9] == kEtx &&
           p[10] == kEot && p[11] == kCr && p[12] == kLf;
}

} // namespace

int ScanReply(const unsigned char* buffer, size_t length, size_t* frameEnd)
{
    for (size_t i = 0; i + kReplySize <= length; ++i) {
        if (buffer[i] != kSoh || !FrameAt(buffer + i)) continue;
        if (frameEnd) *frameEnd = i + kReplySize;
        return (buffer[i + 2] & 0x0F) * 10 + (buffer[i + 3] & 0x0F);
    }
    return kReplyNone;
}

int ReplyScanner::Feed(const unsigned char* bytes, size_t length)
{
    held_.insert(held_.end(), bytes, bytes + length);
    return Next();
}

int ReplyScanner::Next()
{
    size_t end = 0;
    const int value = ScanReply(held_.data(), held_.size(), &end);
    if (value != kReplyNone) {
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(end));
        return value;
    }
    // Nothing complete: only a tail that may still become a frame is kept
    // (from the first SOH among the final 12 bytes).
    const size_t keepFrom = held_.size() >= kReplySize ? held_.size() - (kReplySize - 1) : 0;
    size_t start = held_.size();
    for (size_t i = keepFrom; i < held_.size(); ++i) {
        if (held_[i] == kSoh) {
            start = i;
            break;
        }
    }
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(start));
    return kReplyNone;
}

const ErrorRow* FindErrorRow(int code)
{
    for (const ErrorRow& row : kErrorTexts) {
        if (row.code == code) return &row;
    }
    return nullptr;
}

int RefusalCode(int reply)
{
    switch (reply) {
    case kReplyRefusedChecksum: return kErrRefusedChecksum;
    case kReplyRefusedSize: return kErrRefusedSize;
    case kReplyRefusedModel: return kErrRefusedModel;
    default: return 0;
    }
}

} // namespace nload
