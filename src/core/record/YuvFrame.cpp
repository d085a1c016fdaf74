#include "record/YuvFrame.h"

#include "frame/FrameImage.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define OCULON_AVX2 1
#endif

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

namespace {

// BT.601 studio range, the encoders' default: 16..235 for Y and 16..240 for
// U and V, coefficients in 1/32768 so that they fit 16-bit lanes.
constexpr int kShift = 15;
constexpr int kYr = 8414, kYg = 16519, kYb = 3208;
constexpr int kUr = -4857, kUg = -9535, kUb = 14392;
constexpr int kVr = 14392, kVg = -12052, kVb = -2340;
constexpr int kLumaBias = (16 << kShift) + (1 << (kShift - 1));
// Chroma works on sums of four pixels: two more bits of shift.
constexpr int kChromaShift = kShift + 2;
constexpr int kChromaBias = (128 << kChromaShift) + (1 << (kChromaShift - 1));

// Luma of pixels [from, width) of one row.
void LumaTail(const uint8_t* bgrx, uint8_t* y, int from, int width) {
    for (int x = from; x < width; ++x) {
        const uint8_t* p = bgrx + 4 * x;
        y[x] = static_cast<uint8_t>((kYr * p[2] + kYg * p[1] + kYb * p[0] + kLumaBias) >> kShift);
    }
}

// Chroma of the 2 x 2 blocks [from, width / 2) of two rows, from each block's
// mean colour: the chroma sample sits at the block's centre.
void ChromaTail(const uint8_t* top, const uint8_t* bottom, uint8_t* u, uint8_t* v, int from,
                int width) {
    for (int x = from; x < width / 2; ++x) {
        const uint8_t* a = top + 8 * x;
        const uint8_t* b = bottom + 8 * x;
        const int blue = a[0] + a[4] + b[0] + b[4];
        const int green = a[1] + a[5] + b[1] + b[5];
        const int red = a[2] + a[6] + b[2] + b[6];
        u[x] = static_cast<uint8_t>((kUr * red + kUg * green + kUb * blue + kChromaBias) >>
                                    kChromaShift);
        v[x] = static_cast<uint8_t>((kVr * red + kVg * green + kVb * blue + kChromaBias) >>
                                    kChromaShift);
    }
}

#if defined(__SSE2__)
// The same sums four values at a time. `lo` and `hi` hold two colours each as
// 16-bit B, G, R, x; madd gives B*cb + G*cg and R*cr per colour, and the two
// shuffles add those halves, in colour order.
inline __m128i Weigh(__m128i lo, __m128i hi, __m128i coefficients, __m128i bias, int shift) {
    const __m128 a = _mm_castsi128_ps(_mm_madd_epi16(lo, coefficients));
    const __m128 b = _mm_castsi128_ps(_mm_madd_epi16(hi, coefficients));
    const __m128i first = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i second = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    return _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(first, second), bias), shift);
}

// 16 pixels a step, from pixel `x`.
int LumaSse2(const uint8_t* bgrx, uint8_t* y, int x, int width) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i coefficients = _mm_setr_epi16(kYb, kYg, kYr, 0, kYb, kYg, kYr, 0);
    const __m128i bias = _mm_set1_epi32(kLumaBias);
    for (; x + 16 <= width; x += 16) {
        __m128i out[4];
        for (int k = 0; k < 4; ++k) {
            const __m128i px =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgrx + 4 * (x + 4 * k)));
            out[k] = Weigh(_mm_unpacklo_epi8(px, zero), _mm_unpackhi_epi8(px, zero), coefficients,
                           bias, kShift);
        }
        const __m128i bytes =
            _mm_packus_epi16(_mm_packs_epi32(out[0], out[1]), _mm_packs_epi32(out[2], out[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y + x), bytes);
    }
    return x;
}

// Sums of the 2 x 2 blocks of four pixels of two rows: two blocks, as 16-bit
// B, G, R, x each.
inline __m128i BlockSums(const uint8_t* top, const uint8_t* bottom) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom));
    const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(t, zero), _mm_unpacklo_epi8(b, zero));
    const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(t, zero), _mm_unpackhi_epi8(b, zero));
    // Pixel 0 + pixel 1 (lo) and pixel 2 + pixel 3 (hi), side by side.
    return _mm_unpacklo_epi64(_mm_add_epi16(lo, _mm_srli_si128(lo, 8)),
                              _mm_add_epi16(hi, _mm_srli_si128(hi, 8)));
}

// 8 chroma samples (16 pixels of each row) a step, from sample `x`.
int ChromaSse2(const uint8_t* top, const uint8_t* bottom, uint8_t* u, uint8_t* v, int x,
               int width) {
    const __m128i uCoefficients = _mm_setr_epi16(kUb, kUg, kUr, 0, kUb, kUg, kUr, 0);
    const __m128i vCoefficients = _mm_setr_epi16(kVb, kVg, kVr, 0, kVb, kVg, kVr, 0);
    const __m128i bias = _mm_set1_epi32(kChromaBias);
    for (; x + 8 <= width / 2; x += 8) {
        __m128i blocks[4];
        for (int k = 0; k < 4; ++k)
            blocks[k] = BlockSums(top + 8 * x + 16 * k, bottom + 8 * x + 16 * k);
        const __m128i u0 = Weigh(blocks[0], blocks[1], uCoefficients, bias, kChromaShift);
        const __m128i u1 = Weigh(blocks[2], blocks[3], uCoefficients, bias, kChromaShift);
        const __m128i v0 = Weigh(blocks[0], blocks[1], vCoefficients, bias, kChromaShift);
        const __m128i v1 = Weigh(blocks[2], blocks[3], vCoefficients, bias, kChromaShift);
        const __m128i us = _mm_packs_epi32(u0, u1);
        const __m128i vs = _mm_packs_epi32(v0, v1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(u + x), _mm_packus_epi16(us, us));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(v + x), _mm_packus_epi16(vs, vs));
    }
    return x;
}
#endif

#if defined(OCULON_AVX2)
// The same sums twice as wide, where the processor has AVX2: the same
// arithmetic, so the same values. AVX2 works in two 128-bit halves, so
// results are put back in order with permutes before they are stored.
#define OCULON_TARGET_AVX2 __attribute__((target("avx2")))

OCULON_TARGET_AVX2 inline __m256i Weigh(__m256i lo, __m256i hi, __m256i coefficients, __m256i bias,
                                        int shift) {
    const __m256 a = _mm256_castsi256_ps(_mm256_madd_epi16(lo, coefficients));
    const __m256 b = _mm256_castsi256_ps(_mm256_madd_epi16(hi, coefficients));
    const __m256i first = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i second = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(first, second), bias), shift);
}

// 32 pixels a step. Each Weigh gives eight lumas in order; the packs
// interleave groups of four across the halves, which the last permute undoes.
OCULON_TARGET_AVX2 int LumaAvx2(const uint8_t* bgrx, uint8_t* y, int width) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i coefficients =
        _mm256_setr_epi16(kYb, kYg, kYr, 0, kYb, kYg, kYr, 0, kYb, kYg, kYr, 0, kYb, kYg, kYr, 0);
    const __m256i bias = _mm256_set1_epi32(kLumaBias);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        __m256i out[4];
        for (int k = 0; k < 4; ++k) {
            const __m256i px =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgrx + 4 * (x + 8 * k)));
            out[k] = Weigh(_mm256_unpacklo_epi8(px, zero), _mm256_unpackhi_epi8(px, zero),
                           coefficients, bias, kShift);
        }
        const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(out[0], out[1]),
                                                  _mm256_packs_epi32(out[2], out[3]));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(y + x),
                            _mm256_permutevar8x32_epi32(bytes, order));
    }
    return x;
}

// Sums of four 2 x 2 blocks (eight pixels of two rows), in order.
OCULON_TARGET_AVX2 inline __m256i FourBlockSums(const uint8_t* top, const uint8_t* bottom) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom));
    const __m256i lo =
        _mm256_add_epi16(_mm256_unpacklo_epi8(t, zero), _mm256_unpacklo_epi8(b, zero));
    const __m256i hi =
        _mm256_add_epi16(_mm256_unpackhi_epi8(t, zero), _mm256_unpackhi_epi8(b, zero));
    return _mm256_unpacklo_epi64(_mm256_add_epi16(lo, _mm256_srli_si256(lo, 8)),
                                 _mm256_add_epi16(hi, _mm256_srli_si256(hi, 8)));
}

// Chroma of blocks 0-7 from their sums: Weigh gives 0, 1, 4, 5 | 2, 3, 6, 7.
OCULON_TARGET_AVX2 inline __m256i ChromaInOrder(__m256i first, __m256i second,
                                                __m256i coefficients) {
    const __m256i bias = _mm256_set1_epi32(kChromaBias);
    return _mm256_permutevar8x32_epi32(Weigh(first, second, coefficients, bias, kChromaShift),
                                       _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
}

// 16 chroma samples (32 pixels of each row) a step.
OCULON_TARGET_AVX2 int ChromaAvx2(const uint8_t* top, const uint8_t* bottom, uint8_t* u, uint8_t* v,
                                  int width) {
    const __m256i uCoefficients =
        _mm256_setr_epi16(kUb, kUg, kUr, 0, kUb, kUg, kUr, 0, kUb, kUg, kUr, 0, kUb, kUg, kUr, 0);
    const __m256i vCoefficients =
        _mm256_setr_epi16(kVb, kVg, kVr, 0, kVb, kVg, kVr, 0, kVb, kVg, kVr, 0, kVb, kVg, kVr, 0);
    int x = 0;
    for (; x + 16 <= width / 2; x += 16) {
        __m256i blocks[4];
        for (int k = 0; k < 4; ++k)
            blocks[k] = FourBlockSums(top + 8 * x + 32 * k, bottom + 8 * x + 32 * k);
        // packs keeps halves apart: 0-3, 8-11 | 4-7, 12-15; the 64-bit
        // permute puts the four quarters in order.
        const __m256i us = _mm256_permute4x64_epi64(
            _mm256_packs_epi32(ChromaInOrder(blocks[0], blocks[1], uCoefficients),
                               ChromaInOrder(blocks[2], blocks[3], uCoefficients)),
            _MM_SHUFFLE(3, 1, 2, 0));
        const __m256i vs = _mm256_permute4x64_epi64(
            _mm256_packs_epi32(ChromaInOrder(blocks[0], blocks[1], vCoefficients),
                               ChromaInOrder(blocks[2], blocks[3], vCoefficients)),
            _MM_SHUFFLE(3, 1, 2, 0));
        // u 0-7, v 0-7 | u 8-15, v 8-15, then u 0-15 | v 0-15.
        const __m256i bytes =
            _mm256_permute4x64_epi64(_mm256_packus_epi16(us, vs), _MM_SHUFFLE(3, 1, 2, 0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(u + x), _mm256_castsi256_si128(bytes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(v + x), _mm256_extracti128_si256(bytes, 1));
    }
    return x;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

void LumaRow(const uint8_t* bgrx, uint8_t* y, int width) {
    int done = 0;
#if defined(OCULON_AVX2)
    if (HasAvx2())
        done = LumaAvx2(bgrx, y, width);
#endif
#if defined(__SSE2__)
    done = LumaSse2(bgrx, y, done, width);
#endif
    LumaTail(bgrx, y, done, width);
}

void ChromaRow(const uint8_t* top, const uint8_t* bottom, uint8_t* u, uint8_t* v, int width) {
    int done = 0;
#if defined(OCULON_AVX2)
    if (HasAvx2())
        done = ChromaAvx2(top, bottom, u, v, width);
#endif
#if defined(__SSE2__)
    done = ChromaSse2(top, bottom, u, v, done, width);
#endif
    ChromaTail(top, bottom, u, v, done, width);
}

bool WellFormed(const CFrameImage& image) {
    return image.width > 0 && image.height > 0 && image.width % 2 == 0 && image.height % 2 == 0 &&
           image.bgrx.size() == static_cast<size_t>(image.width) * image.height * 4;
}

} // namespace

bool CYuvConverter::Convert(const CFrameImage& image, uint8_t* const planes[3],
                            const int strides[3]) {
    if (!WellFormed(image))
        return false;
    // Each pixel is read once for its luma and once for its block's chroma,
    // with no intermediate picture; the fourth byte is never read.
    const size_t stride = static_cast<size_t>(image.Stride());
    for (int row = 0; row < image.height; row += 2) {
        const uint8_t* top = image.bgrx.data() + static_cast<size_t>(row) * stride;
        const uint8_t* bottom = top + stride;
        LumaRow(top, planes[0] + static_cast<ptrdiff_t>(row) * strides[0], image.width);
        LumaRow(bottom, planes[0] + static_cast<ptrdiff_t>(row + 1) * strides[0], image.width);
        ChromaRow(top, bottom, planes[1] + static_cast<ptrdiff_t>(row / 2) * strides[1],
                  planes[2] + static_cast<ptrdiff_t>(row / 2) * strides[2], image.width);
    }
    return true;
}

bool CYuvConverter::Convert(const CFrameImage& image, CYuvFrame& out) {
    if (!WellFormed(image))
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
