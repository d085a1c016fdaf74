#include "record/WmvWriter.h"

#include "app/EventLog.h"
#include "app/MessageSink.h"
#include "frame/FrameImage.h"
#include "record/MovieFile.h"
#include "record/YuvFrame.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Variable bit rate through a fixed quantiser: each frame gets the bits it
// needs. Measured on a noisy 320 x 240 scene at 15 frames a second: quantiser
// 3 gives 42.8 dB PSNR at 1.1 Mbit/s, 4 gives 41.1 dB at 0.87 Mbit/s, 5 gives
// 39.9 dB at 0.71 Mbit/s. 4 is good quality for a modest file; a still scene
// costs about a third of that.
constexpr int kQuantiser = 4;
// A key frame every two seconds keeps seeking in a short clip responsive.
constexpr int kKeyFrameSeconds = 2;

// UTF-16 units a UTF-8 name needs, terminator included (stray bytes count one each).
size_t Utf16Units(const std::string& text) {
    size_t units = 1;
    for (unsigned char c : text) {
        if ((c & 0xC0) == 0x80)
            continue; // continuation byte
        units += (c >= 0xF0 && c < 0xF8) ? 2 : 1;
    }
    return units;
}

// Whether the file can be created: 0 when its folder exists and is writable
// and no folder of that name is in the way, else the system's error number.
int CreateFileError(const std::string& path) {
    if (path.empty())
        return ENOENT;
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return EISDIR;
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return errno;
    if (!S_ISDIR(info.st_mode))
        return ENOTDIR;
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

} // namespace

const CWmvWriter::FrameHandler CWmvWriter::kFrameHandlers[3] = {
    &CWmvWriter::RefuseFrame,        // closed
    &CWmvWriter::BeginAndWriteFrame, // opened: set up the input on the first frame
    &CWmvWriter::WriteFrame,         // writing
};

CWmvWriter::CWmvWriter(const std::string& path, int framesPerSecond)
    : m_path(path), m_framesPerSecond(std::clamp(framesPerSecond, 1, 1000)) {
    // Rates below 1 would divide by zero; above 1000 two frames would share a
    // millisecond stamp.
    if (!Open())
        return;
    m_state = kOpened;
    m_announced = true;
    LogEvent("movie: start " + m_path);
}

CWmvWriter::~CWmvWriter() {
    Close();
}

bool CWmvWriter::Open() {
    if (!avcodec_find_encoder(AV_CODEC_ID_WMV2))
        return Fail("Unable to Load System Profile");
    if (avformat_alloc_output_context2(&m_format, nullptr, "asf", nullptr) < 0 || !m_format)
        return Fail("Unable to Create Media Writer Object");
    m_stream = avformat_new_stream(m_format, nullptr);
    if (!m_stream)
        return Fail("Unable to Set System Profile");
    m_stream->time_base = AVRational{1, 1000};
    if (Utf16Units(m_path) > kMaxNameUnits)
        return Fail("Unable to Convert Output Filename");
    if (const int error = CreateFileError(m_path)) {
        m_avError = AVERROR(error);
        return Fail("Unable to Set Output Filename");
    }
    return true;
}

bool CWmvWriter::AddFrame(const CFrameImage& frame) {
    return (this->*kFrameHandlers[m_state])(frame);
}

bool CWmvWriter::RefuseFrame(const CFrameImage&) {
    return false;
}

bool CWmvWriter::AddFrame(const CFrameImage& frame, int64_t) {
    return AddFrame(frame);
}

bool CWmvWriter::AddConverted(const CYuvFrame& frame, int64_t) {
    if (m_state == kClosed)
        return false;
    if (m_state == kOpened) {
        const bool wellFormed =
            frame.width > 0 && frame.height > 0 && frame.Fits(frame.width, frame.height);
        if (!SetUpInput(frame.width, frame.height, wellFormed))
            return false;
        m_state = kWriting;
    }
    if (!PrepareFrame())
        return false;
    const bool ok = frame.Fits(m_width, m_height);
    if (ok)
        frame.CopyInto(m_frame->data, m_frame->linesize);
    return EncodeFrame(ok);
}

bool CWmvWriter::BeginAndWriteFrame(const CFrameImage& frame) {
    const bool wellFormed =
        frame.width > 0 && frame.height > 0 &&
        frame.bgrx.size() == static_cast<size_t>(frame.width) * frame.height * 4;
    if (!SetUpInput(frame.width, frame.height, wellFormed))
        return false;
    m_state = kWriting;
    return WriteFrame(frame);
}

bool CWmvWriter::SetUpInput(int width, int height, bool wellFormed) {
    // The movie takes the size of its first picture.
    if (!wellFormed)
        return Fail("Unable to Set Media Type");
    m_width = width;
    m_height = height;

    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMV2);
    m_encoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!m_encoder)
        return Fail("Unable to Set Media Type");
    m_encoder->width = m_width;
    m_encoder->height = m_height;
    m_encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    m_encoder->time_base = AVRational{1, 1000};
    m_encoder->framerate = AVRational{m_framesPerSecond, 1};
    m_encoder->gop_size = m_framesPerSecond * kKeyFrameSeconds;
    m_encoder->max_b_frames = 0;
    m_encoder->thread_count = 1; // the movie is written on the UI thread; no helper threads
    m_encoder->flags |= AV_CODEC_FLAG_QSCALE;
    m_encoder->global_quality = FF_QP2LAMBDA * kQuantiser;
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER)
        m_encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(m_encoder, codec, nullptr) < 0)
        return Fail("Unable to Set Media Type");
    if (avcodec_parameters_from_context(m_stream->codecpar, m_encoder) < 0)
        return Fail("Unable to Set Input Properties for Media Writer");

    // The file is created only now, so an unused movie leaves no empty file.
    if (!AvOk(avio_open(&m_format->pb, ("file:" + m_path).c_str(), AVIO_FLAG_WRITE)))
        return Fail("Unable to Initialize Writing");
    m_fileCreated = true;
    if (!AvOk(avformat_write_header(m_format, nullptr)))
        return Fail("Unable to Initialize Writing");
    return true;
}

bool CWmvWriter::PrepareFrame() {
    if (!m_frame) {
        m_frame = av_frame_alloc();
        m_packet = av_packet_alloc();
        if (!m_frame || !m_packet)
            return Fail("Unable to Allocate Memory");
        m_frame->format = AV_PIX_FMT_YUV420P;
        m_frame->width = m_width;
        m_frame->height = m_height;
        if (av_frame_get_buffer(m_frame, 0) < 0)
            return Fail("Unable to Allocate Memory");
    }
    if (av_frame_make_writable(m_frame) < 0)
        return Fail("Unable to Lock Buffer");
    return true;
}

bool CWmvWriter::WriteFrame(const CFrameImage& frame) {
    if (!PrepareFrame())
        return false;
    // A picture of another size than the first, or a short buffer, is refused
    // rather than read past its end.
    const bool ok = frame.width == m_width && frame.height == m_height &&
                    m_converter.Convert(frame, m_frame->data, m_frame->linesize);
    return EncodeFrame(ok);
}

bool CWmvWriter::EncodeFrame(bool filled) {
    bool ok = filled;
    if (ok) {
        m_frame->pts = static_cast<int64_t>(m_nextSampleTime);
        m_frame->quality = m_encoder->global_quality;
        ok = AvOk(avcodec_send_frame(m_encoder, m_frame)) && DrainPackets();
    }
    ++m_framesWritten;
    m_nextSampleTime =
        static_cast<uint64_t>(m_framesWritten) * 1000u / static_cast<uint32_t>(m_framesPerSecond);
    if (!ok)
        return Fail("Unable to Write Frame");
    return true;
}

bool CWmvWriter::DrainPackets() {
    for (;;) {
        const int got = avcodec_receive_packet(m_encoder, m_packet);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return true;
        if (!AvOk(got))
            return false;
        m_packet->stream_index = m_stream->index;
        // Each frame lasts until the next one's stamp, so the movie's length
        // counts its last frame too.
        const int64_t nextStamp =
            static_cast<int64_t>(m_framesInFile + 1) * 1000 / m_framesPerSecond;
        if (m_packet->pts != AV_NOPTS_VALUE && nextStamp > m_packet->pts)
            m_packet->duration = nextStamp - m_packet->pts;
        av_packet_rescale_ts(m_packet, m_encoder->time_base, m_stream->time_base);
        if (!AvOk(av_interleaved_write_frame(m_format, m_packet)))
            return false;
        ++m_framesInFile;
    }
}

bool CWmvWriter::AvOk(int result) {
    if (result < 0)
        m_avError = result;
    return result >= 0;
}

bool CWmvWriter::Fail(const char* text) {
    m_errorText = text;
    // Said before the close, so that the movie's end is logged after its
    // failure, as for a completion that fails.
    ErrorMessageBox(m_errorText, movie_file::FailureDetail(m_path, m_avError));
    Close();
    return false;
}

void CWmvWriter::Close() {
    bool failed = false;
    if (m_state == kWriting) {
        // Flush what the encoder still holds, then write the index and header
        // sizes: only now is the file complete.
        if (avcodec_send_frame(m_encoder, nullptr) >= 0)
            failed = !DrainPackets();
        failed = !AvOk(av_write_trailer(m_format)) || failed;
    }
    if (m_fileCreated)
        failed = !movie_file::Close(m_format, m_path, m_framesInFile, m_avError) || failed;
    m_fileCreated = false;
    m_state = kClosed;
    ReleaseAll();
    movie_file::ReportEnd(failed, m_errorText, m_announced, m_path, m_framesInFile, m_avError);
}

void CWmvWriter::ReleaseAll() {
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_encoder);
    if (m_format) {
        avformat_free_context(m_format);
        m_format = nullptr;
    }
    m_stream = nullptr;
}
