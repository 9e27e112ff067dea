#include "qavsmtp/CSMTPMessage.h"

#include <ctime>

#include "qavsmtp/MailDate.h"
#include "qavsmtp/SMTPError.h"

#include "qavplatform/Text.h"

using qavsmtp::SMTPSetLastError;

namespace {

std::string Trim(const std::string& text) { return qavplatform::Trim(text, " \t"); }

// An address goes between angle brackets into a command line: it must not
// contain brackets or control characters (a CR or LF would end the command
// and start another).
bool SendableAddress(const std::string& address)
{
    for (unsigned char c : address) {
        if (c < 0x20 || c == 0x7f || c == '<' || c == '>') return false;
    }
    return true;
}

// A header value must stay on its line: CR and LF become spaces.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

std::string JoinForHeader(const std::vector<CSMTPAddress>& list)
{
    std::string text;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i) text += ",";
        text += list[i].HeaderText();
    }
    return text;
}

} // namespace

std::string CSMTPAddress::HeaderText() const
{
    if (m_sFriendlyName.empty()) return m_sEmailAddress;
    return m_sFriendlyName + " <" + m_sEmailAddress + ">";
}

CSMTPMessage::CSMTPMessage() : m_sXMailer(kDefaultMailer) {}

std::vector<CSMTPAddress>* CSMTPMessage::List(int kind)
{
    switch (kind) {
    case TO: return &m_To;
    case CC: return &m_Cc;
    case BCC: return &m_Bcc;
    default: return nullptr;
    }
}

const std::vector<CSMTPAddress>* CSMTPMessage::List(int kind) const
{
    return const_cast<CSMTPMessage*>(this)->List(kind);
}

int CSMTPMessage::AddRecipient(const CSMTPAddress& recipient, int kind)
{
    std::vector<CSMTPAddress>* list = List(kind);
    if (!list || recipient.m_sEmailAddress.empty() || !SendableAddress(recipient.m_sEmailAddress)) {
        SMTPSetLastError(qavsmtp::kSmtpErrBadAddress);
        return 0;
    }
    list->push_back(recipient);
    return 1;
}

int CSMTPMessage::AddRecipientList(const std::string& text, int kind)
{
    std::vector<CSMTPAddress>* list = List(kind);
    if (!list) {
        SMTPSetLastError(qavsmtp::kSmtpErrBadAddress);
        return 0;
    }
    // The entries are checked first and appended together, so that a
    // malformed entry leaves the message as it was.
    std::vector<CSMTPAddress> parsed;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(",;", start);
        if (end == std::string::npos) end = text.size();
        const std::string piece = text.substr(start, end - start);
        start = end + 1;

        std::string name;
        std::string address;
        const size_t open = piece.find('<');
        if (open != std::string::npos) {
            const size_t firstClose = piece.find('>');
            if (firstClose != std::string::npos && firstClose < open) {
                SMTPSetLastError(qavsmtp::kSmtpErrBadAddress);
                return 0;
            }
            name = piece.substr(0, open);
            const size_t close = piece.find('>', open + 1);
            address = close == std::string::npos ? piece.substr(open + 1) : piece.substr(open + 1, close - open - 1);
        } else {
            address = piece;
        }
        name = Trim(name);
        address = Trim(address);
        if (address.empty()) continue;
        if (!SendableAddress(address)) {
            SMTPSetLastError(qavsmtp::kSmtpErrBadAddress);
            return 0;
        }
        parsed.emplace_back(name, address);
    }
    list->insert(list->end(), parsed.begin(), parsed.end());
    return 1;
}

int CSMTPMessage::GetNumberOfRecipients(int kind) const
{
    const std::vector<CSMTPAddress>* list = List(kind);
    return list ? static_cast<int>(list->size()) : 0;
}

int CSMTPMessage::GetRecipient(CSMTPAddress& recipient, int index, int kind) const
{
    const std::vector<CSMTPAddress>* list = List(kind);
    if (!list || index < 0 || index >= static_cast<int>(list->size())) return 0;
    recipient = (*list)[static_cast<size_t>(index)];
    return 1;
}

void CSMTPMessage::SetText(const std::string& text)
{
    // Dot-stuffing: a period at the start of a line is doubled, the very
    // first line included (it follows the empty line that ends the header,
    // so a lone "." there would end the transfer).
    m_sBody.clear();
    m_sBody.reserve(text.size() + text.size() / 64 + 1);
    if (!text.empty() && text[0] == '.') m_sBody += '.';
    for (size_t i = 0; i < text.size(); ++i) {
        m_sBody += text[i];
        if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] == '.') m_sBody += '.';
    }
}

std::string CSMTPMessage::HeaderDate() const { return qavsmtp::FormatMailDate(std::time(nullptr)); }

std::string CSMTPMessage::BuildHeader(bool japanese) const
{
    std::string header;
    header += "From: " + OneLine(m_From.HeaderText()) + "\r\n";
    header += "To: " + OneLine(JoinForHeader(m_To)) + "\r\n";
    if (!m_Cc.empty()) header += "Cc: " + OneLine(JoinForHeader(m_Cc)) + "\r\n";
    header += "Subject: " + OneLine(m_sSubject) + "\r\n";
    header += "Date: " + OneLine(HeaderDate()) + "\r\n";
    header += "X-Mailer: " + OneLine(m_sXMailer) + "\r\n";
    if (!m_ReplyTo.m_sEmailAddress.empty()) header += "Reply-To: " + OneLine(m_ReplyTo.HeaderText()) + "\r\n";
    if (japanese) {
        header += "MIME-Version: 1.0\r\n"
                  "Content-type: text/plain; charset=\"ISO-2022-JP\"\r\n"
                  "Content-transfer-Encoding: 7bit\r\n";
    } else {
        header += "MIME-Version: 1.0\r\n"
                  "Content-type: text/plain; charset=US-ASCII\r\n";
    }
    header += "\r\n";
    return header;
}
