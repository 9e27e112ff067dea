// Printer objects named by number: the reads and writes that the status
// monitor, the system setting tool, the download tool and the monitor's
// environmental log share. One home for all of them, on top of the
// communication library's public interface.
//
// Every call opens its own session (created, communities set, opened, used
// once, closed and destroyed on every path), so calls for different printers
// may run on different threads at once. Nothing here touches a window: the
// callers run these off their window thread.
//
// Object numbers are looked up in the object table: entry n is the OID
// without instance, entry n+1 its type name (qavres::ObjectTable). An object
// without a table entry is not sent; it reads as unanswered.
//
// An answer counts for a request only when its OID is the request's OID or
// lies below it (the next character is "."): "1.3.6.1.2.1.1.1" does not
// take the answer "1.3.6.1.2.1.1.10.0".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qavres {
class ObjectTable;
}

namespace qavobj {

// A printer and how to reach it.
struct Target {
    std::string port = "SNMP";  // as CQBPTrans::Open takes it: "SNMP", "TCP/IP", "COMn", "LPTn", a USB device path
    std::string address;        // dotted address, "host:port", "baud,bits,parity,stop", ...
    std::string readCommunity;  // empty: the library's own ("kestra")
    std::string writeCommunity;
    int snmpVersion = 1;        // 1 or 2 (2c)

    static Target Snmp(uint32_t address, const std::string& read = {}, const std::string& write = {});
    static Target Snmp(const std::string& address, const std::string& read = {}, const std::string& write = {});
};

// What a call needs besides the printer.
struct Context {
    const qavres::ObjectTable* objects = nullptr; // must be loaded
};

// The connection state a call leaves behind (the status monitor's
// connection icon): unchanged when the call never reached the exchange.
enum class Connection { kUnchanged, kUp, kDown };

// Where a failed call stopped: creating the session, setting its
// communities, opening it, or the exchange with the printer.
enum class Step { kNone, kCreate, kCommunity, kOpen, kExchange };

struct Outcome {
    int code = 0;                     // 0, a result code of the library, or kCheckFailed
    Connection connection = Connection::kUnchanged;
    bool setCommunityFailed = false;  // the window says "SetCommunity failed"
    Step failedStep = Step::kNone;    // set with the codes of the library
    int lastError = 0;                // the thread's last-error value right after that step failed
    // A read or write by number that the printer refused: the binding's
    // negative status (-3 badValue, -2 noSuchName, ...); code is then
    // kCheckFailed. 0 otherwise.
    int refusedStatus = 0;
    bool ok() const { return code == 0; }
};

// The code of a read or write whose answer failed the check of the object
// table (another OID, another type, a missing binding).
inline constexpr int kCheckFailed = -1000;
// The code when the object table is not loaded.
inline constexpr int kNoObjectTable = -1001;

// One object of a read. `type` is the expected type code: 2 integer, 4
// string, 6 object identifier, 64 IP address, 65 Counter32 (66 and 67 read
// like 65). The value comes back as "%d", "%u" or the text; it is cleared
// before each read, so an unanswered object reads as "".
struct ObjectRequest {
    int type = 4;
    int object = 0;
    std::string oid; // when set, this bare OID is read instead of the table's entry of `object`
    std::string value;
    bool answered = false;
    std::string answerOid; // the OID of the accepted answer (instance included)

    ObjectRequest() = default;
    ObjectRequest(int type, int object) : type(type), object(object) {}
    // A request by bare OID (objects a program names by OID text of its own
    // resources); it needs no object table.
    static ObjectRequest ByOid(int type, std::string oid)
    {
        ObjectRequest r;
        r.type = type;
        r.oid = std::move(oid);
        return r;
    }
};

inline constexpr int kMaxObjects = 20; // per request (the binding list's limit)
inline constexpr int kMaxTableRows = 10;

// Reads scalar objects in one get-next of their bare OIDs (each answer is
// the object's first instance). At most 20 requests are sent; any beyond
// are left unanswered. The object table is needed only for requests by
// number. A value is stored when the answer's type equals the
// request's and its OID lies below the request's. Success when the exchange
// succeeded (even if no object was answered).
Outcome ReadObjects(const Target& target, const Context& context, std::vector<ObjectRequest>& requests);

// Reads up to `maxRows` rows (default 10) of a table, column by column: a
// get-next of the columns' bare OIDs, then of the OIDs just answered. The
// walk ends when column 0 leaves its OID, an exchange fails, or after
// maxRows rows. rows[r][c] is column c's value ("" when that column's
// answer did not fit); each row's OID of column 0 goes into rowOids.
Outcome ReadObjectTable(const Target& target, const Context& context, const std::vector<ObjectRequest>& columns,
                        std::vector<std::vector<std::string>>& rows, std::vector<std::string>* rowOids = nullptr,
                        int maxRows = kMaxTableRows);

// Writes an integer or a string object: a get-next of the bare OID finds
// the instance (exactly one binding of the written type, below the OID),
// then a set of that OID. For the integer form, `readBack` receives the
// value of the set's answer. kCheckFailed when the printer has no such
// object of that type.
Outcome WriteIntegerObject(const Target& target, const Context& context, int object, int value,
                           int* readBack = nullptr);
Outcome WriteStringObject(const Target& target, const Context& context, int object, const std::string& value);

// Read and write by number and instance: one binding "<oid>.<instance>" of
// the table's type in a GET (or SET); works on every port kind (printer
// commands off SNMP). The answer must carry exactly that OID and that
// type, else kCheckFailed. Integers come back as "%i", Counter32 as "%u",
// strings and addresses as received.
Outcome ReadByNumber(const Target& target, const Context& context, int object, int instance, std::string& value);
Outcome WriteByNumber(const Target& target, const Context& context, int object, int instance,
                      const std::string& value);

// A session kept open for several reads and writes by number (the system
// setting tool's printer session). Not for several threads at once.
class Session {
public:
    Session() = default;
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // 0 or the first failing code (the session is then closed).
    int Open(const Target& target);
    void Close();
    bool IsOpen() const;

    Outcome Read(const Context& context, int object, int instance, std::string& value);
    // The same for an instance of several sub-identifiers given as dotted
    // text, such as a table indexed by an address ("10.1.2.3" reads
    // "<oid>.10.1.2.3"). An empty instance reads the bare OID.
    Outcome Read(const Context& context, int object, const std::string& instance, std::string& value);
    Outcome Write(const Context& context, int object, int instance, const std::string& value);
    // One get-next of several OIDs given in full (instance included); the
    // answers in request order, each as {oid, type, value}.
    struct Answer {
        std::string oid;
        int type = 0;
        std::string value;
    };
    Outcome GetNext(const std::vector<std::string>& oids, std::vector<Answer>& answers);
    // One get of several OIDs given in full, the same way; on TCP/IP, COM
    // and USB sessions it travels as a printer command, which knows no
    // get-next. A binding the printer refused carries its negative status
    // as its type.
    Outcome Get(const std::vector<std::string>& oids, std::vector<Answer>& answers);

private:
    Outcome Request(int pdu, const std::vector<std::string>& oids, std::vector<Answer>& answers);

    struct Impl;
    Impl* impl_ = nullptr;
};

// Whether `answer` is `request` or lies below it ("request." followed by
// anything).
bool OidWithin(const std::string& answer, const std::string& request);

} // namespace qavobj
