#include "qavplatform/Messages.h"

namespace qavplatform {

namespace {
constexpr const char* kNames[kMessageCount] = {
    "NWATCH_Exit", "NLIST_Exit", "Log_Settings_Changed", "Surveillance_Options_Changed", "Update_Trap",
};
}

const char* MessageName(Message message)
{
    int index = static_cast<int>(message);
    return (index >= 0 && index < kMessageCount) ? kNames[index] : "";
}

bool MessageFromName(const std::string& name, Message* message)
{
    for (int i = 0; i < kMessageCount; ++i) {
        if (name == kNames[i]) {
            if (message) *message = static_cast<Message>(i);
            return true;
        }
    }
    return false;
}

} // namespace qavplatform
