#include "mail/MailText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MailText, LineEndsBecomeCrLfWhateverTheirForm) {
    EXPECT_EQ(mail_text::NormalizeLineEnds("a\nb\r\nc\rd\n\n"), "a\r\nb\r\nc\r\nd\r\n\r\n");
    EXPECT_EQ(mail_text::NormalizeLineEnds("\r\r\n"), "\r\n\r\n");
    EXPECT_EQ(mail_text::NormalizeLineEnds("plain"), "plain");
}

TEST(MailText, QuotedPrintableKeepsLinesShortAndEscapesWhatItMust) {
    EXPECT_EQ(mail_text::QuotedPrintable("a=b \r\ntab\t\r\n\xc3\xa9"),
              "a=3Db=20\r\ntab=09\r\n=C3=A9");
    const std::string longLine(200, 'x');
    const std::string qp = mail_text::QuotedPrintable(longLine + "\r\nend");
    size_t start = 0;
    std::string decoded;
    for (;;) {
        const size_t end = qp.find("\r\n", start);
        const std::string line =
            qp.substr(start, end == std::string::npos ? std::string::npos : end - start);
        EXPECT_LE(line.size(), 76u);
        if (!line.empty() && line.back() == '=')
            decoded += line.substr(0, line.size() - 1);
        else
            decoded += line + (end == std::string::npos ? "" : "\r\n");
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    EXPECT_EQ(decoded, longLine + "\r\nend");
}

TEST(MailText, EscapeIsNeverSplitBySoftBreak) {
    const std::string qp = mail_text::QuotedPrintable(std::string(74, 'a') + "\xc3\xa9");
    EXPECT_EQ(qp, std::string(74, 'a') + "=\r\n=C3=A9");
}

TEST(MailText, CutsKeepCharactersAndLineEndsWhole) {
    EXPECT_EQ(mail_text::CutAtCharBoundary("ab\xc3\xa9", 3), "ab");
    EXPECT_EQ(mail_text::CutAtCharBoundary("ab\xc3\xa9", 4), "ab\xc3\xa9");
    EXPECT_EQ(mail_text::CutAtCharBoundary("ab\r\ncd", 3), "ab");
    EXPECT_EQ(mail_text::CutAtCharBoundary("abcdef", 3), "abc");
}

TEST(MailText, SevenBitMeansNoNulAndNoHighBytes) {
    EXPECT_TRUE(mail_text::IsSevenBit("Camera 1 %s ~"));
    EXPECT_FALSE(mail_text::IsSevenBit(std::string("a\0b", 3)));
    EXPECT_FALSE(mail_text::IsSevenBit("caf\xc3\xa9"));
    EXPECT_EQ(mail_text::EncodeHeaderValue("plain %d"), "plain %d");
    EXPECT_EQ(mail_text::EncodeHeaderValue("\xc3\xa9"), "=?UTF-8?B?w6k=?=");
}

TEST(MailText, ParametersAreQuotedOnlyWhenTheyAreNoToken) {
    EXPECT_EQ(mail_text::MimeParameter("name", "Frame_000001.jpg"), "name=Frame_000001.jpg");
    EXPECT_EQ(mail_text::MimeParameter("name", "06-DEC-05  14=03=27=41.wmv"),
              "name=\"06-DEC-05  14=03=27=41.wmv\"");
    EXPECT_EQ(mail_text::MimeParameter("filename", "a\"b\\c"), "filename=\"a\\\"b\\\\c\"");
    EXPECT_EQ(mail_text::MimeParameter("filename", "K\xc3\xbc 1%.jpg"),
              "filename*=UTF-8''K%C3%BC%201%25.jpg");
}

} // namespace
