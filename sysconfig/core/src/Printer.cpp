#include "nconfig/Printer.h"

#include <cstdlib>

#include "ncomm/CQBPVb.h"
#include "nconfig/CommandLine.h"
#include "nconfig/Values.h"
#include "qavobj/PrinterObjects.h"
#include "qavres/Resources.h"

namespace nconfig {

namespace {

// The answer types that stand for the table's type.
bool TypeMatches(int expected, int answered)
{
    if (expected == answered) return true;
    return expected == ber::kCounter32 && (answered == ber::kGauge32 || answered == ber::kTimeTicks);
}

class SessionLink : public PrinterLink {
public:
    SessionLink(const qavres::ObjectTable& objects, std::string read, std::string write)
        : objects_(objects), read_(std::move(read)), write_(std::move(write))
    {
    }

    int Open(const std::string& port, const std::string& address) override
    {
        qavobj::Target target;
        target.port = port;
        target.address = address;
        target.readCommunity = read_;
        target.writeCommunity = write_;
        snmp_ = port == "SNMP";
        return session_.Open(target);
    }

    void Close() override { session_.Close(); }

    int Read(int object, int instance, std::string& value) override
    {
        return session_.Read(Context(), object, instance, value).code;
    }

    int Write(int object, int instance, const std::string& value, int* refused) override
    {
        const qavobj::Outcome out = session_.Write(Context(), object, instance, value);
        if (refused) *refused = out.refusedStatus;
        return out.code;
    }

    int ReadBlock(const std::vector<ObjectRef>& objects, std::vector<std::string>& values) override
    {
        values.assign(objects.size(), kUnknownValue);
        std::vector<size_t> asked; // index into objects of each binding
        std::vector<std::string> request, wanted;
        for (size_t i = 0; i < objects.size() && asked.size() < static_cast<size_t>(kBlockSize); ++i) {
            const std::string& oid = objects_.Oid(objects[i].object);
            if (oid.empty()) continue;
            const int instance = objects[i].instance;
            asked.push_back(i);
            wanted.push_back(oid + "." + std::to_string(instance));
            if (!snmp_) {
                request.push_back(wanted.back());
            } else {
                request.push_back(instance == 0 ? oid : oid + "." + std::to_string(instance - 1));
            }
        }
        // An SNMPv1 agent answers a get-next that runs off its objects with
        // an error for the whole request: that object is left out and the
        // rest asked again.
        while (!asked.empty()) {
            std::vector<qavobj::Session::Answer> answers;
            const qavobj::Outcome out = snmp_ ? session_.GetNext(request, answers) : session_.Get(request, answers);
            if (!out.ok()) return out.code;
            size_t refused = answers.size();
            if (snmp_) {
                for (size_t a = 0; a < answers.size(); ++a) {
                    if (answers[a].type < 0) {
                        refused = a;
                        break;
                    }
                }
            }
            if (refused < asked.size()) {
                asked.erase(asked.begin() + static_cast<long>(refused));
                request.erase(request.begin() + static_cast<long>(refused));
                wanted.erase(wanted.begin() + static_cast<long>(refused));
                continue;
            }
            for (size_t k = 0; k < asked.size(); ++k) {
                const int type = objects_.TypeCode(objects[asked[k]].object);
                for (size_t a = 0; a < answers.size(); ++a) {
                    // The answer at the same place first; an agent may leave
                    // bindings out.
                    const size_t at = (k + a) % answers.size();
                    if (answers[at].oid == wanted[k] && TypeMatches(type, answers[at].type)) {
                        values[asked[k]] = answers[at].value;
                        break;
                    }
                }
            }
            break;
        }
        return 0;
    }

private:
    qavobj::Context Context() const { return qavobj::Context{&objects_}; }

    const qavres::ObjectTable& objects_;
    std::string read_;
    std::string write_;
    bool snmp_ = true;
    qavobj::Session session_;
};

std::string TrimRight(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    return text;
}

} // namespace

LinkFactory SessionLinks(const qavres::ObjectTable& objects, const std::string& readCommunity,
                         const std::string& writeCommunity)
{
    return [&objects, readCommunity, writeCommunity]() -> std::unique_ptr<PrinterLink> {
        return std::make_unique<SessionLink>(objects, readCommunity, writeCommunity);
    };
}

CheckResult CheckOpenPrinter(PrinterLink& link, const std::string& knownModel, const std::string& knownVersion)
{
    CheckResult r;
    r.model = knownModel;
    r.version = knownVersion;
    std::string value;
    r.code = link.Read(kObjectClass, 0, value);
    if (r.code != 0) return r;
    r.printerClass = static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
    if (r.model.empty()) {
        r.code = link.Read(kObjectModel, 0, value);
        if (r.code != 0) return r;
        r.model = TrimRight(value).substr(0, kMaxModelKey);
    }
    if (r.version.empty() && link.Read(kObjectFirmware, 0, value) == 0) r.version = value.substr(0, kMaxVersion);
    return r;
}

CheckResult CheckPrinter(PrinterLink& link, const std::string& port, const std::string& address,
                         const std::string& knownModel, const std::string& knownVersion)
{
    CheckResult r;
    r.model = knownModel;
    r.version = knownVersion;
    r.code = link.Open(port, address);
    if (r.code != 0) return r;
    r.model.clear();
    r = CheckOpenPrinter(link, knownModel, knownVersion);
    link.Close();
    return r;
}

} // namespace nconfig
