#include "video/FrameImaging.h"

#include <turbojpeg.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static_assert(std::endian::native == std::endian::little, "pixels are read as little-endian words");

namespace frame_imaging {

bool FrameToImage(const uint8_t* pixels, int depth, CFrameImage& image) {
    if (!pixels || (depth != 32 && depth != 16)) {
        image.bgrx.clear();
        return false;
    }
    image.width = kFrameWidth;
    image.height = kFrameHeight;
    image.bgrx.resize(static_cast<size_t>(kFrameWidth) * kFrameHeight * 4);
    const int stride = kFrameWidth * depth / 8;
    for (int y = 0; y < kFrameHeight; ++y) {
        const uint8_t* src = pixels + static_cast<size_t>(kFrameHeight - 1 - y) * stride;
        uint8_t* dst = image.bgrx.data() + static_cast<size_t>(y) * image.Stride();
        if (depth == 32) {
            // Laid over opaque black as it is copied: the fourth byte is no
            // coverage, and the movie writers take this very picture.
            int x = 0;
#if defined(__SSE2__)
            const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
            for (; x + 4 <= kFrameWidth; x += 4) {
                const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), _mm_or_si128(px, opaque));
            }
#endif
            for (; x < kFrameWidth; ++x) {
                uint32_t px;
                std::memcpy(&px, src + 4 * x, 4);
                px |= 0xFF000000u; // little-endian: the fourth byte
                std::memcpy(dst + 4 * x, &px, 4);
            }
            continue;
        }
        for (int x = 0; x < kFrameWidth; ++x, src += 2, dst += 4) {
            const unsigned w = static_cast<unsigned>(src[0] | (src[1] << 8));
            const unsigned r = (w >> 10) & 0x1F, g = (w >> 5) & 0x1F, b = w & 0x1F;
            // Widen 5 bits to 8 so that full intensity stays 255.
            dst[0] = static_cast<uint8_t>((b << 3) | (b >> 2));
            dst[1] = static_cast<uint8_t>((g << 3) | (g >> 2));
            dst[2] = static_cast<uint8_t>((r << 3) | (r >> 2));
            dst[3] = 0xFF;
        }
    }
    return true;
}

} // namespace frame_imaging

CJpegEncoder::~CJpegEncoder() {
    if (m_buffer)
        tjFree(m_buffer);
    if (m_handle)
        tjDestroy(static_cast<tjhandle>(m_handle));
}

bool CJpegEncoder::Encode(const CFrameImage& image, int quality, const uint8_t*& data,
                          size_t& size) {
    if (image.Empty() || image.bgrx.size() < static_cast<size_t>(image.Stride()) * image.height)
        return false;
    if (!m_handle) {
        m_handle = tjInitCompress();
        if (!m_handle)
            return false;
    }
    const unsigned long needed = tjBufSize(image.width, image.height, TJSAMP_420);
    if (needed == static_cast<unsigned long>(-1))
        return false;
    if (m_capacity < needed) {
        if (m_buffer)
            tjFree(m_buffer);
        m_buffer = tjAlloc(static_cast<int>(needed));
        m_capacity = m_buffer ? needed : 0;
        if (!m_buffer)
            return false;
    }
    unsigned long jpegSize = m_capacity;
    const int rc = tjCompress2(static_cast<tjhandle>(m_handle), image.bgrx.data(), image.width,
                               image.Stride(), image.height, TJPF_BGRX, &m_buffer, &jpegSize,
                               TJSAMP_420, quality, TJFLAG_NOREALLOC);
    if (rc != 0)
        return false;
    data = m_buffer;
    size = jpegSize;
    return true;
}

bool CJpegEncoder::SaveFile(const CFrameImage& image, int quality, const std::string& path) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (!Encode(image, quality, data, size))
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    const bool ok = ::close(fd) == 0 && done == size;
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}
