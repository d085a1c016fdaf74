#include "video/capture/FrameConverter.h"

#include "frame/FrameFormat.h"
#include "video/capture/FrameBmp.h"

#include <cstring>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int kStride32 = kFrameWidth * 4;

// MJPEG cameras decode to the full-range "J" formats, which swscale wants as
// the plain format plus a range flag.
AVPixelFormat PlainFormat(AVPixelFormat format, bool& fullRange) {
    fullRange = true;
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        return AV_PIX_FMT_YUV411P;
    default:
        fullRange = false;
        return format;
    }
}

} // namespace

CFrameConverter::~CFrameConverter() {
    sws_freeContext(m_sws);
}

bool CFrameConverter::Convert(const AVFrame& frame, int depth, std::vector<uint8_t>& out) {
    if ((depth != 32 && depth != 16) || frame.width <= 0 || frame.height <= 0) {
        out.clear();
        return false;
    }
    if (!m_sws || frame.width != m_srcWidth || frame.height != m_srcHeight ||
        frame.format != m_srcFormat) {
        sws_freeContext(m_sws);
        bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
        bool jFormat = false;
        const AVPixelFormat src = PlainFormat(static_cast<AVPixelFormat>(frame.format), jFormat);
        fullRange = fullRange || jFormat;
        m_sws = sws_getContext(frame.width, frame.height, src, kFrameWidth, kFrameHeight,
                               AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr);
        m_srcWidth = frame.width;
        m_srcHeight = frame.height;
        m_srcFormat = frame.format;
        if (!m_sws) {
            out.clear();
            return false;
        }
        if (fullRange) {
            int* inv = nullptr;
            int* table = nullptr;
            int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
            if (sws_getColorspaceDetails(m_sws, &inv, &srcRange, &table, &dstRange, &brightness,
                                         &contrast, &saturation) >= 0)
                sws_setColorspaceDetails(m_sws, inv, 1, table, dstRange, brightness, contrast,
                                         saturation);
        }
    }
    // The buffer keeps its size from frame to frame, so it is neither zeroed
    // nor reallocated here; a failure leaves it empty.
    out.resize(FramePixelBytes(depth));
    // The frame buffer holds the bottom row first. At 32 bits swscale writes
    // it so directly, upwards from the last row; at 16 bits the rows are
    // packed from a top-down copy.
    const bool direct = depth == 32;
    if (!direct)
        m_topDown.resize(static_cast<size_t>(kStride32) * kFrameHeight);
    uint8_t* dst[4] = {direct ? out.data() + static_cast<size_t>(kFrameHeight - 1) * kStride32
                              : m_topDown.data(),
                       nullptr, nullptr, nullptr};
    int dstStride[4] = {direct ? -kStride32 : kStride32, 0, 0, 0};
    if (sws_scale(m_sws, frame.data, frame.linesize, 0, frame.height, dst, dstStride) !=
        kFrameHeight) {
        out.clear();
        return false;
    }
    if (direct)
        return true;
    const size_t rowBytes = static_cast<size_t>(kFrameWidth) * 2;
    for (int y = 0; y < kFrameHeight; ++y) {
        const uint8_t* src = m_topDown.data() + static_cast<size_t>(y) * kStride32;
        uint8_t* row = out.data() + static_cast<size_t>(kFrameHeight - 1 - y) * rowBytes;
        PackRgb555(src, row, kFrameWidth);
    }
    return true;
}
