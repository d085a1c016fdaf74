#include "record/Mp4Writer.h"

#include "app/EventLog.h"
#include "app/MessageSink.h"
#include "frame/FrameImage.h"
#include "record/MovieFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Main profile without B-frames at level 3.0: every phone and browser decodes
// it, and frames leave the encoder in the order they came.
constexpr const char* kProfile = "main";
constexpr int kLevel = 30;

} // namespace

CMp4Writer::CMp4Writer(const std::string& path, int framesPerSecond)
    : m_path(path), m_framesPerSecond(std::clamp(framesPerSecond, 1, 1000)) {
    if (!avcodec_find_encoder_by_name("libx264")) {
        Fail("Unable to Load System Profile");
        return;
    }
    if (path.empty()) {
        Fail("Unable to Set Output Filename");
        return;
    }
    m_open = true;
    m_announced = true;
    LogEvent("movie: start " + m_path);
}

CMp4Writer::~CMp4Writer() {
    Close();
}

bool CMp4Writer::Begin(int width, int height) {
    if (width <= 0 || height <= 0 || width % 2 || height % 2)
        return Fail("Unable to Set Media Type");
    m_width = width;
    m_height = height;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    m_encoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!m_encoder)
        return Fail("Unable to Set Media Type");
    m_encoder->width = width;
    m_encoder->height = height;
    m_encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    m_encoder->time_base = AVRational{1, 1000};
    m_encoder->framerate = AVRational{m_framesPerSecond, 1};
    m_encoder->gop_size = m_framesPerSecond * kKeyFrameSeconds;
    m_encoder->max_b_frames = 0;
    m_encoder->thread_count = 1; // written on the user-interface thread: no helper threads
    m_encoder->level = kLevel;
    m_encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER; // the mp4 muxer wants avcC in the header
    av_opt_set(m_encoder->priv_data, "preset", kPreset, 0);
    av_opt_set(m_encoder->priv_data, "profile", kProfile, 0);
    av_opt_set_double(m_encoder->priv_data, "crf", kRateFactor, 0);
    av_opt_set(m_encoder->priv_data, "x264-params", kParams, 0);
    if (avcodec_open2(m_encoder, codec, nullptr) < 0)
        return Fail("Unable to Set Media Type");

    if (avformat_alloc_output_context2(&m_format, nullptr, "mp4", nullptr) < 0 || !m_format)
        return Fail("Unable to Create Media Writer Object");
    m_stream = avformat_new_stream(m_format, nullptr);
    if (!m_stream || avcodec_parameters_from_context(m_stream->codecpar, m_encoder) < 0)
        return Fail("Unable to Set Input Properties for Media Writer");
    m_stream->time_base = AVRational{1, 1000};
    // Each finished fragment goes to the file at once, not when a buffer fills.
    m_format->flush_packets = 1;
    if (!AvOk(avio_open(&m_format->pb, ("file:" + m_path).c_str(), AVIO_FLAG_WRITE)))
        return Fail("Unable to Set Output Filename");
    m_started = true;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
    // A fragment is also closed after a second without a key frame, so a crash
    // loses little more than that.
    av_dict_set_int(&options, "frag_duration", kFragmentMicroseconds, 0);
    // Stamps stay whole milliseconds in the file.
    av_dict_set_int(&options, "video_track_timescale", 1000, 0);
    const int header = avformat_write_header(m_format, &options);
    av_dict_free(&options);
    if (!AvOk(header))
        return Fail("Unable to Initialize Writing");
    m_writing = true;

    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    m_pending = av_packet_alloc();
    if (!m_frame || !m_packet || !m_pending)
        return Fail("Unable to Allocate Memory");
    m_frame->format = AV_PIX_FMT_YUV420P;
    m_frame->width = width;
    m_frame->height = height;
    if (av_frame_get_buffer(m_frame, 0) < 0)
        return Fail("Unable to Allocate Memory");
    return true;
}

bool CMp4Writer::PrepareFrame() {
    if (av_frame_make_writable(m_frame) < 0)
        return Fail("Unable to Lock Buffer");
    return true;
}

bool CMp4Writer::Ready(int width, int height) {
    if (!m_open)
        return false;
    if (!m_started && !Begin(width, height))
        return false;
    return PrepareFrame();
}

bool CMp4Writer::AddFrame(const CFrameImage& frame, int64_t captureMs) {
    if (!Ready(frame.width, frame.height))
        return false;
    // A picture of another size than the first is refused rather than read past its end.
    if (frame.width != m_width || frame.height != m_height ||
        !m_converter.Convert(frame, m_frame->data, m_frame->linesize))
        return Fail("Unable to Write Frame");
    return Encode(captureMs);
}

bool CMp4Writer::AddConverted(const CYuvFrame& frame, int64_t captureMs) {
    if (!Ready(frame.width, frame.height))
        return false;
    if (!frame.Fits(m_width, m_height))
        return Fail("Unable to Write Frame");
    frame.CopyInto(m_frame->data, m_frame->linesize);
    return Encode(captureMs);
}

bool CMp4Writer::Encode(int64_t captureMs) {
    if (m_lastPts < 0)
        m_firstMs = captureMs;
    // Stamps must rise: two frames in one millisecond (or a clock that went
    // back) are pushed one millisecond apart.
    int64_t pts = captureMs - m_firstMs;
    if (pts <= m_lastPts)
        pts = m_lastPts + 1;
    if (m_lastPts >= 0)
        m_lastInterval = pts - m_lastPts;
    m_lastPts = pts;
    m_frame->pts = pts;
    // The encoder counts frames at the nominal rate; a slower camera would
    // stretch that, so a key frame is also forced before two seconds pass,
    // with room for the next interval to come out twice the last one.
    const int64_t margin = std::max<int64_t>(2 * m_lastInterval, 100);
    const bool key = pts == 0 || pts - m_lastKeyPts + margin > kKeyFrameSeconds * 1000;
    m_frame->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (key)
        m_lastKeyPts = pts;
    if (!AvOk(avcodec_send_frame(m_encoder, m_frame)) || !Drain())
        return Fail("Unable to Write Frame");
    return true;
}

bool CMp4Writer::Drain() {
    for (;;) {
        const int got = avcodec_receive_packet(m_encoder, m_packet);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return true;
        if (!AvOk(got))
            return false;
        // Without B-frames packets come in frame order, so the next packet's
        // stamp is where the one before it ends.
        if (!WritePending(m_packet->pts))
            return false;
        if (m_packet->flags & AV_PKT_FLAG_KEY)
            m_lastKeyPts = std::max(m_lastKeyPts, m_packet->pts);
        av_packet_move_ref(m_pending, m_packet);
    }
}

bool CMp4Writer::WritePending(int64_t nextPts) {
    if (!m_pending->data)
        return true;
    m_pending->duration = std::max<int64_t>(1, nextPts - m_pending->pts);
    m_pending->stream_index = m_stream->index;
    av_packet_rescale_ts(m_pending, m_encoder->time_base, m_stream->time_base);
    const bool written = AvOk(av_interleaved_write_frame(m_format, m_pending));
    av_packet_unref(m_pending);
    if (written)
        ++m_framesInFile;
    return written;
}

bool CMp4Writer::AvOk(int result) {
    if (result < 0)
        m_avError = result;
    return result >= 0;
}

bool CMp4Writer::Fail(const char* text) {
    m_errorText = text;
    // Said before the close, so that the movie's end is logged after its
    // failure, as for a completion that fails.
    ErrorMessageBox(m_errorText, movie_file::FailureDetail(m_path, m_avError));
    Close();
    return false;
}

void CMp4Writer::Close() {
    bool failed = false;
    if (m_writing && m_pending) {
        if (avcodec_send_frame(m_encoder, nullptr) >= 0)
            failed = !Drain();
        // The last frame lasts as long as the interval before it (or one
        // nominal frame when it is the only one).
        const int64_t last = m_lastInterval > 0 ? m_lastInterval : 1000 / m_framesPerSecond;
        if (m_pending->data)
            failed = !WritePending(m_pending->pts + last) || failed;
        failed = !AvOk(av_write_trailer(m_format)) || failed;
    }
    if (m_started)
        failed = !movie_file::Close(m_format, m_path, m_framesInFile, m_avError) || failed;
    m_started = false;
    m_writing = false;
    m_open = false;
    ReleaseAll();
    movie_file::ReportEnd(failed, m_errorText, m_announced, m_path, m_framesInFile, m_avError);
}

void CMp4Writer::ReleaseAll() {
    av_packet_free(&m_pending);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_encoder);
    if (m_format) {
        avformat_free_context(m_format);
        m_format = nullptr;
    }
    m_stream = nullptr;
}
