#include "nstat/DeviceSetting.h"

namespace nstat {

namespace {
constexpr int kApplyDeviceSettings = 3;
}

const std::array<SettingField, kSettingFieldCount> kSettingFields = {{
    {5311, obj::kName, 255, false},
    {5312, obj::kLocation, 255, false},
    {5313, obj::kSerial, 16, true},
    {5314, obj::kManager, 64, true},
    {5315, obj::kContact, 255, false},
    {5316, obj::kComment, 255, true},
}};

SettingValues SettingValuesOf(const PrinterState& state)
{
    SettingValues v;
    for (int i = 0; i < kSettingFieldCount; ++i) {
        if (!kSettingFields[i].makerOnly || state.maker) v[i] = state.Value(kSettingFields[i].object);
    }
    return v;
}

bool SerialCharacterAllowed(unsigned char c) { return c >= 0x20 && c != 0x7F; }

bool SerialTextAllowed(const std::string& text)
{
    for (char c : text) {
        if (!SerialCharacterAllowed(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

SettingUpdate WriteChangedSettings(Printer& printer, const SettingValues& opening, const SettingValues& now)
{
    SettingUpdate u;
    const bool maker = printer.State().maker;
    for (int i = 0; i < kSettingFieldCount; ++i) {
        const SettingField& f = kSettingFields[i];
        if ((f.makerOnly && !maker) || now[i] == opening[i]) continue;
        u.changed = true;
        u.written.push_back(f.object);
        if (!printer.WriteString(f.object, now[i])) {
            u.ok = false;
            return u;
        }
    }
    if (u.changed && maker) {
        u.written.push_back(obj::kControl);
        u.ok = printer.WriteInteger(obj::kControl, kApplyDeviceSettings);
    }
    return u;
}

} // namespace nstat
