#pragma once
#include <cstdint>
#include <string>

struct AVFormatContext;

// The end of a movie file, the same for every format.
namespace movie_file {

// Closes the file of `format`. The muxer holds a good part of a short movie in
// memory, so a full disk often shows only here; a file without a single frame
// is one that players reject and is removed. False when the close failed, with
// FFmpeg's error code in `avError`.
bool Close(AVFormatContext* format, const std::string& path, uint32_t framesInFile, int& avError);

// Says a failed completion once (a failure that already closed the writer has
// been reported in `errorText`) and logs "movie: end" when the start was logged.
// `avError` is the failed call's code, 0 when unknown.
void ReportEnd(bool failed, std::string& errorText, bool& announced, const std::string& path,
               uint32_t framesInFile, int avError);

// The line below a writer's message: the file and, when known, why it failed
// (`avError` an FFmpeg code or AVERROR(errno); 0 when unknown).
std::string FailureDetail(const std::string& path, int avError);

} // namespace movie_file
