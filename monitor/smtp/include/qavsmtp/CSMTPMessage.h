// CSMTPMessage: one notification mail of the monitor's own SMTP client:
// sender, recipients (To, Cc, Bcc), subject, body and the header composed
// from them.
#pragma once

#include <string>
#include <vector>

#include "CSMTPAddress.h"

class CSMTPMessage {
public:
    enum RECIPIENTS_TYPE { TO = 0, CC = 1, BCC = 2 };
    static constexpr const char* kDefaultMailer = "CSMTPConnection v1.3";

    CSMTPMessage();
    virtual ~CSMTPMessage() = default;

    // Appends one recipient of the kind (0 To, 1 Cc, 2 Bcc). Returns 1, or
    // 0 with error 13 for an address that could not be sent (empty, or with
    // angle brackets, CR or LF in it) or an unknown kind.
    int AddRecipient(const CSMTPAddress& recipient, int kind = TO);

    // Appends the entries of a list separated by "," or ";". An entry is
    // "name <address>" or a bare address; spaces around name and address
    // are dropped and entries without an address are skipped. A ">" before
    // the "<" of an entry, or an address that cannot be sent, fails the
    // whole call with error 13 and appends nothing. Returns 1 or 0.
    int AddRecipientList(const std::string& list, int kind = TO);

    int GetNumberOfRecipients(int kind = TO) const;
    // Recipient `index` of the kind; returns 1, or 0 when there is none.
    int GetRecipient(CSMTPAddress& recipient, int index, int kind = TO) const;

    // Stores the body dot-stuffed: a line that starts with "." gets a
    // second one, so that no body line can end the transfer.
    void SetText(const std::string& text);
    // The body as it will be sent (dot-stuffed).
    const std::string& GetText() const { return m_sBody; }

    // The header block: From, To, Cc (only with Cc recipients), Subject,
    // Date, X-Mailer, Reply-To (only with a reply-to address) and the MIME
    // lines, ISO-2022-JP with the Japanese flag, US-ASCII without, closed by
    // an empty line. Bcc recipients never appear.
    virtual std::string BuildHeader(bool japanese) const;

    CSMTPAddress m_From;
    std::string m_sSubject;
    std::string m_sXMailer;
    CSMTPAddress m_ReplyTo;

protected:
    // The date text of the header; the current local time.
    virtual std::string HeaderDate() const;

private:
    std::vector<CSMTPAddress>* List(int kind);
    const std::vector<CSMTPAddress>* List(int kind) const;

    std::string m_sBody;
    std::vector<CSMTPAddress> m_To;
    std::vector<CSMTPAddress> m_Cc;
    std::vector<CSMTPAddress> m_Bcc;
};
