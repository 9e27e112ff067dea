// The environmental log: a report about the computer and about every
// included printer of the device list (counters, diagnosis data, printer
// information, network settings, and the result of a print-head check),
// appended to one text file.
//
// Every line goes through the line writer the trap log uses too
// (AppendLogLine): a file over its maximum size is first trimmed from the
// front to a little under it, then the line is appended whole, under one
// lock for both logs. A line that cannot be written is lost alone. Printer values
// are read with the printer-object reader (qavobj), one request per object
// list; a value that cannot be read leaves its line out.
//
// Nothing here touches a window. A report blocks its caller for all its
// SNMP exchanges, so the monitor runs it on a worker thread; the printers
// are read side by side and written in list order.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "SystemInfo.h"
#include "qavobj/PrinterObjects.h"
#include "qavsettings/SettingsFiles.h"

namespace qavres {
class ObjectTable;
class StringTable;
}

namespace nwatch {

struct ReadContext; // StatusReaders.h

// ------------------------------------------------------------ line writer

// Line kinds: 1 a title under a line of 45 asterisks after an empty line,
// 2 the text (or an empty line), 3 the text indented by two blanks, 4 the
// text as it is.
struct EnvLine {
    int kind = 4;
    std::string text;
    bool operator==(const EnvLine& o) const { return kind == o.kind && text == o.text; }
};

// The bytes a line adds to the file.
std::string EnvLineBytes(const EnvLine& line);

class EnvLogFile {
public:
    // maximumBytes 0: no trimming.
    EnvLogFile(std::string path, long maximumBytes) : path_(std::move(path)), maximumBytes_(maximumBytes) {}
    // Trims, appends the line and closes the file. False when the file could
    // not be opened or written.
    bool Write(const EnvLine& line) const;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    long maximumBytes_;
};

// "  label<tabs>\t:\tvalue": (45 - bytes of the label) / 8 - 1 tabs, none
// when that is below 1.
std::string LabelLine(const std::string& label, const std::string& value);

// ---------------------------------------------------------- value formats

// The printer's error code (object 20901) as its language text; an unknown
// code, or one whose text is empty, gives text 3028 with the code. Empty
// for an empty value.
std::string ErrorCodeText(const std::string& value, const qavres::StringTable& language);
// An integer in tenths with one decimal place: "123" gives "12.3", "-5"
// gives "-0.5". Empty for an empty value.
std::string Tenths(const std::string& value);
// A hardware address as "XX:XX:XX:XX:XX:XX": 6 raw bytes byte by byte; a
// text of hex digit pairs (the library's hex dump "00 80 92 ..", or
// "00-80-92..") pair by pair; anything else byte by byte.
std::string HardwareAddressText(const std::string& value);
// The first "%s" or "%d" of a language text replaced by the value (texts
// come from a file and are never used as formats).
std::string FillText(const std::string& text, const std::string& value);

// --------------------------------------------------------------- printers

// One printer of the device list as the report sees it.
struct EnvPrinter {
    uint32_t address = 0;
    bool included = false; // the record's kind is not 0
    int errorCode = 0;
    std::string auxiliaryText; // object 161: tells the model ("VORANTA QAV M-RA1")
};

// The device list's printers, in list order.
std::vector<EnvPrinter> EnvPrintersFromDeviceList();

// Models with fewer objects, by the printer's auxiliary text.
bool IsModelRA1(const EnvPrinter& printer);
bool IsModelRC(const EnvPrinter& printer);

// How the report reaches the printers. The real one is SnmpEnvReader; the
// tests also give their own.
class EnvPrinterReader {
public:
    virtual ~EnvPrinterReader() = default;
    // One request for up to 20 objects, each at its first instance.
    virtual qavobj::Outcome ReadObjects(uint32_t address, std::vector<qavobj::ObjectRequest>& requests) = 0;
    // One object at an instance ("<oid>.<instance>"), of the table's type.
    virtual qavobj::Outcome ReadInstance(uint32_t address, int object, int instance, std::string& value) = 0;
    // A table walked by its columns: rows[r][c].
    virtual qavobj::Outcome ReadTable(uint32_t address, const std::vector<qavobj::ObjectRequest>& columns,
                                      std::vector<std::vector<std::string>>& rows) = 0;
    // Writes an integer object and gives the value the printer answered.
    virtual qavobj::Outcome WriteInteger(uint32_t address, int object, int value, int* readBack) = 0;
    // The object table's type code of an object (the type a request expects).
    virtual int TypeOf(int object) const = 0;
};

// The printers over SNMP, with the monitor's communities. A printer that
// let an exchange run into the time-out is not asked again by this reader:
// its later calls fail at once the same way, so a printer that is switched
// off costs one time-out per report, not one per object list.
class SnmpEnvReader : public EnvPrinterReader {
public:
    SnmpEnvReader(const qavres::ObjectTable& objects, std::string readCommunity, std::string writeCommunity);

    qavobj::Outcome ReadObjects(uint32_t address, std::vector<qavobj::ObjectRequest>& requests) override;
    qavobj::Outcome ReadInstance(uint32_t address, int object, int instance, std::string& value) override;
    qavobj::Outcome ReadTable(uint32_t address, const std::vector<qavobj::ObjectRequest>& columns,
                              std::vector<std::vector<std::string>>& rows) override;
    qavobj::Outcome WriteInteger(uint32_t address, int object, int value, int* readBack) override;
    int TypeOf(int object) const override;

private:
    qavobj::Target TargetOf(uint32_t address) const;
    bool Silent(uint32_t address, qavobj::Outcome& outcome) const;
    qavobj::Outcome Note(uint32_t address, const qavobj::Outcome& outcome);

    const qavres::ObjectTable& objects_;
    std::string read_, write_;
    mutable std::mutex mutex_;
    std::vector<std::pair<uint32_t, qavobj::Outcome>> silent_;
};

// ------------------------------------------------------------ head checks

// The printers whose head check was started.
using HeadChecks = std::set<uint32_t>;

// Starts the head check on every included printer that is ready for it
// (objects 20881 and 20901 answer as integers, the error code 0) by writing
// 1 into object 20881.
HeadChecks StartHeadChecks(const std::vector<EnvPrinter>& printers, EnvPrinterReader& reader,
                           const std::atomic<bool>* stop = nullptr);

// ----------------------------------------------------------------- report

// What a report contains and where it goes (section Environmental).
struct EnvReportOptions {
    std::string fileName;
    long maximumBytes = 0; // MaximumSize x 1024; 0 no trimming
    bool headCheck = false;
    bool sysInfo = false;
    bool counterInfo = false;
    bool diagnosisInfo = false;
    bool printerInfo = false;
    bool networkInformation = false;

    static EnvReportOptions FromSettings(const qavsettings::EnvironmentalLogConfig& settings);
};

// One run of the report.
struct EnvReportRun {
    std::time_t time = 0;                   // the header's time; 0: now
    const HeadChecks* headChecks = nullptr; // the report that follows the head checks; null: no head check section
    const SystemInfo* system = nullptr;     // null: this computer's
    std::function<void(int ms)> pause;      // between reads of the head state; null: sleeps
    const std::atomic<bool>* stop = nullptr; // ends the report before the next printer
    int concurrency = 8;                    // printers read side by side
};

struct EnvReportResult {
    int printers = 0;  // in the device list
    int included = 0;  // reported
    int lines = 0;     // written
    int linesLost = 0; // could not be written
    bool stopped = false;
    bool noObjectTable = false; // nothing written: the object table is not loaded
};

// The lines of one printer's sections, in their order.
std::vector<EnvLine> PrinterSections(const EnvPrinter& printer, const EnvReportOptions& options,
                                     const qavres::StringTable& language, EnvPrinterReader& reader,
                                     const EnvReportRun& run);
// The system section.
std::vector<EnvLine> SystemSection(const SystemInfo& system, const qavres::StringTable& language);

// The whole report: header, system section, each included printer, and a
// final empty line.
EnvReportResult WriteEnvReport(const EnvReportOptions& options, const std::vector<EnvPrinter>& printers,
                               const qavres::StringTable& language, EnvPrinterReader& reader,
                               const EnvReportRun& run = {});

// ------------------------------------------- the monitor's and qavctl's way

// The head checks on the device list's printers, with the context's object
// table and communities.
HeadChecks StartHeadChecks(const ReadContext& context, const std::atomic<bool>* stop = nullptr);

// A report over the device list's printers; `headChecks` for the report
// that follows the head checks; `time` for the header (0: now).
EnvReportResult WriteEnvReport(const EnvReportOptions& options, const ReadContext& context,
                               const HeadChecks* headChecks = nullptr, const std::atomic<bool>* stop = nullptr,
                               std::time_t time = 0);

// A report now: with the head check on, the checks first and the report
// `headCheckWaitMs` later (the monitor waits 5 s), else the report alone.
inline constexpr int kHeadCheckWaitMs = 5000;
EnvReportResult WriteEnvReportNow(const EnvReportOptions& options, const ReadContext& context,
                                  int headCheckWaitMs = kHeadCheckWaitMs, const std::atomic<bool>* stop = nullptr);

} // namespace nwatch
