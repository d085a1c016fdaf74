#include "ManualClock.h"
#include "TempDir.h"
#include "mail/MailAttachment.h"
#include "mail/MailMessage.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

// The date and the Message-ID that follows it.
const std::string kDate = "Date: Mon, 07 Dec 2026 14:05:00 +0100\r\n"
                          "Message-ID: <fixed.1@example.org>\r\n";

class MailMessageTest : public ::testing::Test {
protected:
    MailMessageTest() : m_message(m_clock) {
        m_message.SetFrom(CMailAddress("", "cam@example.org"));
        m_message.AddRecipient(CMailAddress("", "me@example.org"), RecipientType::To);
        m_message.SetSubject("OCULON> 07 December 26 14:05:00.00");
        m_message.SetMessageId("<fixed.1@example.org>");
    }

    CMailAttachment Attach(const std::string& name, const std::string& bytes) {
        WriteFileBytes(m_dir.File(name), bytes);
        CMailAttachment attachment;
        EXPECT_TRUE(attachment.Load(m_dir.File(name)));
        return attachment;
    }

    CManualClock m_clock;
    CMailMessage m_message;
    CTempDir m_dir;
};

TEST(MailMessageId, UniquePerMessageInTheSendersDomain) {
    CManualClock clock;
    CMailMessage a(clock);
    CMailMessage b(clock);
    a.SetFrom(CMailAddress("", "cam@example.org"));
    b.SetFrom(CMailAddress("", "no domain\r\n"));
    EXPECT_TRUE(a.MessageId().starts_with("<1700000000."));
    EXPECT_TRUE(a.MessageId().ends_with("@example.org>"));
    EXPECT_TRUE(b.MessageId().ends_with("@oculon.invalid>"));
    EXPECT_NE(a.MessageId().substr(0, 20), b.MessageId().substr(0, 20));
}

TEST_F(MailMessageTest, SevenBitSinglePartHasTheExactBytes) {
    m_message.SetBody("Line one\r\nLine two\r\n");
    EXPECT_EQ(m_message.Content(),
              "From: cam@example.org\r\nTo: me@example.org\r\n"
              "Subject: OCULON> 07 December 26 14:05:00.00\r\n" +
                  kDate +
                  "X-Mailer: CSMTPConnection v1.3\r\n"
                  "MIME-Version: 1.0\r\nContent-type: text/plain; charset=US-ASCII\r\n"
                  "\r\nLine one\r\nLine two\r\n");
}

TEST_F(MailMessageTest, TwoAttachmentsFollowTheTextInOrderWithOneClosingBoundary) {
    const CMailAttachment movie = Attach("a b.wmv", std::string(57, 'x'));
    const CMailAttachment still = Attach("Frame_000001.jpg", "\xff");
    m_message.SetBody("Report");
    m_message.AddAttachment(&movie);
    m_message.AddAttachment(&still);
    std::string line76; // 19 groups of "xxx"
    for (int i = 0; i < 19; ++i)
        line76 += "eHh4";
    ASSERT_EQ(line76.size(), 76u);
    EXPECT_EQ(
        m_message.Content(),
        "From: cam@example.org\r\nTo: me@example.org\r\n"
        "Subject: OCULON> 07 December 26 14:05:00.00\r\n" +
            kDate +
            "X-Mailer: CSMTPConnection v1.3\r\n"
            "MIME-Version: 1.0\r\nContent-type: multipart/mixed; boundary=\"#BOUNDARY#\"\r\n"
            "\r\n"
            "\r\n--#BOUNDARY#\r\nContent-Type: text/plain; charset=us-ascii\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
            "Report"
            "\r\n\r\n--#BOUNDARY#\r\nContent-Type: application/octet-stream; name=\"a b.wmv\"\r\n"
            "Content-Transfer-Encoding: base64\r\n"
            "Content-Disposition: attachment; filename=\"a b.wmv\"\r\n\r\n" +
            line76 +
            "\r\n\r\n"
            "\r\n\r\n--#BOUNDARY#\r\nContent-Type: application/octet-stream; "
            "name=Frame_000001.jpg\r\n"
            "Content-Transfer-Encoding: base64\r\n"
            "Content-Disposition: attachment; filename=Frame_000001.jpg\r\n\r\n"
            "/w==\r\n"
            "\r\n--#BOUNDARY#--");
}

TEST_F(MailMessageTest, AnMp4MovieGoesAsVideoSoPhonesPlayIt) {
    const CMailAttachment movie = Attach("07-DEC-26  14=05=00=00.mp4", "m");
    m_message.AddAttachment(&movie);
    EXPECT_NE(m_message.Content().find("\r\nContent-Type: video/mp4; "
                                       "name=\"07-DEC-26  14=05=00=00.mp4\"\r\n"),
              std::string::npos);
}

TEST_F(MailMessageTest, AddressListsAndOptionalLines) {
    m_message.AddRecipient(CMailAddress("Second", "two@example.org"), RecipientType::To);
    m_message.AddRecipient(CMailAddress("", "three@example.org"), RecipientType::To);
    std::string header = m_message.BuildHeader();
    EXPECT_NE(header.find("To: me@example.org,Second <two@example.org>,three@example.org\r\n"),
              std::string::npos);
    EXPECT_EQ(header.find("Cc:"), std::string::npos);
    EXPECT_EQ(header.find("Reply-To:"), std::string::npos);

    EXPECT_EQ(m_message.AddRecipient(CMailAddress("", "cc@example.org"), RecipientType::Cc), 0);
    EXPECT_EQ(m_message.AddRecipient(CMailAddress("", "hidden@example.org"), RecipientType::Bcc),
              0);
    m_message.SetReplyTo(CMailAddress("Desk", "desk@example.org"));
    header = m_message.BuildHeader();
    EXPECT_NE(header.find("three@example.org\r\nCc: cc@example.org\r\nSubject: "),
              std::string::npos);
    EXPECT_NE(
        header.find("X-Mailer: CSMTPConnection v1.3\r\nReply-To: Desk <desk@example.org>\r\n"),
        std::string::npos);
    EXPECT_EQ(header.find("hidden"), std::string::npos);
}

TEST_F(MailMessageTest, RecipientListsRejectBadIndexesAndTypes) {
    EXPECT_EQ(m_message.AddRecipient(CMailAddress("", "x@y"), RecipientType::To), 1);
    EXPECT_EQ(m_message.AddRecipient(CMailAddress("", "x@y"), static_cast<RecipientType>(3)), -1);
    EXPECT_EQ(m_message.GetRecipient(1, RecipientType::To).m_address, "x@y");
    EXPECT_THROW(m_message.GetRecipient(2, RecipientType::To), std::invalid_argument);
    EXPECT_THROW(m_message.GetRecipient(0, RecipientType::Cc), std::invalid_argument);
    EXPECT_THROW(m_message.GetRecipient(-1, RecipientType::To), std::invalid_argument);
}

TEST_F(MailMessageTest, BodyIsDotStuffedAfterLineEndsBecomeCrLf) {
    m_message.SetBody(".first\n.\nmiddle.\r\n..two\rlast");
    EXPECT_EQ(m_message.m_body, "..first\r\n..\r\nmiddle.\r\n...two\r\nlast");
    EXPECT_EQ(m_message.WireBody(), m_message.m_body);
}

TEST_F(MailMessageTest, AttachmentThatDidNotLoadIsLeftOut) {
    CMailAttachment missing;
    EXPECT_FALSE(missing.Load(m_dir.File("nothing.jpg")));
    EXPECT_FALSE(missing.Load(""));
    EXPECT_FALSE(missing.Load(m_dir.Path())); // a folder is not a file
    m_message.AddAttachment(&missing);
    m_message.SetBody("x");
    EXPECT_EQ(m_message.AttachmentCount(), 0u);
    EXPECT_NE(m_message.BuildHeader().find("charset=US-ASCII"), std::string::npos);
}

TEST(MailDate, ZoneOffsetsAndEnglishNames) {
    CLocalTime t{2026, 12, 6, 5, 53, 16, 0, 0, 3600};
    EXPECT_EQ(CMailMessage::FormatDate(t), "Sun, 06 Dec 2026 05:53:16 +0100");
    t.utcOffsetSeconds = -5 * 3600;
    EXPECT_EQ(CMailMessage::FormatDate(t), "Sun, 06 Dec 2026 05:53:16 -0500");
    t.utcOffsetSeconds = 5 * 3600 + 30 * 60;
    t.month = 1;
    t.weekday = 6;
    EXPECT_EQ(CMailMessage::FormatDate(t), "Sat, 06 Jan 2026 05:53:16 +0530");
    t.utcOffsetSeconds = -30 * 60; // under an hour west must still be negative
    EXPECT_EQ(CMailMessage::FormatDate(t), "Sat, 06 Jan 2026 05:53:16 -0030");
}

TEST(MailBase64, LineLayout) {
    EXPECT_EQ(CMailAttachment::Base64Encode(""), "\r\n");
    EXPECT_EQ(CMailAttachment::Base64Encode("M"), "TQ==\r\n");
    EXPECT_EQ(CMailAttachment::Base64Encode("Ma"), "TWE=\r\n");
    const std::string one = CMailAttachment::Base64Encode(std::string(57, '\0'));
    EXPECT_EQ(one, std::string(76, 'A') + "\r\n\r\n");
    const std::string two = CMailAttachment::Base64Encode(std::string(58, '\0'));
    EXPECT_EQ(two, std::string(76, 'A') + "\r\nAA==\r\n");
    const std::string all = CMailAttachment::Base64Encode("\xfb\xff\xbf");
    EXPECT_EQ(all, "+/+/\r\n");
}

// Non-ASCII camera names and custom texts must arrive readable.
TEST_F(MailMessageTest, NonAsciiSubjectIsEncodedInWholeCharacters) {
    // 30 two-byte characters: 60 bytes, more than one encoded word holds.
    std::string subject;
    for (int i = 0; i < 30; ++i)
        subject += "\xc3\xa9";
    m_message.SetSubject(subject);
    const std::string header = m_message.BuildHeader();
    // 44 bytes (22 characters) in the first word, 16 bytes in the second.
    EXPECT_NE(header.find("Subject: =?UTF-8?B?"
                          "w6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6k=?=\r\n"
                          " =?UTF-8?B?w6nDqcOpw6nDqcOpw6nDqQ==?=\r\n"),
              std::string::npos)
        << header;
}

TEST_F(MailMessageTest, NonAsciiBodyIsDeclaredUtf8AndQuotedPrintable) {
    m_message.SetBody("Kamera: K\xc3\xbc"
                      "che\n.Ende");
    const std::string header = m_message.BuildHeader();
    EXPECT_NE(header.find("MIME-Version: 1.0\r\nContent-type: text/plain; charset=UTF-8\r\n"
                          "Content-Transfer-Encoding: quoted-printable\r\n\r\n"),
              std::string::npos);
    EXPECT_EQ(m_message.WireBody(), "Kamera: K=C3=BCche\r\n..Ende");

    const CMailAttachment still = Attach("s.jpg", "abc");
    m_message.AddAttachment(&still);
    EXPECT_NE(m_message.Content().find("Content-Type: text/plain; charset=utf-8\r\n"
                                       "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                       "Kamera: K=C3=BCche\r\n..Ende\r\n\r\n--#BOUNDARY#"),
              std::string::npos);
}

TEST_F(MailMessageTest, EqualsSignInAQuotedPrintablePartIsEscaped) {
    m_message.SetBody("see https://x.org/?a=12");
    EXPECT_EQ(m_message.WireBody(), "see https://x.org/?a=12"); // single part: 7-bit as typed
    const CMailAttachment still = Attach("s.jpg", "abc");
    m_message.AddAttachment(&still);
    EXPECT_EQ(m_message.WireBody(), "see https://x.org/?a=3D12");
    EXPECT_NE(m_message.Content().find("charset=us-ascii"), std::string::npos);
}

TEST_F(MailMessageTest, LineEndsCannotBeSmuggledIntoHeaders) {
    m_message.SetSubject("hi\r\nBcc: victim@example.org");
    m_message.AddRecipient(CMailAddress("", "a@b\nX-Evil: 1"), RecipientType::Cc);
    const std::string header = m_message.BuildHeader();
    EXPECT_EQ(header.find("\nBcc:"), std::string::npos);
    EXPECT_EQ(header.find("\nX-Evil"), std::string::npos);
    EXPECT_NE(header.find("Subject: hiBcc: victim@example.org\r\n"), std::string::npos);
}

} // namespace
