#include "record/MovieFile.h"

#include "app/EventLog.h"
#include "app/MessageSink.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdio>

namespace movie_file {

bool Close(AVFormatContext* format, const std::string& path, uint32_t framesInFile, int& avError) {
    const int closed = avio_closep(&format->pb);
    if (closed < 0)
        avError = closed;
    if (framesInFile == 0)
        std::remove(path.c_str());
    return closed >= 0;
}

void ReportEnd(bool failed, std::string& errorText, bool& announced, const std::string& path,
               uint32_t framesInFile, int avError) {
    if (failed && errorText.empty()) {
        errorText = "Unable to Write Frame";
        ErrorMessageBox(errorText, FailureDetail(path, avError));
    }
    if (announced) {
        announced = false;
        LogEvent("movie: end " + path + " " + std::to_string(framesInFile));
    }
}

std::string FailureDetail(const std::string& path, int avError) {
    if (avError >= 0)
        return path;
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(avError, reason, sizeof reason);
    return path + ": " + reason;
}

} // namespace movie_file
