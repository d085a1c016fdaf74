#pragma once
#include <atomic>
#include <string>
#include <vector>

class CAppSettings;

// One capture that the surveillance loop would have made from a clip.
struct CReplayCapture {
    double start = 0;   // seconds into the clip: the movie's first frame
    double end = 0;     // ... and the step that closed it
    int passes = 0;     // passes whose detector verdict was motion
    int peakBlocks = 0; // most changed blocks in one of them
};

struct CReplayResult {
    bool opened = false;
    std::vector<CReplayCapture> captures;
    int passes = 0;         // detector passes (steps), priming ones included
    int motionPasses = 0;   // passes whose detector verdict was motion
    int lightingPasses = 0; // passes taken for a lighting change
    double clipSeconds = 0; // time of the clip's last picture
    bool cancelled = false; // stopped before the clip's end; the counts are partial
};

// Runs a video file (anything FFmpeg reads) through the surveillance
// controller with `settings`, on a clock that follows the clip's own time
// and jumps ahead instead of waiting: the same steps, detector and capture
// rules as a camera filming the clip, but no file, mail or sound. Detection
// is armed from the first picture. It logs no event, so it may run on a
// worker thread beside the running program; setting `*cancel` ends it at the
// next step.
CReplayResult ReplayClip(const std::string& path, CAppSettings& settings,
                         const std::atomic<bool>* cancel = nullptr);

// "replay: capture 1.15–6.00 passes 53 peak-blocks 47"
std::string ReplayCaptureLine(const CReplayCapture& capture);
// "replay: 1 captures, 109 passes, 53 with motion, 0 lighting changes, 5.95 s
// of clip in 0.15 s"
std::string ReplaySummaryLine(const CReplayResult& result, double tookSeconds);

// The headless runner's --replay: loads the settings of `homeFolder` without
// writing anything, replays `clip` and logs a "replay:" line per capture and
// a summary line. Returns the exit status (1 when the clip cannot be read).
int RunReplay(const std::string& clip, const std::string& homeFolder);
