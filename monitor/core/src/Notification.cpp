#include "nwatch/Notification.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qavres/Resources.h"

namespace nwatch {

namespace {

bool IsLeadByte(unsigned char c) { return (c >= 129 && c <= 159) || (c >= 224 && c <= 252); }

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return !prefix.empty() && text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

std::string CutDetailText1(const std::string& text)
{
    std::string t = text.substr(0, 32);
    if (text.size() >= 32 && IsLeadByte(static_cast<unsigned char>(t[31]))) t.resize(31);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r' || t.back() == '\n')) t.pop_back();
    return t;
}

void ScanBindings(NotificationRecord& r, const qavres::ObjectTable& objects)
{
    if (r.generic != 6 && r.generic != 7) return;
    const std::string a = objects.Oid(kObjectTrapErrorCode), b = objects.Oid(kObjectDetail1),
                      c = objects.Oid(kObjectDetail2), d = objects.Oid(kObjectDetail3),
                      e = objects.Oid(kObjectSecondInteger);
    for (int i = 0; i < r.bindings.GetSize(); ++i) {
        const int type = r.bindings.GetType(i);
        if (type < 0) break; // a binding without a value ends the scan
        const std::string& oid = r.bindings.OidAt(i);
        const std::string& value = r.bindings.ValueAt(i);
        const bool text = type == 4;
        if (StartsWith(oid, a)) {
            r.trapErrorCode = std::atoi(value.c_str());
        } else if (StartsWith(oid, b) && text) {
            r.detail1 = CutDetailText1(value);
        } else if (StartsWith(oid, c) && text) {
            r.detail2 = value.substr(0, 33);
        } else if (StartsWith(oid, d) && text) {
            r.detail3 = value.substr(0, 33);
        } else if (StartsWith(oid, e)) {
            r.secondInteger = std::atoi(value.c_str());
        }
    }
}

void StampReception(NotificationRecord& r, std::time_t when)
{
    std::tm tm{};
    ::localtime_r(&when, &tm);
    char date[40], time[40];
    std::snprintf(date, sizeof date, "%02d/%02d/%02d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year % 100);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    r.date = date;
    r.time = time;
}

} // namespace nwatch
