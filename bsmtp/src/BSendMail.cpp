// BSendMail: one mail over SMTP through libcurl, which also carries out the
// authentication methods (PLAIN, LOGIN, CRAM-MD5).
#include "bsmtp/Bsmtp.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "MailText.h"

namespace {

constexpr long kDefaultTimeoutSeconds = 30;

long TimeoutSeconds()
{
    const char* value = std::getenv("QAV_BSMTP_TIMEOUT");
    if (!value || !*value) return kDefaultTimeoutSeconds;
    char* end = nullptr;
    const long seconds = std::strtol(value, &end, 10);
    if (*end != '\0' || seconds < 1 || seconds > 600) return kDefaultTimeoutSeconds;
    return seconds;
}

// Copies text into the caller's buffer, cut to the documented size.
int Finish(char* errorText, const std::string& text, int result)
{
    if (errorText) {
        const size_t length = std::min(text.size(), static_cast<size_t>(BSMTP_ERROR_TEXT_SIZE - 1));
        std::memcpy(errorText, text.data(), length);
        errorText[length] = '\0';
    }
    return result;
}

struct Upload {
    const std::string* data;
    size_t offset;
};

size_t ReadMessage(char* buffer, size_t size, size_t count, void* user)
{
    Upload* upload = static_cast<Upload*>(user);
    const size_t room = size * count;
    const size_t left = upload->data->size() - upload->offset;
    const size_t n = std::min(room, left);
    std::memcpy(buffer, upload->data->data() + upload->offset, n);
    upload->offset += n;
    return n;
}

bool GlobalInit()
{
    static std::once_flag s_once;
    static bool s_ok = false;
    std::call_once(s_once, [] { s_ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return s_ok;
}

} // namespace

extern "C" BSMTP_API int BSendMail(const char* server, const char* recipients, const char* senderAndAuth,
                                   const char* subject, const char* body, const void* reserved, char* errorText)
{
    // The options a caller passed, as far as its structure reaches.
    BSMTPOptions options{static_cast<int>(sizeof(BSMTPOptions)), BSMTP_SECURITY_NONE, nullptr};
    if (reserved) {
        const auto* given = static_cast<const BSMTPOptions*>(reserved);
        if (given->size < static_cast<int>(offsetof(BSMTPOptions, security) + sizeof(int)))
            return Finish(errorText, "Invalid argument", 0);
        options.security = given->security;
        if (given->size >= static_cast<int>(offsetof(BSMTPOptions, caFile) + sizeof(const char*)))
            options.caFile = given->caFile;
        if (options.security < BSMTP_SECURITY_NONE || options.security > BSMTP_SECURITY_TLS)
            return Finish(errorText, "Invalid argument", 0);
    }

    bsmtp::Server target;
    if (!bsmtp::ParseServer(server, target)) return Finish(errorText, BSMTP_CANT_CONNECT_TEXT, 0);
    bsmtp::Sender sender;
    std::vector<bsmtp::Party> to;
    if (!bsmtp::ParseSender(senderAndAuth, sender) || !bsmtp::ParseRecipients(recipients, to) || to.empty())
        return Finish(errorText, "Invalid argument", 0);

    if (!GlobalInit()) return Finish(errorText, "Mail library error", 0);
    CURL* curl = curl_easy_init();
    if (!curl) return Finish(errorText, "Mail library error", 0);

    const std::string domain = bsmtp::LocalDomain();
    const std::string message =
        bsmtp::ComposeMessage(sender.party, to, subject ? subject : "", body ? body : "", std::time(nullptr), domain);
    Upload upload{&message, 0};

    // The URL's path is the name this machine gives in EHLO.
    char port[16];
    std::snprintf(port, sizeof port, "%d", target.port);
    const char* scheme = options.security == BSMTP_SECURITY_TLS ? "smtps://" : "smtp://";
    const std::string url = scheme + target.host + ":" + port + "/" + domain;
    const std::string from = "<" + sender.party.address + ">";
    curl_slist* rcpt = nullptr;
    for (const bsmtp::Party& party : to) rcpt = curl_slist_append(rcpt, ("<" + party.address + ">").c_str());
    const std::string loginOptions = sender.mechanism.empty() ? std::string() : "AUTH=" + sender.mechanism;
    const long timeout = TimeoutSeconds();
    char detail[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, options.security == BSMTP_SECURITY_TLS ? "smtps" : "smtp");
    if (options.security == BSMTP_SECURITY_STARTTLS) curl_easy_setopt(curl, CURLOPT_USE_SSL, CURLUSESSL_ALL);
    if (options.security != BSMTP_SECURITY_NONE) {
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        if (options.caFile && *options.caFile) curl_easy_setopt(curl, CURLOPT_CAINFO, options.caFile);
    }
    curl_easy_setopt(curl, CURLOPT_PROXY, ""); // never through a proxy from the environment
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, timeout);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeout);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadMessage);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    if (sender.authenticate) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, sender.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, sender.password.c_str());
        if (!loginOptions.empty()) curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, loginOptions.c_str());
    }

    const CURLcode rc = curl_easy_perform(curl);
    curl_off_t connectTime = 0;
    curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connectTime);
    curl_slist_free_all(rcpt);
    curl_easy_cleanup(curl);

    switch (rc) {
    case CURLE_OK: return Finish(errorText, "", 1);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT: return Finish(errorText, BSMTP_CANT_CONNECT_TEXT, 0);
    case CURLE_OPERATION_TIMEDOUT:
        // A connect time of zero: the connection itself never came about.
        return Finish(errorText, connectTime > 0 ? "Server timed out" : BSMTP_CANT_CONNECT_TEXT, 0);
    case CURLE_LOGIN_DENIED:
    case CURLE_AUTH_ERROR: return Finish(errorText, "Authentication failed", 0);
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
        return Finish(errorText, std::string("TLS failed: ") + (detail[0] ? detail : curl_easy_strerror(rc)), 0);
    default: break;
    }
    return Finish(errorText, std::string("Send failed: ") + (detail[0] ? detail : curl_easy_strerror(rc)), 0);
}
