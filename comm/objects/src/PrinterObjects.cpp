#include "qavobj/PrinterObjects.h"

#include <cstdlib>
#include <memory>

#include "ncomm/CQBPTrans.h"
#include "ncomm/CQBPVb.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace qavobj {

namespace {

// Failures of these kinds say that the printer (or the network) cannot be
// reached at all, so the connection is down.
bool ConnectionFailure(int code)
{
    return code == QBP_OPEN_FAILED || code == QBP_SOCKET_STARTUP || code == QBP_SOCKET_CREATE ||
           code == QBP_CONNECT_FAILED;
}

// An opened session, closed and destroyed on every path.
class OpenSession {
public:
    // Creates the transport, sets the communities and opens the port.
    Outcome Open(const Target& target)
    {
        Outcome out;
        auto failed = [&](int rc, Step step) {
            out.code = rc;
            out.failedStep = step;
            out.lastError = QBPGetLastError();
            trans_.reset();
            return out;
        };
        int rc = 0;
        trans_ = std::make_unique<CQBPTrans>(rc, target.snmpVersion == 2 ? 2 : 1);
        if (rc != 0) {
            if (ConnectionFailure(rc)) out.connection = Connection::kDown;
            return failed(rc, Step::kCreate);
        }
        rc = trans_->SetCommunity(target.readCommunity, target.writeCommunity);
        if (rc != 0) {
            out.setCommunityFailed = true;
            return failed(rc, Step::kCommunity);
        }
        rc = trans_->Open(target.port, target.address);
        if (rc != 0) {
            out.connection = Connection::kDown;
            return failed(rc, Step::kOpen);
        }
        return out;
    }

    ~OpenSession() { Close(); }

    void Close()
    {
        if (trans_) trans_->Close();
        trans_.reset();
    }

    CQBPTrans* operator->() { return trans_.get(); }
    bool IsOpen() const { return trans_ != nullptr; }

private:
    std::unique_ptr<CQBPTrans> trans_;
};

Outcome Failed(int code, Connection connection = Connection::kUnchanged)
{
    Outcome out;
    out.code = code;
    out.connection = connection;
    return out;
}

// An exchange that failed: the printer did not answer, or the library could
// not send or decode. Taken right after the call, with its last error.
Outcome ExchangeFailed(int code)
{
    Outcome out = Failed(code, Connection::kDown);
    out.failedStep = Step::kExchange;
    out.lastError = QBPGetLastError();
    return out;
}

bool TableReady(const Context& context) { return context.objects && context.objects->IsLoaded(); }

// The value of binding i as the text the readers keep: "%d" for integers,
// "%u" for the unsigned 32-bit types, the text for the rest. False when the
// binding is missing or carries a status.
bool ValueText(const CQBPVb& list, int i, std::string& value)
{
    if (i < 0 || i >= list.GetSize()) return false;
    const int type = list.GetType(i);
    if (type < 0) return false;
    switch (type) {
    case ber::kCounter32:
    case ber::kGauge32:
    case ber::kTimeTicks:
        value = std::to_string(static_cast<unsigned int>(std::strtoll(list.ValueAt(i).c_str(), nullptr, 10)));
        return true;
    case ber::kInteger:
        value = std::to_string(static_cast<int>(std::strtol(list.ValueAt(i).c_str(), nullptr, 10)));
        return true;
    default:
        value = list.ValueAt(i);
        return true;
    }
}

// The place of the binding an error answer names (the first negative
// type), or -1 for an answer without error.
int FirstRefused(const CQBPVb& answers)
{
    for (int i = 0; i < answers.GetSize(); ++i) {
        if (answers.GetType(i) < 0) return i;
    }
    return -1;
}

// A get-next answer lies strictly below the OID asked for.
bool Below(const std::string& answer, const std::string& request)
{
    return answer.size() > request.size() && OidWithin(answer, request);
}

// The answer index for request i: the binding at the same place when it
// belongs to the request, else the first binding that does (an agent may
// leave bindings out of its answer).
int AnswerFor(const CQBPVb& answers, size_t i, const std::string& oid, size_t requestCount)
{
    const int n = answers.GetSize();
    if (static_cast<int>(i) < n && Below(answers.OidAt(static_cast<int>(i)), oid)) return static_cast<int>(i);
    if (static_cast<size_t>(n) == requestCount) return -1;
    for (int k = 0; k < n; ++k) {
        if (Below(answers.OidAt(k), oid)) return k;
    }
    return -1;
}

// The types a request of `expected` accepts: the same type, and for the
// counter request the other unsigned 32-bit types of the same family.
bool TypeMatches(int expected, int answered)
{
    if (expected == answered) return true;
    return expected == ber::kCounter32 && (answered == ber::kGauge32 || answered == ber::kTimeTicks);
}

Outcome WriteObject(const Target& target, const Context& context, int object, int type, const std::string& value,
                    int* readBack)
{
    if (!TableReady(context)) return Failed(kNoObjectTable);
    const std::string oid = context.objects->Oid(object);
    if (oid.empty()) return Failed(kCheckFailed);
    OpenSession session;
    Outcome out = session.Open(target);
    if (!out.ok()) return out;

    CQBPVb find;
    find.Add(oid, ber::kNull, "");
    CQBPVb found;
    int rc = session->GetNextObject(find, found);
    if (rc != 0) return ExchangeFailed(rc);
    if (found.GetSize() != 1 || found.GetType(0) != type || !Below(found.OidAt(0), oid))
        return Failed(kCheckFailed, Connection::kUp);

    CQBPVb set;
    if (type == ber::kInteger) {
        rc = set.Add(found.OidAt(0), ber::kInteger, static_cast<int>(std::strtol(value.c_str(), nullptr, 10)));
    } else {
        rc = set.Add(found.OidAt(0), type, value);
    }
    if (rc != 0) return Failed(rc, Connection::kUp);
    CQBPVb answer;
    rc = session->SetObject(set, answer);
    if (rc != 0) return ExchangeFailed(rc);
    if (answer.GetSize() < 1) return Failed(QBP_INDEX_OUT_OF_RANGE, Connection::kUp);
    if (answer.GetType(0) < 0) return Failed(answer.GetType(0), Connection::kUp);
    if (answer.GetType(0) != type || answer.OidAt(0) != found.OidAt(0)) return Failed(kCheckFailed, Connection::kUp);
    if (readBack && type == ber::kInteger) *readBack = static_cast<int>(std::strtol(answer.ValueAt(0).c_str(), nullptr, 10));
    out.connection = Connection::kUp;
    return out;
}

// GET or SET of one binding "<oid>.<instance>" with the table's type, and
// the answer's check.
Outcome ByNumber(CQBPTrans& trans, const Context& context, int object, const std::string& instance, bool write,
                 const std::string& in, std::string* out)
{
    if (!TableReady(context)) return Failed(kNoObjectTable);
    const std::string& base = context.objects->Oid(object);
    if (base.empty()) return Failed(kCheckFailed);
    const std::string oid = instance.empty() ? base : base + "." + instance;
    const int type = context.objects->TypeCode(object);
    CQBPVb request;
    int rc = 0;
    if (!write) {
        rc = request.Add(oid, ber::kNull, "");
    } else if (type == ber::kInteger) {
        char* end = nullptr;
        const long long n = std::strtoll(in.c_str(), &end, 10);
        if (in.empty() || *end != '\0') return Failed(QBP_INVALID_ARGUMENT);
        rc = request.Add(oid, type, static_cast<int>(n));
    } else if (type == ber::kCounter32 || type == ber::kGauge32 || type == ber::kTimeTicks) {
        char* end = nullptr;
        const unsigned long long n = std::strtoull(in.c_str(), &end, 10);
        if (in.empty() || *end != '\0' || in[0] == '-') return Failed(QBP_INVALID_ARGUMENT);
        rc = request.Add(oid, type, static_cast<unsigned int>(n), 0u);
    } else {
        rc = request.Add(oid, type, in);
    }
    if (rc != 0) return Failed(rc);
    CQBPVb answer;
    rc = write ? trans.SetObject(request, answer) : trans.GetObject(request, answer);
    if (rc != 0) return ExchangeFailed(rc);
    Outcome result;
    result.connection = Connection::kUp;
    // A binding refused by the printer (a negative type) fails the check
    // like any other answer that is not the object asked for.
    if (answer.GetSize() != 1 || answer.OidAt(0) != oid || answer.GetType(0) != type) {
        result.code = kCheckFailed;
        if (answer.GetSize() >= 1 && answer.GetType(0) < 0) result.refusedStatus = answer.GetType(0);
    } else if (out) {
        ValueText(answer, 0, *out);
    }
    return result;
}

} // namespace

Target Target::Snmp(uint32_t address, const std::string& read, const std::string& write)
{
    return Snmp(qavplatform::AddressText(address), read, write);
}

Target Target::Snmp(const std::string& address, const std::string& read, const std::string& write)
{
    Target t;
    t.port = "SNMP";
    t.address = address;
    t.readCommunity = read;
    t.writeCommunity = write;
    return t;
}

bool OidWithin(const std::string& answer, const std::string& request)
{
    if (request.empty() || answer.compare(0, request.size(), request) != 0) return false;
    return answer.size() == request.size() || answer[request.size()] == '.';
}

Outcome ReadObjects(const Target& target, const Context& context, std::vector<ObjectRequest>& requests)
{
    for (ObjectRequest& r : requests) {
        r.value.clear();
        r.answered = false;
        r.answerOid.clear();
    }
    const size_t count = std::min(requests.size(), static_cast<size_t>(kMaxObjects));
    for (size_t i = 0; i < count; ++i) {
        if (requests[i].oid.empty() && !TableReady(context)) return Failed(kNoObjectTable);
    }
    std::vector<size_t> sent; // request index of each binding
    std::vector<std::string> oids;
    for (size_t i = 0; i < count; ++i) {
        const std::string oid = requests[i].oid.empty() ? context.objects->Oid(requests[i].object) : requests[i].oid;
        if (oid.empty()) continue;
        sent.push_back(i);
        oids.push_back(oid);
    }
    OpenSession session;
    Outcome out = session.Open(target);
    if (!out.ok()) return out;
    // An answer with an error status carries no values (an SNMPv1 agent
    // echoes the request). The object it names is left out and the rest
    // asked again, as often as there are objects.
    while (!sent.empty()) {
        CQBPVb request;
        for (const std::string& oid : oids) {
            const int rc = request.Add(oid, ber::kNull, "");
            if (rc != 0) return Failed(rc, ConnectionFailure(rc) ? Connection::kDown : Connection::kUnchanged);
        }
        CQBPVb answers;
        const int rc = session->GetNextObject(request, answers);
        if (rc != 0) return ExchangeFailed(rc);
        out.connection = Connection::kUp;
        const int refused = FirstRefused(answers);
        if (refused >= 0) {
            if (refused >= static_cast<int>(sent.size())) break;
            sent.erase(sent.begin() + refused);
            oids.erase(oids.begin() + refused);
            continue;
        }
        for (size_t k = 0; k < sent.size(); ++k) {
            ObjectRequest& r = requests[sent[k]];
            const int a = AnswerFor(answers, k, oids[k], sent.size());
            if (a < 0 || !TypeMatches(r.type, answers.GetType(a))) continue;
            if (ValueText(answers, a, r.value)) {
                r.answered = true;
                r.answerOid = answers.OidAt(a);
            }
        }
        break;
    }
    return out;
}

Outcome ReadObjectTable(const Target& target, const Context& context, const std::vector<ObjectRequest>& columns,
                        std::vector<std::vector<std::string>>& rows, std::vector<std::string>* rowOids, int maxRows)
{
    rows.clear();
    if (rowOids) rowOids->clear();
    if (!TableReady(context)) return Failed(kNoObjectTable);
    const size_t count = std::min(columns.size(), static_cast<size_t>(kMaxObjects));
    if (count == 0) return Failed(QBP_INVALID_ARGUMENT);
    std::vector<std::string> columnOids;
    for (size_t c = 0; c < count; ++c) {
        columnOids.push_back(context.objects->Oid(columns[c].object));
        if (columnOids.back().empty()) return Failed(kCheckFailed);
    }
    OpenSession session;
    Outcome out = session.Open(target);
    if (!out.ok()) return out;
    out.connection = Connection::kUp;
    std::vector<std::string> current = columnOids;
    while (static_cast<int>(rows.size()) < maxRows) {
        CQBPVb request;
        for (const std::string& oid : current) request.Add(oid, ber::kNull, "");
        CQBPVb answers;
        const int rc = session->GetNextObject(request, answers);
        if (rc != 0) return ExchangeFailed(rc);
        // Column 0 left its table, or the agent refused the step (an SNMPv1
        // agent's end of its objects): the end.
        if (answers.GetSize() < 1 || FirstRefused(answers) >= 0 || !Below(answers.OidAt(0), columnOids[0]) ||
            answers.OidAt(0) == current[0])
            break;
        std::vector<std::string> row(count);
        std::vector<std::string> next(count);
        for (size_t c = 0; c < count; ++c) {
            const int i = static_cast<int>(c);
            if (i < answers.GetSize() && Below(answers.OidAt(i), columnOids[c])) {
                next[c] = answers.OidAt(i);
                if (TypeMatches(columns[c].type, answers.GetType(i))) ValueText(answers, i, row[c]);
            } else {
                next[c] = current[c]; // a column that ended early keeps its place
            }
        }
        if (rowOids) rowOids->push_back(answers.OidAt(0));
        rows.push_back(std::move(row));
        current = std::move(next);
    }
    return out;
}

Outcome WriteIntegerObject(const Target& target, const Context& context, int object, int value, int* readBack)
{
    return WriteObject(target, context, object, ber::kInteger, std::to_string(value), readBack);
}

Outcome WriteStringObject(const Target& target, const Context& context, int object, const std::string& value)
{
    return WriteObject(target, context, object, ber::kOctetString, value, nullptr);
}

Outcome ReadByNumber(const Target& target, const Context& context, int object, int instance, std::string& value)
{
    value.clear();
    Session session;
    const int rc = session.Open(target);
    if (rc != 0) return Failed(rc, Connection::kDown);
    return session.Read(context, object, instance, value);
}

Outcome WriteByNumber(const Target& target, const Context& context, int object, int instance,
                      const std::string& value)
{
    Session session;
    const int rc = session.Open(target);
    if (rc != 0) return Failed(rc, Connection::kDown);
    return session.Write(context, object, instance, value);
}

// ------------------------------------------------------------------ Session

struct Session::Impl {
    OpenSession session;
};

Session::~Session() { Close(); }

int Session::Open(const Target& target)
{
    Close();
    auto impl = std::make_unique<Impl>();
    const Outcome out = impl->session.Open(target);
    if (!out.ok()) return out.code;
    impl_ = impl.release();
    return 0;
}

void Session::Close()
{
    delete impl_;
    impl_ = nullptr;
}

bool Session::IsOpen() const { return impl_ != nullptr; }

Outcome Session::Read(const Context& context, int object, int instance, std::string& value)
{
    value.clear();
    if (!impl_) return Failed(QBP_NOT_OPEN);
    return ByNumber(*impl_->session.operator->(), context, object, std::to_string(instance), false, {}, &value);
}

Outcome Session::Read(const Context& context, int object, const std::string& instance, std::string& value)
{
    value.clear();
    if (!impl_) return Failed(QBP_NOT_OPEN);
    return ByNumber(*impl_->session.operator->(), context, object, instance, false, {}, &value);
}

Outcome Session::Write(const Context& context, int object, int instance, const std::string& value)
{
    if (!impl_) return Failed(QBP_NOT_OPEN);
    return ByNumber(*impl_->session.operator->(), context, object, std::to_string(instance), true, value, nullptr);
}

Outcome Session::GetNext(const std::vector<std::string>& oids, std::vector<Answer>& answers)
{
    return Request(ber::kGetNextRequest, oids, answers);
}

Outcome Session::Get(const std::vector<std::string>& oids, std::vector<Answer>& answers)
{
    return Request(ber::kGetRequest, oids, answers);
}

Outcome Session::Request(int pdu, const std::vector<std::string>& oids, std::vector<Answer>& answers)
{
    answers.clear();
    if (!impl_) return Failed(QBP_NOT_OPEN);
    if (oids.empty() || oids.size() > static_cast<size_t>(kMaxObjects)) return Failed(QBP_INVALID_ARGUMENT);
    CQBPVb request;
    for (const std::string& oid : oids) {
        const int rc = request.Add(oid, ber::kNull, "");
        if (rc != 0) return Failed(rc);
    }
    CQBPVb result;
    const int rc = pdu == ber::kGetRequest ? impl_->session->GetObject(request, result)
                                           : impl_->session->GetNextObject(request, result);
    if (rc != 0) return ExchangeFailed(rc);
    for (int i = 0; i < result.GetSize(); ++i) {
        Answer a;
        a.oid = result.OidAt(i);
        a.type = result.GetType(i);
        if (a.type >= 0) ValueText(result, i, a.value);
        answers.push_back(std::move(a));
    }
    Outcome out;
    out.connection = Connection::kUp;
    return out;
}

} // namespace qavobj
