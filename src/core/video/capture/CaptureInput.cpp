#include "video/capture/CaptureInput.h"

#include "video/capture/DeviceList.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

namespace {

// Used when a stream gives no frame duration (40 ms: 25 frames per second).
constexpr auto kDefaultGap = std::chrono::milliseconds(40);

} // namespace

CCaptureInput::~CCaptureInput() {
    Close();
}

int CCaptureInput::Interrupt(void* self) {
    // Runs on the thread inside the FFmpeg call, the one that set the deadline.
    const auto* input = static_cast<const CCaptureInput*>(self);
    if (input->m_stop && input->m_stop->load(std::memory_order_relaxed))
        return 1;
    return input->m_deadline != Clock::time_point{} && Clock::now() > input->m_deadline ? 1 : 0;
}

bool CCaptureInput::Open(const CaptureDeviceInfo& device, const std::atomic<bool>* stop) {
    Close();
    if (device.kind != CaptureSourceKind::File && !EnsureCaptureDevicesRegistered())
        return false;
    const AVInputFormat* inputFormat = nullptr;
    AVDictionary* options = nullptr;
    m_format = avformat_alloc_context();
    if (!m_format)
        return false;
    m_stop = stop;
    m_deadline = Clock::now() + kOpenTimeout;
    m_format->interrupt_callback.callback = &CCaptureInput::Interrupt;
    m_format->interrupt_callback.opaque = this;
    std::string url = device.url;
    switch (device.kind) {
    case CaptureSourceKind::V4l2:
        inputFormat = av_find_input_format("video4linux2");
        // Ask for the working size; a camera without it keeps its own and we scale.
        av_dict_set(&options, "video_size", "320x240", 0);
        // A stalled or unplugged camera must not block the capture thread for good.
        m_format->flags |= AVFMT_FLAG_NONBLOCK;
        break;
    case CaptureSourceKind::Lavfi:
        inputFormat = av_find_input_format("lavfi");
        m_paced = true;
        break;
    case CaptureSourceKind::File: {
        m_paced = true;
        struct stat st {};
        if (::stat(url.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
            // A FIFO opened the usual way blocks until a writer comes, and its
            // reads block while the writer is silent. Opened without blocking,
            // FFmpeg waits for data in short steps that ask Interrupt first.
            m_pipe = ::open(url.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (m_pipe < 0) {
                Close();
                return false;
            }
            if (!WaitForPipeData()) {
                Close();
                return false;
            }
            url = "pipe:" + std::to_string(m_pipe);
            av_dict_set_int(&options, "rw_timeout", std::chrono::microseconds(kPipeSilence).count(),
                            0);
        } else {
            m_loops = true;
        }
        break;
    }
    }
    if (device.kind != CaptureSourceKind::File && !inputFormat) {
        Close();
        return false;
    }
    const int opened = avformat_open_input(&m_format, url.c_str(), inputFormat, &options);
    av_dict_free(&options);
    if (opened < 0) {
        m_format = nullptr; // freed by avformat_open_input
        Close();
        return false;
    }
    // Devices describe their stream in the header; only files need probing,
    // which keeps opening a camera quick.
    if (device.kind == CaptureSourceKind::File &&
        avformat_find_stream_info(m_format, nullptr) < 0) {
        Close();
        return false;
    }
    m_deadline = {};
    m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m_stream < 0) {
        Close();
        return false;
    }
    const AVCodecParameters* par = m_format->streams[m_stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    m_decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!m_decoder || avcodec_parameters_to_context(m_decoder, par) < 0) {
        Close();
        return false;
    }
    // One decoding thread: a frame decoded on request is wanted now, not after
    // a pipeline of frame threads has filled.
    m_decoder->thread_count = 1;
    if (avcodec_open2(m_decoder, codec, nullptr) < 0) {
        Close();
        return false;
    }
    m_isMjpeg = par->codec_id == AV_CODEC_ID_MJPEG;
    const AVCodecDescriptor* desc = avcodec_descriptor_get(par->codec_id);
    m_intraOnly = desc && (desc->props & AV_CODEC_PROP_INTRA_ONLY);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    m_spare = av_frame_alloc();
    if (!m_packet || !m_frame || !m_spare) {
        Close();
        return false;
    }
    return true;
}

void CCaptureInput::Close() {
    av_frame_free(&m_frame);
    av_frame_free(&m_spare);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_decoder);
    if (m_format)
        avformat_close_input(&m_format);
    // FFmpeg leaves a descriptor it was handed by number open.
    if (m_pipe >= 0)
        ::close(m_pipe);
    m_pipe = -1;
    m_deadline = {};
    m_stream = -1;
    m_paced = m_loops = m_haveFrame = m_packetsThisPass = m_isMjpeg = false;
    m_intraOnly = true;
    m_paceStarted = false;
}

bool CCaptureInput::WaitForPipeData() {
    // Until a writer has come, reads of a FIFO opened without blocking find its
    // end at once; poll waits for the writer's first bytes (and tells a writer
    // that came and went by POLLHUP).
    for (;;) {
        if (Interrupt(this))
            return false;
        pollfd p{m_pipe, POLLIN, 0};
        const int n = ::poll(&p, 1, 50);
        if (n < 0 && errno != EINTR)
            return false;
        if (n > 0)
            return (p.revents & POLLIN) != 0;
    }
}

bool CCaptureInput::StartOver() {
    if (!m_packetsThisPass)
        return false; // a file without a single picture would spin
    if (avformat_seek_file(m_format, -1, INT64_MIN, 0, INT64_MAX, 0) < 0 &&
        av_seek_frame(m_format, m_stream, 0, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(m_decoder);
    m_packetsThisPass = false;
    // The next pass follows the last frame after one more frame gap.
    m_passOriginPending = m_paceStarted;
    return true;
}

CCaptureInput::ReadResult CCaptureInput::ReadVideoPacket() {
    if (!m_format)
        return ReadResult::Ended;
    for (int attempts = 0; attempts < 2;) {
        av_packet_unref(m_packet);
        const int r = av_read_frame(m_format, m_packet);
        if (r == AVERROR(EAGAIN))
            return ReadResult::Again;
        if (r == AVERROR_EOF && m_loops) {
            ++attempts;
            if (!StartOver())
                return ReadResult::Ended;
            continue;
        }
        if (r < 0)
            return ReadResult::Ended;
        if (m_packet->stream_index != m_stream)
            continue;
        m_packetsThisPass = true;
        return ReadResult::Packet;
    }
    return ReadResult::Ended;
}

CCaptureInput::Clock::time_point CCaptureInput::DueTime() {
    const Clock::time_point now = Clock::now();
    const AVStream* st = m_format->streams[m_stream];
    int64_t ts = m_packet->pts != AV_NOPTS_VALUE ? m_packet->pts : m_packet->dts;
    if (ts == AV_NOPTS_VALUE) {
        // No time stamp: one frame gap after the last one.
        m_lastDue = m_paceStarted ? m_lastDue + m_lastGap : now;
        if (!m_paceStarted) {
            m_paceStarted = true;
            m_lastGap = kDefaultGap;
            m_paceOrigin = now;
            m_originPts = 0;
        }
        return m_lastDue;
    }
    const double seconds = static_cast<double>(ts) * av_q2d(st->time_base);
    if (!m_paceStarted || m_passOriginPending) {
        m_paceOrigin = m_paceStarted ? m_lastDue + m_lastGap : now;
        m_originPts = seconds;
        m_paceStarted = true;
        m_passOriginPending = false;
    }
    const auto offset = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(seconds - m_originPts));
    const Clock::time_point due = m_paceOrigin + offset;
    Clock::duration gap = kDefaultGap;
    if (m_packet->duration > 0)
        gap = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
            static_cast<double>(m_packet->duration) * av_q2d(st->time_base)));
    else if (due > m_lastDue)
        gap = due - m_lastDue;
    m_lastGap = gap;
    m_lastDue = due;
    return due;
}

const AVFrame* CCaptureInput::DecodePacket() {
    if (m_isMjpeg && m_packet->size > 0) {
        const AVCodecParameters* par = m_format->streams[m_stream]->codecpar;
        if (const AVFrame* picture = m_mjpeg.Decode(
                m_packet->data, static_cast<size_t>(m_packet->size), par->width, par->height)) {
            av_packet_unref(m_packet);
            return picture;
        }
    }
    if (!m_decoder || avcodec_send_packet(m_decoder, m_packet) < 0) {
        av_packet_unref(m_packet);
        return m_haveFrame ? m_frame : nullptr;
    }
    av_packet_unref(m_packet);
    bool fresh = false;
    while (avcodec_receive_frame(m_decoder, m_spare) >= 0) {
        std::swap(m_frame, m_spare);
        av_frame_unref(m_spare);
        fresh = true;
    }
    if (fresh)
        m_haveFrame = true;
    // An inter-coded stream keeps its newest picture for a request that comes
    // between pictures; an intra-only one answers with this packet's picture.
    if (!fresh && m_intraOnly)
        return nullptr;
    return m_haveFrame ? m_frame : nullptr;
}

void CCaptureInput::DropPacket() {
    av_packet_unref(m_packet);
}
