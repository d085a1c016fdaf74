// Report mail costs on the delivery worker: encoding the movie attachment and
// composing the message content; and the composing step on the caller's thread.
#include "app/AppSettings.h"
#include "app/TagParser.h"
#include "mail/MailAttachment.h"
#include "mail/MailMessage.h"
#include "mail/ReportMailer.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

std::string RandomBytes(size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// A 60-second movie at the default rate is a few megabytes.
void BM_Base64Movie(benchmark::State& state) {
    const std::string movie = RandomBytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(CMailAttachment::Base64Encode(movie));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Base64Movie)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

void BM_ReportContentUtf8(benchmark::State& state) {
    CMailAttachment still;
    still.m_name = still.m_fileName = "Frame_000001.jpg";
    still.m_data = CMailAttachment::Base64Encode(RandomBytes(20000));
    std::string body = "Automatically sent by Oculon\r\nCamera name: K\xc3\xbc"
                       "che\r\n";
    body += std::string(900, 'x');
    for (auto _ : state) {
        CMailMessage message;
        message.SetFrom(CMailAddress("", "cam@example.org"));
        message.AddRecipient(CMailAddress("", "me@example.org"), RecipientType::To);
        message.SetSubject("OCULON> 07/Dec/26 14:05:09.25");
        message.SetBody(body);
        message.AddAttachment(&still);
        benchmark::DoNotOptimize(message.Content());
    }
}
BENCHMARK(BM_ReportContentUtf8)->Unit(benchmark::kMicrosecond);

void BM_ComposeJob(benchmark::State& state) {
    std::string pattern = (std::filesystem::temp_directory_path() / "oculon-bench-XXXXXX").string();
    const std::string home = std::string(::mkdtemp(pattern.data())) + "/";
    const CTagParser parser(false);
    {
        CAppSettings settings(parser, home, "");
        settings.EMAIL_CUS = std::string(2000, 'c');
        const CCaptureReport report{"07-Dec-26 14=05=09.25", "/a/m.wmv", "/a/s/", "/a/s/F.jpg"};
        for (auto _ : state)
            benchmark::DoNotOptimize(CReportMailer::ComposeJob(settings, report));
    }
    std::filesystem::remove_all(home);
}
BENCHMARK(BM_ComposeJob)->Unit(benchmark::kMicrosecond);

} // namespace
