#pragma once
#include "app/Clock.h"
#include "mail/MailAddress.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CMailAttachment;

enum class RecipientType { To = 0, Cc = 1, Bcc = 2 };

// One outgoing mail. It fixes the exact bytes sent after DATA: a single
// text/plain part, or multipart/mixed with the text first and every attachment
// as a base64 part. Plain 7-bit text goes out as typed; other text is declared
// UTF-8 and sent quoted-printable so it arrives readable.
class CMailMessage {
public:
    static constexpr const char* kXMailer = "CSMTPConnection v1.3";

    // The clock gives the Date header; tests pass a fixed one.
    explicit CMailMessage(const IClock& clock = CSystemClock::Instance());
    virtual ~CMailMessage() = default;

    void SetFrom(const CMailAddress& from) { m_from = from; }
    void SetReplyTo(const CMailAddress& replyTo) { m_replyTo = replyTo; }
    void SetSubject(const std::string& subject) { m_subject = subject; }
    // Stores the text with CR LF line ends and dot-stuffed.
    void SetBody(const std::string& text);

    // Index of the new entry in its list; -1 for an unknown type.
    int AddRecipient(const CMailAddress& address, RecipientType type);
    // Throws std::invalid_argument for an index outside the list or an unknown type.
    CMailAddress GetRecipient(int index, RecipientType type) const;
    const std::vector<CMailAddress>& Recipients(RecipientType type) const;

    // Not owned; must stay alive until the message is sent. An attachment with
    // an empty name (one that did not load) is ignored.
    void AddAttachment(const CMailAttachment* attachment);
    size_t AttachmentCount() const { return m_attachments.size(); }

    const CMailAddress& From() const { return m_from; }

    // The Message-ID header's value; unique per message unless set.
    std::string MessageId() const;
    void SetMessageId(const std::string& id) { m_messageId = id; }

    // The header block, ending with its empty line; the date is taken now.
    virtual std::string BuildHeader() const;

    // Hands every piece of the content after DATA (without the end-of-data
    // line) to send, in order, each piece whole; stops at the first false.
    bool ForEachPiece(const std::function<bool(std::string_view)>& send) const;
    // All pieces joined.
    std::string Content() const;

    // The body as it goes out (dot-stuffed, and quoted-printable when needed).
    std::string WireBody() const;
    // Whether the body needs quoted-printable: non-ASCII text, a line too long
    // for SMTP, or an "=" in a part that already claims quoted-printable.
    bool BodyNeedsEncoding() const;

    // Date text with English names and the numeric zone, as mail dates are written.
    static std::string FormatDate(const CLocalTime& t);

    CMailAddress m_from;
    std::string m_subject;
    std::string m_xMailer = kXMailer;
    CMailAddress m_replyTo;
    std::string m_body; // dot-stuffed, CR LF text

private:
    std::string TextPartHeader() const;

    const IClock& m_clock;
    std::string m_messageId; // empty: made from m_uniquePart and the sender's domain
    std::string m_uniquePart;
    std::string m_text; // CR LF text before dot-stuffing
    std::vector<CMailAddress> m_to;
    std::vector<CMailAddress> m_cc;
    std::vector<CMailAddress> m_bcc;
    std::vector<const CMailAttachment*> m_attachments;
};
