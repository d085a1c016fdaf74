#include "video/capture/MjpegDecoder.h"

#include "frame/FrameFormat.h"

#include <turbojpeg.h>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace {

AVPixelFormat FormatOf(int subsampling) {
    switch (subsampling) {
    case TJSAMP_420:
        return AV_PIX_FMT_YUVJ420P;
    case TJSAMP_422:
        return AV_PIX_FMT_YUVJ422P;
    case TJSAMP_444:
        return AV_PIX_FMT_YUVJ444P;
    case TJSAMP_440:
        return AV_PIX_FMT_YUVJ440P;
    case TJSAMP_411:
        return AV_PIX_FMT_YUVJ411P;
    case TJSAMP_GRAY:
        return AV_PIX_FMT_GRAY8;
    default:
        return AV_PIX_FMT_NONE;
    }
}

// The smallest scaled size of TurboJPEG's steps that is at least the working
// frame in both directions; the picture's own size when none is smaller.
tjscalingfactor ScalingFor(int width, int height) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    tjscalingfactor best{1, 1};
    for (int i = 0; factors && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom)
            continue; // enlarging helps nobody
        const int w = TJSCALED(width, f), h = TJSCALED(height, f);
        if (w >= kFrameWidth && h >= kFrameHeight && w < TJSCALED(width, best))
            best = f;
    }
    return best;
}

} // namespace

CMjpegDecoder::~CMjpegDecoder() {
    av_frame_free(&m_frame);
    if (m_handle)
        tjDestroy(static_cast<tjhandle>(m_handle));
}

const AVFrame* CMjpegDecoder::Decode(const uint8_t* data, size_t size, int width, int height) {
    if (!m_handle && !(m_handle = tjInitDecompress()))
        return nullptr;
    if (!m_frame && !(m_frame = av_frame_alloc()))
        return nullptr;
    auto* tj = static_cast<tjhandle>(m_handle);
    int w = 0, h = 0, subsampling = 0, colourspace = 0;
    if (!data || size == 0 ||
        tjDecompressHeader3(tj, data, static_cast<unsigned long>(size), &w, &h, &subsampling,
                            &colourspace) != 0)
        return nullptr;
    const AVPixelFormat format = FormatOf(subsampling);
    const bool yuv = colourspace == TJCS_YCbCr || colourspace == TJCS_GRAY;
    if (format == AV_PIX_FMT_NONE || !yuv || (width > 0 && (w != width || h != height)))
        return nullptr;
    const tjscalingfactor scale = ScalingFor(w, h);
    const int sw = TJSCALED(w, scale), sh = TJSCALED(h, scale);
    if (m_frame->width != sw || m_frame->height != sh || m_frame->format != format) {
        av_frame_unref(m_frame);
        m_frame->width = sw;
        m_frame->height = sh;
        m_frame->format = format;
        // TurboJPEG writes odd-sized planes rounded up to whole blocks; FFmpeg
        // pads every plane's rows and height, so that stays inside.
        if (av_frame_get_buffer(m_frame, 32) < 0) {
            av_frame_unref(m_frame);
            return nullptr;
        }
    }
    m_frame->color_range = AVCOL_RANGE_JPEG;
    unsigned char* planes[3] = {m_frame->data[0], m_frame->data[1], m_frame->data[2]};
    int strides[3] = {m_frame->linesize[0], m_frame->linesize[1], m_frame->linesize[2]};
    // A warning (a damaged but complete picture) still gives a picture; an
    // error leaves the packet to FFmpeg, which conceals what it can.
    if (tjDecompressToYUVPlanes(tj, data, static_cast<unsigned long>(size), planes, sw, strides, sh,
                                0) != 0 &&
        tjGetErrorCode(tj) != TJERR_WARNING)
        return nullptr;
    return m_frame;
}
