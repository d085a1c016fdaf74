#pragma once
#include <string>
#include <string_view>

// `text` with every line break (CR LF, a lone LF or a lone CR) replaced by
// `joiner`: texts typed on Windows and on Linux read alike wherever one line
// or our own line end is wanted.
std::string JoinLines(std::string_view text, std::string_view joiner);
