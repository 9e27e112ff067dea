#include "RawSettings.h"

#include <cstdlib>
#include <sstream>

namespace qavsim {

namespace {

struct NamedKind {
    const char* name;
    FaultSetting::Kind kind;
};

const NamedKind kKinds[] = {
    {"none", FaultSetting::kNone},       {"split", FaultSetting::kSplit},   {"delay", FaultSetting::kDelay},
    {"garbage", FaultSetting::kGarbage}, {"noise", FaultSetting::kNoise},   {"silent", FaultSetting::kSilent},
    {"hangup", FaultSetting::kHangup},   {"badseq", FaultSetting::kBadSequence}, {"generr", FaultSetting::kGenErr},
};

struct NamedOn {
    const char* name;
    FaultSetting::On on;
};

const NamedOn kOns[] = {
    {"any", FaultSetting::kAny}, {"start", FaultSetting::kStart},   {"block", FaultSetting::kBlock},
    {"end", FaultSetting::kEnd}, {"object", FaultSetting::kObject},
};

bool Number(const std::string& text, int low, int high, int& value)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

} // namespace

bool IsRawKey(const std::string& key)
{
    return key == "raw-port" || key == "com" || key == "usb" || key == "lpt" || key == "restart-ms" ||
           key == "capture" || key == "fault";
}

bool ApplyRawKey(RawSettings& s, const std::string& key, const std::string& value, std::string& error)
{
    if (key == "raw-port") {
        if (!Number(value, 0, 65535, s.tcpPort)) {
            error = "raw-port is 0 to 65535";
            return false;
        }
    } else if (key == "restart-ms") {
        if (!Number(value, 0, 3600000, s.restartMs)) {
            error = "restart-ms is 0 to 3600000";
            return false;
        }
    } else if (key == "com" || key == "usb" || key == "lpt") {
        if (value.empty() || (key == "lpt" && value == "auto")) {
            error = key + (key == "lpt" ? " needs a path" : " is auto or a path");
            return false;
        }
        (key == "com" ? s.com : key == "usb" ? s.usb : s.lpt) = value;
    } else if (key == "capture") {
        s.capture = value;
    } else if (key == "fault") {
        std::istringstream in(value);
        std::vector<std::string> words;
        for (std::string w; in >> w;) words.push_back(w);
        return ParseFault(words, 0, s.fault, error);
    } else {
        error = "unknown key '" + key + "'";
        return false;
    }
    return true;
}

bool ParseFault(const std::vector<std::string>& words, size_t from, FaultSetting& fault, std::string& error)
{
    if (from >= words.size()) {
        error = "fault KIND [on=any|start|block|end|object] [ms=N] [count=N]";
        return false;
    }
    FaultSetting f;
    bool known = false;
    for (const NamedKind& k : kKinds) {
        if (words[from] == k.name) {
            f.kind = k.kind;
            known = true;
        }
    }
    if (!known) {
        error = "unknown fault '" + words[from] + "' (none, split, delay, garbage, noise, silent, hangup, badseq, generr)";
        return false;
    }
    for (size_t i = from + 1; i < words.size(); ++i) {
        const size_t eq = words[i].find('=');
        const std::string k = words[i].substr(0, eq);
        const std::string v = eq == std::string::npos ? std::string() : words[i].substr(eq + 1);
        if (k == "on") {
            bool found = false;
            for (const NamedOn& o : kOns) {
                if (v == o.name) {
                    f.on = o.on;
                    found = true;
                }
            }
            if (!found) {
                error = "on= is any, start, block, end or object";
                return false;
            }
        } else if (k == "ms") {
            if (!Number(v, 0, 3600000, f.ms)) {
                error = "ms= is 0 to 3600000";
                return false;
            }
        } else if (k == "count") {
            if (!Number(v, 1, 1000000, f.count)) {
                error = "count= is a positive number";
                return false;
            }
        } else {
            error = "unknown fault setting '" + words[i] + "' (on=, ms=, count=)";
            return false;
        }
    }
    fault = f;
    return true;
}

std::string FaultText(const FaultSetting& f)
{
    std::string text = "none";
    for (const NamedKind& k : kKinds) {
        if (k.kind == f.kind) text = k.name;
    }
    if (f.kind == FaultSetting::kNone) return text;
    for (const NamedOn& o : kOns) {
        if (o.on == f.on && f.on != FaultSetting::kAny) text += std::string(" on=") + o.name;
    }
    if (f.ms >= 0) text += " ms=" + std::to_string(f.ms);
    if (f.count >= 0) text += " count=" + std::to_string(f.count);
    return text;
}

} // namespace qavsim
