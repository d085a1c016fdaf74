// Failing stretches read from event lines and the movie writers' boxes: when a
// stretch begins, what it says, and what ends it.
#include "app/FailureWatch.h"

#include "RecordingSinks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kSubject = "OCULON> 07/Dec/26 14:05:09.25";

// Inputs are separated by "|"; those starting with "box: " are the movie
// writer's "Error" boxes, their detail after the first line break.
void Feed(CFailureWatch& watch, const std::string& inputs) {
    size_t from = 0;
    while (from <= inputs.size()) {
        const size_t to = std::min(inputs.find('|', from), inputs.size());
        const std::string input = inputs.substr(from, to - from);
        from = to + 1;
        if (input.rfind("box: ", 0) != 0) {
            watch.Event(input);
            continue;
        }
        const size_t cut = input.find('\n');
        watch.ShowMessageWithDetail("Error", input.substr(5, cut - 5), MessageIcon::Error,
                                    input.substr(cut + 1));
    }
}

} // namespace

TEST(FailureWatch, StretchesBeginAtTheFirstFailureAndEndAtTheNextSuccess) {
    using W = CFailureWatch;
    struct {
        W::Kind kind;
        const char* inputs;
        const char* reason; // empty: not failing
        size_t stretches;
    } const cases[] = {
        {W::kMail, "mail: queued S: cannot connect to m.org: refused",
         "waiting in the outbox: cannot connect to m.org: refused", 1},
        {W::kMail, "mail: queued S: a|mail: queued S: b|mail: failed S: c", "not sent: c", 1},
        // A new stretch begun before anyone looked is told once.
        {W::kMail, "mail: queued S: a|mail: sent S|mail: failed S: c", "not sent: c", 1},
        {W::kMail, "mail: failed S: a|mail: sent S; refused: x@y.org", "", 1},
        {W::kCamera, "camera: lost Hall|camera: back Hall", "", 1},
        {W::kCamera, "camera: lost Hall", "camera lost: Hall", 1},
        // A failed movie's own end is no success; the next movie with frames is.
        {W::kRecording, "movie: start /a/m.wmv|box: F\n/a/m.wmv: full|movie: end /a/m.wmv 3",
         "F\n/a/m.wmv: full", 1},
        {W::kRecording, "box: F\nd|movie: start /a/n.wmv|movie: end /a/n.wmv 5", "", 1},
        {W::kRecording, "box: F\nd|movie: start /a/n.wmv|movie: end /a/n.wmv 0", "F\nd", 1},
        {W::kRecording, "mail: failed S: a|camera: lost Hall", "", 0},
    };
    for (const auto& c : cases) {
        CFailureWatch watch(nullptr, nullptr);
        Feed(watch, c.inputs);
        const W::CState state = watch.State(c.kind);
        EXPECT_EQ(state.failing, *c.reason != 0) << c.inputs;
        EXPECT_EQ(state.reason, c.reason) << c.inputs;
        size_t stretches = 0;
        for (const auto& notice : watch.TakeNewStretches())
            stretches += notice.kind == c.kind;
        EXPECT_EQ(stretches, c.stretches) << c.inputs;
        EXPECT_TRUE(watch.TakeNewStretches().empty()) << c.inputs << ": told once";
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
