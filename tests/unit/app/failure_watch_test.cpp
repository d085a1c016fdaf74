// Failing stretches read from event lines and the movie writers' boxes: when a
// stretch begins, what it says, and what ends it.
#include "app/FailureWatch.h"

#include "RecordingSinks.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kSubject = "OCULON> 07/Dec/26 14:05:09.25";
// Inputs starting with "box: " are the movie writer's "Error" boxes (text, then detail).
const std::string kBox = "box: ";

struct CWatchCase {
    const char* name;
    std::vector<std::string> inputs;
    CFailureWatch::Kind kind;
    bool failing;
    std::string reason;
    size_t stretches;
};

void Feed(CFailureWatch& watch, const std::string& input) {
    if (input.rfind(kBox, 0) != 0) {
        watch.Event(input);
        return;
    }
    const std::string box = input.substr(kBox.size());
    const size_t cut = box.find('\n');
    watch.ShowMessageWithDetail("Error", box.substr(0, cut), MessageIcon::Error,
                                box.substr(cut + 1));
}

} // namespace

TEST(FailureWatch, StretchesBeginAtTheFirstFailureAndEndAtTheNextSuccess) {
    const std::string refused = "cannot connect to mail.example.org: Connection refused";
    const std::string full = "Unable to Write Frame\n/a/m.wmv: No space left on device";
    const CWatchCase cases[] = {
        {"queued",
         {"mail: queued " + kSubject + ": " + refused},
         CFailureWatch::kMail,
         true,
         "waiting in the outbox: " + refused,
         1},
        {"queued twice then failed: one stretch",
         {"mail: queued " + kSubject + ": a", "mail: queued " + kSubject + ": b",
          "mail: failed " + kSubject + ": c"},
         CFailureWatch::kMail,
         true,
         "not sent: c",
         1},
        {"a new stretch begun before anyone looked is told once",
         {"mail: queued " + kSubject + ": a", "mail: sent " + kSubject,
          "mail: failed " + kSubject + ": c"},
         CFailureWatch::kMail,
         true,
         "not sent: c",
         1},
        {"sent with a refused recipient still ends it",
         {"mail: failed " + kSubject + ": a", "mail: sent " + kSubject + "; refused: x@y.org"},
         CFailureWatch::kMail,
         false,
         "",
         1},
        {"camera back",
         {"camera: lost Hall", "camera: back Hall"},
         CFailureWatch::kCamera,
         false,
         "",
         1},
        {"camera lost",
         {"camera: lost Hall"},
         CFailureWatch::kCamera,
         true,
         "camera lost: Hall",
         1},
        {"a failed movie's own end is no success",
         {"movie: start /a/m.wmv", kBox + full, "movie: end /a/m.wmv 3"},
         CFailureWatch::kRecording,
         true,
         full,
         1},
        {"the next movie completed ends it",
         {kBox + full, "movie: start /a/n.wmv", "movie: end /a/n.wmv 5"},
         CFailureWatch::kRecording,
         false,
         "",
         1},
        {"a movie without frames ends nothing",
         {kBox + full, "movie: start /a/n.wmv", "movie: end /a/n.wmv 0"},
         CFailureWatch::kRecording,
         true,
         full,
         1},
        {"mail lines leave recording alone",
         {"mail: failed " + kSubject + ": a"},
         CFailureWatch::kRecording,
         false,
         "",
         0},
    };
    for (const CWatchCase& c : cases) {
        CFailureWatch watch(nullptr, nullptr);
        for (const std::string& input : c.inputs)
            Feed(watch, input);
        const CFailureWatch::CState state = watch.State(c.kind);
        EXPECT_EQ(state.failing, c.failing) << c.name;
        EXPECT_EQ(state.reason, c.reason) << c.name;
        size_t stretches = 0;
        for (const auto& notice : watch.TakeNewStretches())
            stretches += notice.kind == c.kind;
        EXPECT_EQ(stretches, c.stretches) << c.name;
        EXPECT_TRUE(watch.TakeNewStretches().empty()) << c.name << ": each stretch is told once";
    }
}

TEST(FailureWatch, PassesEverythingOnAndIgnoresApplicationBoxes) {
    CRecordingEventLog log;
    CRecordingMessageSink sink;
    CFailureWatch watch(&log, &sink);
    watch.Event("camera: lost Hall");
    watch.ShowMessage("oculon", "Unable to open audio out device", MessageIcon::Warning);
    watch.ShowMessageWithDetail("Error", "Unable to Set Output Filename", MessageIcon::Error,
                                "/a/m.wmv: Permission denied");
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"camera: lost Hall"});
    ASSERT_EQ(sink.m_messages.size(), 2u);
    EXPECT_EQ(sink.m_messages[1].text, "Unable to Set Output Filename");
    EXPECT_EQ(sink.m_messages[1].detail, "/a/m.wmv: Permission denied");
    EXPECT_EQ(watch.State(CFailureWatch::kRecording).reason,
              "Unable to Set Output Filename\n/a/m.wmv: Permission denied");
    EXPECT_EQ(watch.TakeNewStretches().size(), 2u); // the camera and the movie, not the sound
}

TEST(FailureWatch, LinesFromManyThreadsMakeOneStretch) {
    CFailureWatch watch(nullptr, nullptr);
    std::vector<std::thread> threads;
    std::vector<CFailureWatch::CNotice> taken;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&watch] {
            for (int i = 0; i < 200; ++i)
                watch.Event("mail: queued " + kSubject + ": try " + std::to_string(i));
        });
    for (int i = 0; i < 200; ++i) {
        for (auto& notice : watch.TakeNewStretches())
            taken.push_back(notice);
        (void)watch.State(CFailureWatch::kMail);
    }
    for (auto& thread : threads)
        thread.join();
    for (auto& notice : watch.TakeNewStretches())
        taken.push_back(notice);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].kind, CFailureWatch::kMail);
    EXPECT_TRUE(watch.State(CFailureWatch::kMail).failing);
}
