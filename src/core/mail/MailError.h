#pragma once
#include <string>

// Every mail operation leaves its failure code in a per-thread value, so that
// several deliveries on different threads never see each other's codes. The
// numbers are the ones mail users know from the classic socket layer.
namespace mail_error {
constexpr int kInvalidArgument = 10022;  // host neither an address nor a resolvable name
constexpr int kTimedOut = 10060;         // no reply data for longer than the reply timeout
constexpr int kUnexpectedReply = 10043;  // reply code differs from the expected one
constexpr int kCommandRefused = 22;      // MAIL FROM, RCPT TO, DATA, end of data or QUIT refused
constexpr int kConnectionClosed = 10054; // the server hung up or TLS failed
} // namespace mail_error

int GetMailLastError();
void SetMailLastError(int code);

// A short human text for a code left by a mail operation (ours or the socket layer's).
std::string MailErrorText(int code);
