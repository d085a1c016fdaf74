#pragma once
#include <cstdint>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

// Reads a video file once from start to end, picture by picture, with each
// picture's time in seconds from the first one. Unlike a file played as a
// camera it neither loops nor paces: a replay takes the pictures as fast as
// they decode.
class CClipReader {
public:
    CClipReader() = default;
    ~CClipReader();
    CClipReader(const CClipReader&) = delete;
    CClipReader& operator=(const CClipReader&) = delete;

    // False when the file cannot be opened or has no video stream.
    bool Open(const std::string& path);
    // Decodes the next picture; false at the end of the clip or on an error
    // that ends it.
    bool Next();
    // The picture Next decoded and its time.
    const AVFrame& Picture() const { return *m_frame; }
    double Seconds() const { return m_seconds; }

private:
    void Close();
    bool Receive();

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_decoder = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_stream = -1;
    bool m_draining = false;
    bool m_haveOrigin = false;
    double m_origin = 0;
    double m_seconds = 0;
    double m_frameGap = 0.04; // used for pictures without a time stamp
};
