// The list file of the list mode ("temp.txt" from the list window): one
// printer per line, its port and its address separated by a blank
// ("SNMP 192.168.10.5").
#pragma once

#include <string>
#include <vector>

namespace nconfig {

struct ListLine {
    std::string port;
    std::string address;
    // Filled by the printer check of the list check and of each pass.
    std::string model;
    std::string version;
};

// A path without "/" names a file of the data folder.
std::string ListFilePath(const std::string& given);

// Reads the lines: each cut to 255 characters, the line end removed (a CR
// before the LF too), empty lines skipped. False when the file cannot be
// read or holds no line.
bool ReadListFile(const std::string& path, std::vector<ListLine>& lines);

} // namespace nconfig
