// CQBPVb: the variable-binding list that crosses every boundary into the
// communication library.
//
// An ordered list of at most 20 bindings, each an OID text, a type code and
// a value text. Type codes are the BER tags of the value's syntax:
//   2 INTEGER, 4 OCTET STRING, 5 NULL, 6 OBJECT IDENTIFIER, 64 IpAddress,
//   65 Counter32, 66 Gauge32, 67 TimeTicks, 70 Counter64;
// 0 (input only) is stored as 5, and a negative code is a per-binding status
// (-1..-18 SNMP error status, -19 not processed, -30 missing from the
// response). Numbers are kept as text: 32-bit values as signed decimal (so
// Counter32 4294967295 is "-1"), Counter64 as signed 64-bit decimal.
//
// A list has no lock; one thread uses it at a time. Copies never share
// storage.
#pragma once

#include <string>
#include <vector>

#include "NcommExport.h"

// The type codes: BER tags of the value syntaxes. Plain ints cross the
// interface; these names are for the reader.
namespace ber {
enum Type : int {
    kInteger = 2,      // INTEGER
    kOctetString = 4,  // OCTET STRING
    kNull = 5,         // NULL (requests: no value)
    kOid = 6,          // OBJECT IDENTIFIER
    kSequence = 0x30,  // SEQUENCE: every SNMP message starts with it
    kIpAddress = 64,   // IpAddress [APPLICATION 0]
    kCounter32 = 65,   // Counter32 [APPLICATION 1]
    kGauge32 = 66,     // Gauge32 [APPLICATION 2]
    kTimeTicks = 67,   // TimeTicks [APPLICATION 3]
    kCounter64 = 70,   // Counter64 [APPLICATION 6]
};
// PDU tags of the request kinds.
enum Pdu : int {
    kGetRequest = 0xA0,
    kGetNextRequest = 0xA1,
    kResponse = 0xA2,
    kSetRequest = 0xA3,
    kTrapV1 = 0xA4,
    kInformRequest = 0xA6,
    kTrapV2 = 0xA7,
};
} // namespace ber

class NCOMM_API CQBPVb {
public:
    static constexpr int kMaxBindings = 20;

    // Value families of the Add/Get forms.
    enum Family { kSigned = 0, kUnsigned32 = 1, kUnsignedAny = 2, kUnsigned64 = 3, kText = 4 };

    CQBPVb() = default;
    CQBPVb(const CQBPVb& other) = default;
    CQBPVb& operator=(const CQBPVb& other) = default;
    virtual ~CQBPVb();

    // Text family (4, 6, 64).
    int Add(const char* oid, int type, const char* value);
    int Add(const std::string& oid, int type, const std::string& value);
    // Signed-integer family (2); stored as "%d".
    int Add(const char* oid, int type, int value);
    int Add(const std::string& oid, int type, int value);
    // Unsigned families (65, 66, 67, 70). For 70 the value is high*2^32+low,
    // for the others only low is used.
    int Add(const char* oid, int type, unsigned int low, unsigned int high);
    int Add(const std::string& oid, int type, unsigned int low, unsigned int high);

    // Text family. The OID and value lengths must be strictly less than the
    // buffer sizes, else -32.
    int Get(int index, char* oid, int oidSize, int& type, char* value, int valueSize) const;
    // Signed-integer family (2).
    int Get(int index, char* oid, int oidSize, int& type, int& value) const;
    // Unsigned 32-bit family (65, 66, 67).
    int Get(int index, char* oid, int oidSize, int& type, unsigned int& value) const;
    // 64-bit family (70).
    int Get(int index, char* oid, int oidSize, int& type, unsigned int& low, unsigned int& high) const;

    // The binding's type code, or -30 for an index outside the list.
    int GetType(int index) const;
    int GetSize() const { return static_cast<int>(oids_.size()); }
    void Remove();
    void Copy(const CQBPVb& source);

    // Read-only views for callers that print or compare whole lists. An
    // index outside the list reads as an empty text (nothing is thrown).
    const std::string& OidAt(int index) const;
    const std::string& ValueAt(int index) const;

private:
    static int CheckType(int type, int family);
    int AddChecked(const char* oid, int type, int family, std::string value);
    void AddElement(const char* oid, int type, std::string value);
    int GetPrologue(int index, int family, int& type) const;

    std::vector<std::string> oids_;
    std::vector<int> types_;
    std::vector<std::string> values_;
};
