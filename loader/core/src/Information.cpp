#include "nload/Information.h"

#include <cstdlib>
#include <vector>

#include "ncomm/CQBPVb.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "nload/Protocol.h"
#include "nload/Versions.h"
#include "qavobj/PrinterObjects.h"
#include "qavres/Resources.h"

namespace nload {

namespace {

// Answer places of the first request.
enum InfoAnswer : int {
    kModel = 0,
    kName = 1,
    kShortModel = 2,
    kStatusCode = 12,
    kHeadState = 13,
    kRestartMark = 14,
    kBootType = 17,
    kPartNumber = 18,
};

// The version answer of each kind code (-1: the kind has none).
constexpr int kVersionAnswer[kKindCodes] = {3, 5, 7, 9, 11, -1, 15};
// The further texts kept with the record.
constexpr int kExtraAnswers[] = {4, 6, 8, 10, 16};

// Sizes of the record's text fields, terminator included.
constexpr size_t kLongText = 512;
constexpr size_t kShortText = 34;

bool IntegerAnswer(int place) { return place == kStatusCode || place == kHeadState || place == kRestartMark; }

std::string Cut(const std::string& text, size_t size) { return text.substr(0, size - 1); }

int Fail(PrinterInfo& p, int code, int result)
{
    const int last = QBPGetLastError();
    p.last.code = code;
    p.last.result = result;
    p.last.systemError = last > 0 ? last : 0;
    return code;
}

void ClearInfo(PrinterInfo& p)
{
    p.name.clear();
    p.model.clear();
    p.shortModel.clear();
    for (auto& v : p.versions) v.clear();
    p.bootType.clear();
    p.restartMark = false;
    p.statusCode = 0;
    p.headState = 0;
    for (auto& t : p.extraTexts) t.clear();
    p.partNumber.clear();
    p.networkName.clear();
    p.networkVersion.clear();
    p.infoRead = false;
}

} // namespace

int ReadPrinterInfo(const qavres::StringTable& texts, const Communities& communities, PrinterInfo& p)
{
    ClearInfo(p);
    p.last = {};
    qavobj::Target target = qavobj::Target::Snmp(p.address, communities.read, communities.write);
    target.snmpVersion = 1;

    std::vector<qavobj::ObjectRequest> first;
    for (int i = 0; i < kInfoOidCount; ++i)
        first.push_back(qavobj::ObjectRequest::ByOid(IntegerAnswer(i) ? ber::kInteger : ber::kOctetString,
                                                     texts.Get(kInfoFirstOid + i)));
    QBPSetLastError(0);
    qavobj::Outcome out = qavobj::ReadObjects(target, {}, first);
    if (!out.ok()) {
        const bool openFailed = out.code == QBP_INVALID_ARGUMENT || out.code == QBP_ALREADY_OPEN ||
                                out.code == QBP_OPEN_FAILED || out.setCommunityFailed;
        return Fail(p, openFailed ? kErrOpen : kErrInfoRead, out.code);
    }
    p.model = Cut(first[kModel].value, kLongText);
    p.name = Cut(first[kName].value, kLongText);
    p.shortModel = Cut(first[kShortModel].value, kShortText);
    for (int kind = 0; kind < kKindCodes; ++kind) {
        if (kVersionAnswer[kind] >= 0) p.versions[kind] = FiveCharacterVersion(first[kVersionAnswer[kind]].value);
    }
    for (size_t i = 0; i < p.extraTexts.size(); ++i) p.extraTexts[i] = Cut(first[kExtraAnswers[i]].value, kShortText);
    p.statusCode = std::atoi(first[kStatusCode].value.c_str());
    p.headState = std::atoi(first[kHeadState].value.c_str());
    p.restartMark = std::atoi(first[kRestartMark].value.c_str()) != 0;
    p.bootType = first[kBootType].value;
    p.partNumber = Cut(first[kPartNumber].value, kShortText);

    std::vector<qavobj::ObjectRequest> second = {
        qavobj::ObjectRequest::ByOid(ber::kOctetString, texts.Get(kInfoSecondOid)),
        qavobj::ObjectRequest::ByOid(ber::kOctetString, texts.Get(kInfoSecondOid + 1)),
    };
    QBPSetLastError(0);
    out = qavobj::ReadObjects(target, {}, second);
    if (!out.ok()) {
        ClearInfo(p);
        return Fail(p, kErrInfoRead, out.code);
    }
    p.networkName = Cut(second[0].value, kShortText);
    p.networkVersion = FiveCharacterVersion(second[1].value);
    p.infoRead = true;
    return kOk;
}

} // namespace nload
