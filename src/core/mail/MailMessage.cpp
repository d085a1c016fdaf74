#include "mail/MailMessage.h"

#include "mail/MailAttachment.h"
#include "mail/MailText.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>

namespace {

constexpr size_t kSmtpLineMax = 998;
constexpr const char* kMultipartHeader =
    "MIME-Version: 1.0\r\nContent-type: multipart/mixed; boundary=\"#BOUNDARY#\"\r\n";
constexpr const char* kPlainHeader =
    "MIME-Version: 1.0\r\nContent-type: text/plain; charset=US-ASCII\r\n";
constexpr const char* kClosingBoundary = "\r\n--#BOUNDARY#--";

std::string JoinFormatted(const std::vector<CMailAddress>& list) {
    std::string text;
    for (const auto& address : list) {
        if (!text.empty())
            text += ",";
        text += mail_text::WithoutLineEnds(address.Format());
    }
    return text;
}

std::string PartHeader(const CMailAttachment& attachment) {
    return "\r\n\r\n--#BOUNDARY#\r\nContent-Type: " + attachment.m_contentType + "; " +
           mail_text::MimeParameter("name", mail_text::WithoutLineEnds(attachment.m_name)) +
           "\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; " +
           mail_text::MimeParameter("filename", mail_text::WithoutLineEnds(attachment.m_fileName)) +
           "\r\n\r\n";
}

} // namespace

CMailMessage::CMailMessage(const IClock& clock) : m_clock(clock) {
    std::random_device random;
    char text[64];
    std::snprintf(text, sizeof text, "%lld.%08x%08x", static_cast<long long>(clock.WallSeconds()),
                  random(), random());
    m_uniquePart = text;
}

std::string CMailMessage::MessageId() const {
    if (!m_messageId.empty())
        return m_messageId;
    // The sender's domain keeps the id unique across machines, as RFC 5322 asks.
    const std::string& from = m_from.m_address;
    const size_t at = from.rfind('@');
    std::string domain = at == std::string::npos ? "" : from.substr(at + 1);
    if (domain.empty() || domain.find_first_not_of(
                              "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") !=
                              std::string::npos)
        domain = "oculon.invalid";
    return "<" + m_uniquePart + "@" + domain + ">";
}

void CMailMessage::SetBody(const std::string& text) {
    m_text = mail_text::NormalizeLineEnds(text);
    m_body = mail_text::DotStuff(m_text);
}

int CMailMessage::AddRecipient(const CMailAddress& address, RecipientType type) {
    std::vector<CMailAddress>* list = nullptr;
    switch (type) {
    case RecipientType::To:
        list = &m_to;
        break;
    case RecipientType::Cc:
        list = &m_cc;
        break;
    case RecipientType::Bcc:
        list = &m_bcc;
        break;
    }
    if (!list)
        return -1;
    list->push_back(address);
    return static_cast<int>(list->size()) - 1;
}

const std::vector<CMailAddress>& CMailMessage::Recipients(RecipientType type) const {
    switch (type) {
    case RecipientType::To:
        return m_to;
    case RecipientType::Cc:
        return m_cc;
    case RecipientType::Bcc:
        return m_bcc;
    }
    throw std::invalid_argument("unknown recipient type");
}

CMailAddress CMailMessage::GetRecipient(int index, RecipientType type) const {
    const auto& list = Recipients(type);
    if (index < 0 || static_cast<size_t>(index) >= list.size())
        throw std::invalid_argument("recipient index out of range");
    return list[static_cast<size_t>(index)];
}

void CMailMessage::AddAttachment(const CMailAttachment* attachment) {
    if (attachment && !attachment->m_name.empty())
        m_attachments.push_back(attachment);
}

std::string CMailMessage::FormatDate(const CLocalTime& t) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const long offsetMinutes = t.utcOffsetSeconds / 60;
    const long absMinutes = std::labs(offsetMinutes);
    char text[128];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  kDays[(t.weekday % 7 + 7) % 7], t.day, kMonths[(t.month + 11) % 12], t.year,
                  t.hour, t.minute, t.second, offsetMinutes < 0 ? '-' : '+', absMinutes / 60,
                  absMinutes % 60);
    return text;
}

bool CMailMessage::BodyNeedsEncoding() const {
    if (!mail_text::IsSevenBit(m_text) || mail_text::LongestLine(m_body) > kSmtpLineMax)
        return true;
    // The text part declares quoted-printable, where "=" starts an escape.
    return !m_attachments.empty() && m_text.find('=') != std::string::npos;
}

std::string CMailMessage::WireBody() const {
    if (!BodyNeedsEncoding())
        return m_body;
    return mail_text::DotStuff(mail_text::QuotedPrintable(m_text));
}

std::string CMailMessage::BuildHeader() const {
    const std::string to = JoinFormatted(m_to);
    const std::string cc = JoinFormatted(m_cc);
    std::string subject = mail_text::EncodeHeaderValue(mail_text::WithoutLineEnds(m_subject));

    std::string header = "From: " + mail_text::WithoutLineEnds(m_from.Format()) + "\r\n";
    header += "To: " + to + "\r\n";
    if (!cc.empty())
        header += "Cc: " + cc + "\r\n";
    header += "Subject: " + subject + "\r\n";
    header += "Date: " + FormatDate(m_clock.Local()) + "\r\n";
    header += "Message-ID: " + MessageId() + "\r\n";
    header += "X-Mailer: " + m_xMailer + "\r\n";
    if (!m_replyTo.m_address.empty())
        header += "Reply-To: " + mail_text::WithoutLineEnds(m_replyTo.Format()) + "\r\n";
    if (!m_attachments.empty()) {
        header += kMultipartHeader;
    } else if (!BodyNeedsEncoding()) {
        header += kPlainHeader;
    } else {
        header += "MIME-Version: 1.0\r\nContent-type: text/plain; charset=";
        header += mail_text::IsSevenBit(m_text) ? "US-ASCII" : "UTF-8";
        header += "\r\nContent-Transfer-Encoding: quoted-printable\r\n";
    }
    header += "\r\n";
    return header;
}

std::string CMailMessage::TextPartHeader() const {
    const bool utf8 = !mail_text::IsSevenBit(m_text);
    return std::string("\r\n--#BOUNDARY#\r\nContent-Type: text/plain; charset=") +
           (utf8 ? "utf-8" : "us-ascii") +
           "\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
}

bool CMailMessage::ForEachPiece(const std::function<bool(std::string_view)>& send) const {
    if (!send(BuildHeader()))
        return false;
    if (!m_attachments.empty() && !send(TextPartHeader()))
        return false;
    if (!send(WireBody()))
        return false;
    for (const CMailAttachment* attachment : m_attachments) {
        if (!send(PartHeader(*attachment)) || !send(attachment->m_data))
            return false;
    }
    if (!m_attachments.empty() && !send(kClosingBoundary))
        return false;
    return true;
}

std::string CMailMessage::Content() const {
    std::string content;
    ForEachPiece([&content](std::string_view piece) {
        content.append(piece);
        return true;
    });
    return content;
}
