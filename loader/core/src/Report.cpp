#include "nload/Report.h"

#include <cstdio>
#include <ctime>

#include "nload/Protocol.h"
#include "qavres/Resources.h"

namespace nload {

namespace {

// Report texts.
enum ReportText : int {
    kReportTitle = 8000, // + kind code
    kStartTime = 8010,
    kEndTime = 8011,
    kFileLabel = 8020,
    kKindLabel = 8021,
    kModelLabel = 8022,
    kVersionLabel = 8023,
    kSizeLabel = 8024,
    kChecksumLabel = 8025,
    kText1Label = 8026,
    kText2Label = 8027,
    kResultHeading = 8030,
    kCompleted = 5003,
};

constexpr const char* kCrLf = "\r\n";

// Lines ending in "\n" (or "\r\n") as lines ending in CR LF.
std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n') {
            out += kCrLf;
        } else {
            out += text[i];
        }
    }
    if (!out.empty() && (out.size() < 2 || out.compare(out.size() - 2, 2, kCrLf) != 0)) out += kCrLf;
    return out;
}

// The port as the report writes it, two blanks before the address that
// follows: "SNMP  ", "TCP/IP  ", "USB  ", "COM1  "; "LPT1" has no address.
std::string ReportPort(const PrinterInfo& p)
{
    switch (p.kind) {
    case PortKind::kNetwork: return "SNMP  ";
    case PortKind::kTcpIp: return "TCP/IP  ";
    case PortKind::kUsb: return "USB  ";
    case PortKind::kSerial: return p.PortText() + "  ";
    case PortKind::kParallel: break;
    }
    return p.PortText();
}

} // namespace

const char* TextsName(const std::string& language) { return language == "JPN" ? kTextsJapanese : kTextsEnglish; }

std::string FormatText(const std::string& format, std::initializer_list<long long> numbers)
{
    std::string out;
    auto next = numbers.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 'd' && next != numbers.end()) {
                out += std::to_string(*next++);
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

std::string ErrorMessage(const qavres::StringTable& texts, const PrinterResult& r)
{
    if (r.code == kOk) return {};
    const ErrorRow* row = FindErrorRow(r.code);
    if (!row) return "Error " + std::to_string(r.code) + " (result " + std::to_string(r.result) + ")";
    const std::string& text = texts.Get(row->text);
    switch (row->args) {
    case MessageArgs::kCodeResultError: return FormatText(text, {r.code, r.result, r.systemError});
    case MessageArgs::kCodeResult: return FormatText(text, {r.code, r.result});
    case MessageArgs::kResultError: return FormatText(text, {r.result, r.systemError});
    case MessageArgs::kNone: break;
    }
    return text;
}

std::string TimeStamp(std::chrono::system_clock::time_point when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d   %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms));
    return text;
}

std::string KindText(const qavres::StringTable& texts, const FileInfo& info)
{
    const int id = KindTextId(info);
    return id ? texts.Get(id) : info.kindName;
}

std::string ResultLine(const qavres::StringTable& texts, const PrinterInfo& p)
{
    if (p.last.code == kOk) return p.DisplayName() + texts.Get(kCompleted);
    return p.DisplayName() + ": " + ErrorMessage(texts, p.last);
}

std::string BuildReport(const qavres::StringTable& texts, const ReportData& d)
{
    const FileInfo& f = d.file;
    const bool known = f.kind >= 0 && f.kind < kKindCodes;
    std::string r;
    auto line = [&r](const std::string& text) { r += text + kCrLf; };
    line(known ? texts.Get(kReportTitle + f.kind) : f.kindName);
    line("");
    line(texts.Get(kStartTime) + " " + d.startTime);
    line(texts.Get(kEndTime) + " " + d.endTime);
    line("");
    line(texts.Get(kResultHeading));
    line(texts.Get(kFileLabel) + " " + d.fileName);
    line(texts.Get(kKindLabel) + " " + KindText(texts, f));
    line(texts.Get(kModelLabel) + " " + f.model);
    line(texts.Get(kVersionLabel) + " " + f.version);
    line(texts.Get(kSizeLabel) + " " + SizeText(f));
    line(texts.Get(kChecksumLabel) + " " + ChecksumText(f));
    line(texts.Get(kText1Label) + " " + f.text1);
    line(texts.Get(kText2Label) + " " + f.text2);
    line("");
    for (const PrinterInfo& p : d.printers) {
        line(ReportPort(p) + p.WhereText());
        line(ResultLine(texts, p));
        line("");
    }
    r += WithCrLf(d.log);
    return r;
}

} // namespace nload
