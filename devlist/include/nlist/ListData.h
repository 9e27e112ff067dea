// The records the device list library exchanges with its callers: one
// device record per printer and one group record per group. Both cross the
// interface by value; texts are zero-terminated in fixed arrays.
#pragma once

#include <cstdint>
#include <vector>

// One printer of the device list. A default-constructed record holds the
// values of a fresh record.
struct ListData {
    int32_t kind = -1;        // 1 maker's object set, 0 standard objects only, -1 no answer
    uint32_t ipAddress = 0;   // first octet most significant: 192.168.0.10 is 0xC0A8000A
    char name[260] = {};      // object 201
    int32_t printerStatus = 0; // object 121: 1 other, 2 unknown, 3 idle, 4 printing, 5 warming up, 6 no answer
    int32_t errorCode = 0;    // maker: status code (object 20901); others: first byte of object 141; 512 unknown
    char port[260] = {};      // "%d.%d.%d.%d" for a network printer
    char auxiliaryText[260] = {}; // object 161: kept, neither shown nor saved
    char model[260] = {};     // object 81
    char location[260] = {};  // object 221
    char manager[260] = {};   // object 20801
    char comment[260] = {};   // object 20821
    char reservedText[260] = {};
    char serial[260] = {};    // object 20781 (maker) or 1381
    char renewalTime[260] = {}; // "%d-%B-%Y %H:%M:%S" of the last change
    int32_t isBCP = -1;       // -1 undetermined, 1 the maker's printer, 0 not
    int32_t headStatus = 0;   // object 20941; 1 marks a head problem
    int32_t dhcpEnable = -1;  // object 22761: 1 on, 0 off, -1 unknown
    char dhcpHostName[33] = {}; // object 22801
    char rfidError[17] = {};  // object 24161 as decimal text
    char rfidOk[18] = {};     // object 24141 as decimal text
};

// One group. Group 0 holds every printer, group 1 the maker's printers,
// groups 2 and up are decided by their criteria.
struct GroupData {
    char name[260] = {};                  // unique in the list, compared without regard to case
    char model[2600] = {};                // comma-separated model names
    char port[260] = {};                  // address pattern
    char serialNo[260] = {};              // low bound "~" high bound
    char installationFeatures[2600] = {}; // comma-separated locations
    char manager[2600] = {};              // comma-separated managers
    char comment[2600] = {};              // comma-separated comments
    int32_t count = 0;                    // number of members
    std::vector<uint32_t> members;        // the members' addresses, in insertion order
    std::vector<int32_t> marks;           // one mark per member (the list window's selection)
};
