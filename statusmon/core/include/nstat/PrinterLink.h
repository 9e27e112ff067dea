// How the status monitor reaches its printer: the three object routines of
// every page (scalar read, table walk, integer and string write) and one
// plain read of an instance, behind a small interface so that the pages'
// logic runs against a fake in the tests and against the printer in the
// program.
//
// The real link (SnmpLink) opens a new session for every call, addressed to
// the one printer of the process, with the communities of
// QAVMgmtConfig.INI read again for each call. Nothing stays open between
// calls. Calls block for as long as the exchange takes (a silent printer:
// the library's time-out and retry), so they belong on a worker thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qavobj/PrinterObjects.h"

namespace qavres {
class ObjectTable;
}

namespace nstat {

using qavobj::ObjectRequest;
using qavobj::Outcome;
using TableRows = std::vector<std::vector<std::string>>;

class PrinterLink {
public:
    virtual ~PrinterLink() = default;
    // Scalar objects by get-next of their bare OIDs; at most 20 are read.
    virtual Outcome Read(std::vector<ObjectRequest>& requests) = 0;
    // A table walk of up to 10 rows, column by column.
    virtual Outcome ReadTable(const std::vector<ObjectRequest>& columns, TableRows& rows) = 0;
    // Writes at the instance that a get-next of the bare OID finds.
    virtual Outcome WriteInteger(int object, int value) = 0;
    virtual Outcome WriteString(int object, const std::string& value) = 0;
    // Plain GETs of objects at one instance given as dotted text (the
    // address table's index), on one session: values[i] for objects[i],
    // empty when not answered.
    virtual Outcome ReadInstance(const std::vector<int>& objects, const std::string& instance,
                                 std::vector<std::string>& values) = 0;
};

// The link to a printer over SNMP through the shared object routines.
class SnmpLink : public PrinterLink {
public:
    // `objects` must stay loaded for the link's life.
    SnmpLink(uint32_t address, const qavres::ObjectTable& objects, std::string dataFolderFile = {});

    Outcome Read(std::vector<ObjectRequest>& requests) override;
    Outcome ReadTable(const std::vector<ObjectRequest>& columns, TableRows& rows) override;
    Outcome WriteInteger(int object, int value) override;
    Outcome WriteString(int object, const std::string& value) override;
    Outcome ReadInstance(const std::vector<int>& objects, const std::string& instance,
                         std::vector<std::string>& values) override;

private:
    qavobj::Target Target() const;

    uint32_t address_;
    const qavres::ObjectTable& objects_;
    std::string mgmtFile_; // QAVMgmtConfig.INI; empty: the data folder's
};

} // namespace nstat
