#include "ManualClock.h"
#include "mail/MailAttachment.h"
#include "mail/MailMessage.h"
#include "mail/MailText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find("\r\n", start);
        lines.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return lines;
        start = end + 2;
    }
}

// What a receiving server and mail program make of the wire text.
std::string Receive(const std::string& wire, bool quotedPrintable) {
    std::string text;
    const auto lines = Lines(wire);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (!line.empty() && line[0] == '.')
            line.erase(0, 1);
        bool soft = false;
        if (quotedPrintable) {
            std::string decoded;
            for (size_t k = 0; k < line.size(); ++k) {
                if (line[k] != '=') {
                    decoded += line[k];
                } else if (k + 1 == line.size()) {
                    soft = true;
                } else {
                    decoded += static_cast<char>(std::stoi(line.substr(k + 1, 2), nullptr, 16));
                    k += 2;
                }
            }
            line = decoded;
        }
        text += line;
        if (!soft && i + 1 < lines.size())
            text += "\r\n";
    }
    return text;
}

// Random bodies of every kind of byte, line end and line length: what goes
// out is always valid DATA text and reads back as the typed text.
TEST(MailBodyProperty, AnyBodyGoesOutAsValidDataAndReadsBack) {
    std::mt19937 random(20261207);
    const CManualClock clock;
    CMailAttachment attachment;
    attachment.m_name = "x.jpg";
    const std::string pieces[] = {"\n",
                                  "\r\n",
                                  "\r",
                                  ".",
                                  "..",
                                  "=",
                                  " ",
                                  "\t",
                                  "a",
                                  "Zz",
                                  "\xc3\xa9",
                                  "\xe2\x98\x83",
                                  std::string(1, '\0'),
                                  "\xff"};
    for (int round = 0; round < 400; ++round) {
        std::string typed;
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i) {
            if (random() % 25 == 0)
                typed += std::string(random() % 1500, 'L'); // beyond the SMTP line limit
            else
                typed += pieces[random() % std::size(pieces)];
        }
        CMailMessage message(clock);
        message.SetBody(typed);
        if (round % 2)
            message.AddAttachment(&attachment);
        const std::string wire = message.WireBody();
        const bool qp = message.BodyNeedsEncoding();
        for (const auto& line : Lines(wire)) {
            ASSERT_EQ(line.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
            ASSERT_NE(line, ".");
            ASSERT_LE(line.size(), qp ? 77u : 998u); // 76 plus a possible stuffed period
            if (qp) {
                ASSERT_TRUE(mail_text::IsSevenBit(line));
            }
        }
        ASSERT_EQ(Receive(wire, qp), mail_text::NormalizeLineEnds(typed)) << "round " << round;
    }
}

} // namespace
