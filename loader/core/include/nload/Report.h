// The texts a download run writes: error messages, time stamps, the log's
// lines and the saved report.
#pragma once

#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#include "nload/Printer.h"
#include "nload/Trailer.h"

namespace qavres {
class StringTable;
}

namespace nload {

// The tool's own texts (the resource library "QDLRSENG", or "QDLRSJPN"
// when the installation's language is "JPN").
inline constexpr const char* kTextsEnglish = "QDLRSENG";
inline constexpr const char* kTextsJapanese = "QDLRSJPN";
const char* TextsName(const std::string& language);

// A text with each "%d" replaced by the next number (and "%%" by "%");
// conversions without a number left stay as they are.
std::string FormatText(const std::string& format, std::initializer_list<long long> numbers);

// The message of a printer's error code with its numbers; empty for 0.
std::string ErrorMessage(const qavres::StringTable& texts, const PrinterResult& result);

// "%04d/%02d/%02d   %02d:%02d:%02d.%03d" in local time.
std::string TimeStamp(std::chrono::system_clock::time_point when);

// The name of the kind as the windows show it: its text, or the kind name
// itself for a kind the table does not know.
std::string KindText(const qavres::StringTable& texts, const FileInfo& info);

// What the report is made of.
struct ReportData {
    std::string fileName;   // the file as chosen (path, or the catalog's path)
    FileInfo file;
    std::string startTime, endTime;
    std::vector<PrinterInfo> printers; // with their results
    std::string log;        // the log text, lines ending in "\n"
};

// The saved report: the kind's title (text 8000 + kind code), the start and
// end times (8010, 8011), the result heading (8030), the file's values
// (8020-8027), one block per printer (port, address, result) and the log.
// Lines end with CR LF.
std::string BuildReport(const qavres::StringTable& texts, const ReportData& data);

// A printer's result line: its name followed by text 5003 on success, else
// its name and its error message.
std::string ResultLine(const qavres::StringTable& texts, const PrinterInfo& printer);

} // namespace nload
