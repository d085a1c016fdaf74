#include "mail/MailError.h"

#include <cstring>

namespace {
thread_local int t_lastError = 0;
}

int GetMailLastError() {
    return t_lastError;
}

void SetMailLastError(int code) {
    t_lastError = code;
}

std::string MailErrorText(int code) {
    switch (code) {
    case mail_error::kInvalidArgument:
        return "host not found";
    case mail_error::kTimedOut:
        return "no reply from server";
    case mail_error::kUnexpectedReply:
        return "unexpected reply";
    case mail_error::kCommandRefused:
        return "command refused";
    case mail_error::kConnectionClosed:
        return "connection closed";
    case 0:
        return "unknown error";
    default: {
        char buffer[128];
        // The GNU variant returns the text, which may or may not live in the buffer.
        return ::strerror_r(code, buffer, sizeof buffer);
    }
    }
}
