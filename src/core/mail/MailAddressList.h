#pragma once
#include "mail/MailAddress.h"

#include <string>
#include <string_view>
#include <vector>

namespace mail_address {

// What is wrong with one mailbox address, in plain words; empty when it is usable.
std::string Problem(std::string_view address);

// The addresses of a list as users type it: "a@x.org, b@y.org; Name <c@z.org>".
// Commas and semicolons separate entries (not inside quotes or angle
// brackets). Entries that are not usable addresses go to problems, one
// sentence each, and not to the result.
std::vector<CMailAddress> ParseList(std::string_view text, std::vector<std::string>* problems);

} // namespace mail_address
