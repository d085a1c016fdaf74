#include "mail/ReportDelivery.h"

#include "mail/MailAddressList.h"
#include "mail/MailAttachment.h"
#include "mail/MailMessage.h"
#include "mail/MailPassword.h"
#include "mail/SMTPConnection.h"

#include <unistd.h>

namespace report_delivery {

namespace {

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

size_t ContentSize(const CMailMessage& message) {
    size_t size = 0;
    message.ForEachPiece([&size](std::string_view piece) {
        size += piece.size();
        return true;
    });
    return size;
}

} // namespace

CDeliveryOutcome Deliver(const ReportMailJob& job, const IClock& clock) {
    CDeliveryOutcome outcome;
    std::vector<std::string> problems;
    const std::vector<CMailAddress> recipients = mail_address::ParseList(job.to, &problems);
    if (recipients.empty()) {
        outcome.reason = problems.empty() ? "no recipient address is set" : problems.front();
        return outcome;
    }

    CSmtpOptions options;
    options.security = static_cast<CMailSecurity>(job.security);
    options.user = job.user;
    if (!job.user.empty())
        options.password = mail_password::Load(job.homeFolder, job.smtpHost, job.user);
    options.allowLoginWithoutTlsOnLoopback = job.loginWithoutTlsOnLoopback;
    options.caFile = job.caFile;
    CSMTPConnection connection(clock);
    connection.SetOptions(options);
    if (!connection.Connect(job.smtpHost, job.smtpPort)) {
        outcome.result = connection.WorthRetrying() ? CDeliveryOutcome::Result::Retry
                                                    : CDeliveryOutcome::Result::Failed;
        outcome.reason = connection.LastFailure();
        return outcome;
    }

    CMailMessage message(clock);
    for (const CMailAddress& address : recipients)
        message.AddRecipient(address, RecipientType::To);
    message.SetFrom(CMailAddress("", job.from));
    message.SetSubject(job.subject);
    message.SetBody(job.body);

    CMailAttachment movie;
    movie.Load(job.moviePath);
    CMailAttachment still;
    if (job.emailJpg)
        still.Load(job.stillPath);
    message.AddAttachment(&movie);
    message.AddAttachment(&still);
    if (!movie.m_name.empty()) {
        const uint64_t size = ContentSize(message);
        const uint64_t serverLimit = connection.ServerSizeLimit();
        if ((serverLimit > 0 && size > serverLimit) ||
            (job.sizeLimitBytes > 0 && size > job.sizeLimitBytes)) {
            CMailMessage smaller(clock);
            for (const CMailAddress& address : recipients)
                smaller.AddRecipient(address, RecipientType::To);
            smaller.SetFrom(CMailAddress("", job.from));
            smaller.SetSubject(job.subject);
            smaller.SetBody(job.body + "\r\n\r\nThe movie " + FileName(job.moviePath) +
                            " is too large for this mail; it is kept in the archive.");
            smaller.AddAttachment(&still);
            smaller.SetMessageId(message.MessageId());
            outcome.movieKept = true;
            movie = CMailAttachment();
            if (connection.SendMail(smaller))
                outcome.result = CDeliveryOutcome::Result::Sent;
        } else if (connection.SendMail(message)) {
            outcome.result = CDeliveryOutcome::Result::Sent;
        }
    } else if (connection.SendMail(message)) {
        outcome.result = CDeliveryOutcome::Result::Sent;
    }
    for (const std::string& refused : connection.RefusedRecipients())
        outcome.refused += (outcome.refused.empty() ? "" : ", ") + refused;
    if (outcome.result != CDeliveryOutcome::Result::Sent) {
        outcome.result = connection.WorthRetrying() ? CDeliveryOutcome::Result::Retry
                                                    : CDeliveryOutcome::Result::Failed;
        outcome.reason = connection.LastFailure();
    }
    return outcome;
}

void DeleteUnarchivedFiles(const ReportMailJob& job, bool movieKept) {
    if (!job.captureWmv && !movieKept && !job.moviePath.empty())
        ::unlink(job.moviePath.c_str());
    if (job.emailJpg && !job.captureJpg) {
        if (!job.stillPath.empty())
            ::unlink(job.stillPath.c_str());
        if (!job.stillDir.empty())
            ::rmdir(job.stillDir.c_str()); // only succeeds when nothing else is in it
    }
}

std::string EventLine(const ReportMailJob& job, const CDeliveryOutcome& outcome) {
    switch (outcome.result) {
    case CDeliveryOutcome::Result::Sent:
        return "mail: sent " + job.subject +
               (outcome.refused.empty() ? "" : "; refused: " + outcome.refused);
    case CDeliveryOutcome::Result::Retry:
        return "mail: queued " + job.subject + ": " + outcome.reason;
    case CDeliveryOutcome::Result::Failed:
        break;
    }
    return "mail: failed " + job.subject + ": " + outcome.reason;
}

} // namespace report_delivery
