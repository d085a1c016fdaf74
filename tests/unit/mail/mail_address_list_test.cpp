#include "mail/MailAddressList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(MailAddressList, TypedListsGiveOneAddressPerEntry) {
    const struct {
        const char* typed;
        std::vector<std::string> formatted; // what the To header shows of each
        size_t problems;
    } cases[] = {
        {"me@example.org", {"me@example.org"}, 0},
        {"a@x.org, b@y.org; Name <c@z.org>", {"a@x.org", "b@y.org", "Name <c@z.org>"}, 0},
        {"\"Doe, Jane\" <jane@x.org>;; ", {"Doe, Jane <jane@x.org>"}, 0},
        {" , ", {}, 0},
        {"no-at, ok@x.org", {"ok@x.org"}, 1},
        {"a@x.org\r\nRCPT TO:<evil@y.org>", {}, 1},
        {"@x.org, a@, a@@x.org, a@x..org, a b@x.org", {}, 5},
        {"enter email address here", {}, 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> problems;
        std::vector<std::string> formatted;
        for (const CMailAddress& a : mail_address::ParseList(c.typed, &problems))
            formatted.push_back(a.Format());
        EXPECT_EQ(formatted, c.formatted) << c.typed;
        EXPECT_EQ(problems.size(), c.problems) << c.typed;
    }
}

TEST(MailAddressList, ProblemsSayWhatIsWrong) {
    EXPECT_EQ(mail_address::Problem("me@example.org"), "");
    EXPECT_EQ(mail_address::Problem("me.example.org"), "\"me.example.org\" has no @");
    EXPECT_EQ(mail_address::Problem("me@"), "\"me@\" has no domain after the @");
    EXPECT_NE(mail_address::Problem("me@x.org\n").find("line end"), std::string::npos);
}

} // namespace
