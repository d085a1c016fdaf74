#include "record/YuvFrame.h"

#include "frame/FrameImage.h"

#include <cstring>

extern "C" {
#include <libswscale/swscale.h>
}

void CYuvFrame::CopyInto(uint8_t* const dst[3], const int strides[3]) const {
    const uint8_t* src[3] = {Y(), U(), V()};
    for (int p = 0; p < 3; ++p) {
        const int w = p == 0 ? width : width / 2;
        const int h = p == 0 ? height : height / 2;
        for (int y = 0; y < h; ++y)
            std::memcpy(dst[p] + static_cast<ptrdiff_t>(y) * strides[p],
                        src[p] + static_cast<size_t>(y) * w, static_cast<size_t>(w));
    }
}

CYuvConverter::~CYuvConverter() {
    sws_freeContext(m_scaler);
}

bool CYuvConverter::Prepare(const CFrameImage& image) {
    const bool wellFormed =
        image.width > 0 && image.height > 0 && image.width % 2 == 0 && image.height % 2 == 0 &&
        image.bgrx.size() == static_cast<size_t>(image.width) * image.height * 4;
    if (!wellFormed)
        return false;
    if (m_scaler && image.width == m_width && image.height == m_height)
        return true;
    sws_freeContext(m_scaler);
    // The same filter the WMV writer has always used, so both formats look alike.
    m_scaler = sws_getContext(image.width, image.height, AV_PIX_FMT_BGR0, image.width, image.height,
                              AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    m_width = image.width;
    m_height = image.height;
    return m_scaler != nullptr;
}

bool CYuvConverter::Convert(const CFrameImage& image, uint8_t* const planes[3],
                            const int strides[3]) {
    if (!Prepare(image))
        return false;
    const uint8_t* src[1] = {image.bgrx.data()};
    const int srcStride[1] = {image.Stride()};
    sws_scale(m_scaler, src, srcStride, 0, image.height, planes, strides);
    return true;
}

bool CYuvConverter::Convert(const CFrameImage& image, CYuvFrame& out) {
    if (!Prepare(image))
        return false;
    out.width = image.width;
    out.height = image.height;
    out.planes.resize(CYuvFrame::Size(image.width, image.height));
    uint8_t* const planes[3] = {out.planes.data(), out.planes.data() + image.width * image.height,
                                out.planes.data() + image.width * image.height +
                                    (image.width / 2) * (image.height / 2)};
    const int strides[3] = {image.width, image.width / 2, image.width / 2};
    return Convert(image, planes, strides);
}
