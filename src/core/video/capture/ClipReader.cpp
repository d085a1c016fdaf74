#include "video/capture/ClipReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

CClipReader::~CClipReader() {
    Close();
}

void CClipReader::Close() {
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_decoder);
    if (m_format)
        avformat_close_input(&m_format);
    m_stream = -1;
}

bool CClipReader::Open(const std::string& path) {
    Close();
    m_draining = m_haveOrigin = false;
    if (avformat_open_input(&m_format, path.c_str(), nullptr, nullptr) < 0) {
        m_format = nullptr;
        return false;
    }
    if (avformat_find_stream_info(m_format, nullptr) < 0) {
        Close();
        return false;
    }
    m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m_stream < 0) {
        Close();
        return false;
    }
    const AVStream* st = m_format->streams[m_stream];
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    m_decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!m_decoder || avcodec_parameters_to_context(m_decoder, st->codecpar) < 0 ||
        avcodec_open2(m_decoder, codec, nullptr) < 0) {
        Close();
        return false;
    }
    if (st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0)
        m_frameGap = 1.0 / av_q2d(st->avg_frame_rate);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (!m_packet || !m_frame) {
        Close();
        return false;
    }
    return true;
}

bool CClipReader::Receive() {
    if (avcodec_receive_frame(m_decoder, m_frame) < 0)
        return false;
    const AVStream* st = m_format->streams[m_stream];
    const int64_t ts = m_frame->best_effort_timestamp;
    double seconds = m_seconds + m_frameGap;
    if (ts != AV_NOPTS_VALUE)
        seconds = static_cast<double>(ts) * av_q2d(st->time_base);
    if (!m_haveOrigin) {
        m_origin = ts != AV_NOPTS_VALUE ? seconds : 0;
        m_haveOrigin = true;
        m_seconds = 0;
        return true;
    }
    m_seconds = ts != AV_NOPTS_VALUE ? seconds - m_origin : seconds;
    return true;
}

bool CClipReader::Next() {
    if (!m_decoder)
        return false;
    for (;;) {
        if (Receive())
            return true;
        if (m_draining)
            return false;
        av_packet_unref(m_packet);
        const int r = av_read_frame(m_format, m_packet);
        if (r < 0) {
            // The decoder may still hold pictures: flush them out.
            m_draining = true;
            avcodec_send_packet(m_decoder, nullptr);
            continue;
        }
        if (m_packet->stream_index != m_stream)
            continue;
        if (avcodec_send_packet(m_decoder, m_packet) < 0 && !m_draining)
            continue; // a damaged packet: skip it
    }
}
