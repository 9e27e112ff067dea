#include "ncomm/CQBPVb.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ncomm/QBPResult.h"

namespace {

const char* NonNull(const char* s) { return s ? s : ""; }

// Decimal text to a 64-bit pattern: signed texts by strtoll, others by
// strtoull, so that both "-1" and "18446744073709551615" give all ones.
unsigned long long TextTo64(const std::string& text)
{
    const char* s = text.c_str();
    while (*s == ' ' || *s == '\t') ++s;
    if (*s == '-') return static_cast<unsigned long long>(std::strtoll(s, nullptr, 10));
    return std::strtoull(s, nullptr, 10);
}

// atoi-like conversion to a 32-bit pattern that is defined for every text:
// "4294967295" and "-1" both give 0xFFFFFFFF.
unsigned int TextTo32(const std::string& text) { return static_cast<unsigned int>(TextTo64(text)); }

} // namespace

CQBPVb::~CQBPVb() = default;

int CQBPVb::CheckType(int type, int family)
{
    using namespace ber;
    if (type == kNull || type <= 0) return 1;
    const bool unsigned32 = type == kCounter32 || type == kGauge32 || type == kTimeTicks;
    switch (family) {
    case kSigned: return type == kInteger;
    case kUnsigned32: return unsigned32;
    case kUnsignedAny: return unsigned32 || type == kCounter64;
    case kUnsigned64: return type == kCounter64;
    case kText: return type == kOctetString || type == kOid || type == kIpAddress;
    default: return 0;
    }
}

void CQBPVb::AddElement(const char* oid, int type, std::string value)
{
    oids_.emplace_back(NonNull(oid));
    types_.push_back(type);
    values_.push_back(std::move(value));
}

int CQBPVb::AddChecked(const char* oid, int type, int family, std::string value)
{
    if (GetSize() >= kMaxBindings) return QBP_LIST_FULL;
    if (!CheckType(type, family)) return QBP_WRONG_TYPE;
    if (type == 0 || type == ber::kNull) {
        AddElement(oid, ber::kNull, std::string());
    } else {
        AddElement(oid, type, std::move(value));
    }
    return QBP_OK;
}

int CQBPVb::Add(const char* oid, int type, const char* value)
{
    return AddChecked(oid, type, kText, NonNull(value));
}

int CQBPVb::Add(const std::string& oid, int type, const std::string& value)
{
    return AddChecked(oid.c_str(), type, kText, value);
}

int CQBPVb::Add(const char* oid, int type, int value)
{
    return AddChecked(oid, type, kSigned, std::to_string(value));
}

int CQBPVb::Add(const std::string& oid, int type, int value) { return Add(oid.c_str(), type, value); }

int CQBPVb::Add(const char* oid, int type, unsigned int low, unsigned int high)
{
    char text[32];
    if (type == ber::kCounter64) {
        const unsigned long long v = (static_cast<unsigned long long>(high) << 32) | low;
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(v));
    } else {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(low));
    }
    return AddChecked(oid, type, kUnsignedAny, text);
}

int CQBPVb::Add(const std::string& oid, int type, unsigned int low, unsigned int high)
{
    return Add(oid.c_str(), type, low, high);
}

// Index and family checks shared by every Get form. On success
// `type` holds the stored type and 0 is returned.
int CQBPVb::GetPrologue(int index, int family, int& type) const
{
    if (index < 0 || index >= GetSize()) {
        type = QBP_INDEX_OUT_OF_RANGE;
        return QBP_INDEX_OUT_OF_RANGE;
    }
    const int stored = types_.at(index);
    if (!CheckType(stored, family)) {
        type = QBP_WRONG_TYPE;
        return QBP_WRONG_TYPE;
    }
    type = stored;
    return QBP_OK;
}

int CQBPVb::Get(int index, char* oid, int oidSize, int& type, char* value, int valueSize) const
{
    int rc = GetPrologue(index, kText, type);
    if (rc != QBP_OK) return rc;
    if (!value) valueSize = 0; // a missing buffer has no room
    if (valueSize > 0) value[0] = '\0';
    const std::string& o = oids_.at(index);
    const std::string& v = values_.at(index);
    if (!oid || static_cast<long>(o.size()) >= oidSize || static_cast<long>(v.size()) >= valueSize) {
        type = QBP_BUFFER_TOO_SMALL;
        return QBP_BUFFER_TOO_SMALL;
    }
    std::memcpy(oid, o.c_str(), o.size() + 1);
    if (type < 0) return type;
    if (type != ber::kNull) std::memcpy(value, v.c_str(), v.size() + 1);
    return QBP_OK;
}

namespace {
// The OID check and copy shared by the numeric Get forms.
template <typename Fill>
int NumericGet(const std::string& o, char* oid, int oidSize, int& type, Fill fill)
{
    if (!oid || static_cast<long>(o.size()) >= oidSize) {
        type = QBP_BUFFER_TOO_SMALL;
        return QBP_BUFFER_TOO_SMALL;
    }
    fill(true);
    std::memcpy(oid, o.c_str(), o.size() + 1);
    if (type < 0) return type;
    if (type != ber::kNull) fill(false);
    return QBP_OK;
}
} // namespace

int CQBPVb::Get(int index, char* oid, int oidSize, int& type, int& value) const
{
    int rc = GetPrologue(index, kSigned, type);
    if (rc != QBP_OK) return rc;
    const std::string& v = values_.at(index);
    return NumericGet(oids_.at(index), oid, oidSize, type, [&](bool zero) {
        value = zero ? 0 : static_cast<int>(TextTo32(v));
    });
}

int CQBPVb::Get(int index, char* oid, int oidSize, int& type, unsigned int& value) const
{
    int rc = GetPrologue(index, kUnsigned32, type);
    if (rc != QBP_OK) return rc;
    const std::string& v = values_.at(index);
    return NumericGet(oids_.at(index), oid, oidSize, type, [&](bool zero) { value = zero ? 0u : TextTo32(v); });
}

int CQBPVb::Get(int index, char* oid, int oidSize, int& type, unsigned int& low, unsigned int& high) const
{
    int rc = GetPrologue(index, kUnsigned64, type);
    if (rc != QBP_OK) return rc;
    const std::string& v = values_.at(index);
    return NumericGet(oids_.at(index), oid, oidSize, type, [&](bool zero) {
        const unsigned long long n = zero ? 0ull : TextTo64(v);
        low = static_cast<unsigned int>(n & 0xFFFFFFFFu);
        high = static_cast<unsigned int>(n >> 32);
    });
}

int CQBPVb::GetType(int index) const
{
    if (index < 0 || index >= GetSize()) return QBP_INDEX_OUT_OF_RANGE;
    return types_[index];
}

const std::string& CQBPVb::OidAt(int index) const
{
    static const std::string kEmpty;
    return index >= 0 && index < GetSize() ? oids_[static_cast<size_t>(index)] : kEmpty;
}

const std::string& CQBPVb::ValueAt(int index) const
{
    static const std::string kEmpty;
    return index >= 0 && index < GetSize() ? values_[static_cast<size_t>(index)] : kEmpty;
}

void CQBPVb::Remove()
{
    oids_.clear();
    types_.clear();
    values_.clear();
}

void CQBPVb::Copy(const CQBPVb& source)
{
    if (&source == this) return;
    oids_ = source.oids_;
    types_ = source.types_;
    values_ = source.values_;
}
