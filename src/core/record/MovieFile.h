#pragma once
#include <cstdint>
#include <string>

struct AVFormatContext;

// The end of a movie file, the same for every format.
namespace movie_file {

// Closes the file of `format`. The muxer holds a good part of a short movie in
// memory, so a full disk often shows only here; a file without a single frame
// is one that players reject and is removed. False when the close failed.
bool Close(AVFormatContext* format, const std::string& path, uint32_t framesInFile);

// Says a failed completion once (a failure that already closed the writer has
// been reported in `errorText`) and logs "movie: end" when the start was logged.
void ReportEnd(bool failed, std::string& errorText, bool& announced, const std::string& path,
               uint32_t framesInFile);

} // namespace movie_file
