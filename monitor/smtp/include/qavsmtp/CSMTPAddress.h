// CSMTPAddress: one mail party, a display name and a mail address.
#pragma once

#include <string>

class CSMTPAddress {
public:
    CSMTPAddress() = default;
    CSMTPAddress(std::string friendlyName, std::string emailAddress)
        : m_sFriendlyName(std::move(friendlyName)), m_sEmailAddress(std::move(emailAddress))
    {
    }

    // The form used in the header: "name <address>", or the bare address
    // when the display name is empty.
    std::string HeaderText() const;

    bool operator==(const CSMTPAddress&) const = default;

    std::string m_sFriendlyName;
    std::string m_sEmailAddress;
};
