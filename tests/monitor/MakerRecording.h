// A recording of one of the maker's printers for snmpsim, made from the
// real recording of a Zebra label printer: its sysObjectID moved under the
// maker's enterprise (1.3.6.1.4.1.32473), its model under hrDeviceDescr,
// and the maker's own status objects added. The administrator object is
// left out on purpose: a get-next of its bare identifier lands on the
// comment object that follows it.
#pragma once

#include <map>
#include <string>

namespace monitortest {

// The recording's text, lines in identifier order as snmpsim wants them.
std::string MakerRecording();

// The maker's objects the recording adds (identifier with instance, value).
inline const std::map<std::string, std::string> kMakerValues = {
    {"1.3.6.1.2.1.25.3.2.1.3.1", "QAV M-UG2"},          // model
    {"1.3.6.1.4.1.32473.1.20781.0", "QS7001"},          // serial
    {"1.3.6.1.4.1.32473.1.20821.0", "Booth printer"},   // comment
    {"1.3.6.1.4.1.32473.1.20901.0", "11"},              // status code: paper jam
    {"1.3.6.1.4.1.32473.1.20941.0", "0"},               // head
    {"1.3.6.1.4.1.32473.1.22761.0", "1"},               // DHCP on
    {"1.3.6.1.4.1.32473.1.22801.0", "booth7"},          // DHCP host name
    {"1.3.6.1.4.1.32473.1.24141.0", "40"},              // RFID tags written
    {"1.3.6.1.4.1.32473.1.24161.0", "2"},               // RFID errors
};

// The value a recording holds for an identifier (hex strings decoded);
// empty when it holds none.
std::string RecordedValue(const std::string& recording, const std::string& oid);

} // namespace monitortest
