#include "record/MovieFile.h"

#include "app/EventLog.h"
#include "app/MessageSink.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdio>

namespace movie_file {

bool Close(AVFormatContext* format, const std::string& path, uint32_t framesInFile) {
    const bool closed = avio_closep(&format->pb) >= 0;
    if (framesInFile == 0)
        std::remove(path.c_str());
    return closed;
}

void ReportEnd(bool failed, std::string& errorText, bool& announced, const std::string& path,
               uint32_t framesInFile) {
    if (failed && errorText.empty()) {
        errorText = "Unable to Write Frame";
        ErrorMessageBox(errorText);
    }
    if (announced) {
        announced = false;
        LogEvent("movie: end " + path + " " + std::to_string(framesInFile));
    }
}

} // namespace movie_file
