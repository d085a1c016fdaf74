#pragma once
#include <string>
#include <string_view>

// Text helpers for what goes out after DATA and into headers.
namespace mail_text {

// Every line end (CR LF, a lone LF or a lone CR) becomes CR LF: text typed on
// Linux has bare line feeds, which SMTP servers refuse inside DATA.
std::string NormalizeLineEnds(std::string_view text);

// A period at the start of the text or right after a line feed is doubled, so
// no body line can end the DATA phase.
std::string DotStuff(std::string_view text);

// True when every byte is 7-bit text (1..127).
bool IsSevenBit(std::string_view text);

// Length of the longest line (CR LF separated) in bytes.
size_t LongestLine(std::string_view text);

// Quoted-printable (RFC 2045) of CR LF text: lines of at most 76 characters,
// CR LF kept as hard line breaks.
std::string QuotedPrintable(std::string_view text);

// Plain base64 without line breaks, and back (decoding stops at the first
// character that is not of the alphabet, padding included).
std::string Base64(std::string_view data);
std::string FromBase64(std::string_view text);

// The header value as it must be written: 7-bit text unchanged, anything else
// as RFC 2047 "B" encoded words in UTF-8 (never splitting a character), folded
// onto continuation lines.
std::string EncodeHeaderValue(std::string_view value);

// The longest prefix of at most maxBytes that does not split a UTF-8 character
// or a CR LF pair.
std::string_view CutAtCharBoundary(std::string_view text, size_t maxBytes);

// One MIME header parameter, "key=value". A value that is not a MIME token
// (movie names carry blanks and "=") is quoted, and a non-ASCII one is written
// in the RFC 2231 form key*=UTF-8''..., so that mail programs see the whole name.
std::string MimeParameter(std::string_view key, std::string_view value);

// CR and LF removed: a line end inside a command or header would start a new one.
std::string WithoutLineEnds(std::string_view text);

} // namespace mail_text
