#include "video/capture/ClipSource.h"

#include "frame/FrameFormat.h"

#include <cstring>

extern "C" {
#include <libavutil/frame.h>
}

CClipSource::CClipSource() : m_held(av_frame_alloc()), m_buffer(kFrameBufferSize, 0) {}

CClipSource::~CClipSource() {
    av_frame_free(&m_held);
}

bool CClipSource::Open(const std::string& path) {
    m_open = m_held && m_reader.Open(path) && m_reader.Next();
    m_pending = m_open;
    m_time = m_shownSeconds = m_lastSeconds = 0;
    return m_open;
}

int CClipSource::GetFrame(uint8_t*& pixels, bool fetch) {
    m_fetches += fetch ? 1 : 0;
    if (fetch && m_pending && m_reader.Seconds() <= m_time) {
        // Skip to the newest picture that is due; only that one is converted.
        while (m_pending && m_reader.Seconds() <= m_time) {
            m_shownSeconds = m_reader.Seconds();
            av_frame_unref(m_held);
            if (av_frame_ref(m_held, &m_reader.Picture()) < 0)
                break;
            m_pending = m_reader.Next();
            if (m_pending) {
                m_lastGap = m_reader.Seconds() - m_shownSeconds;
                m_lastSeconds = m_reader.Seconds();
            }
        }
        if (m_converter.Convert(*m_held, 32, m_pixels) &&
            m_pixels.size() + kFrameHeaderSize <= m_buffer.size()) {
            std::memcpy(m_buffer.data() + kFrameHeaderSize, m_pixels.data(), m_pixels.size());
            ++m_sequence;
        }
    }
    pixels = m_buffer.data() + kFrameHeaderSize;
    return static_cast<int>(m_buffer.size());
}
