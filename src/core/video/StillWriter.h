#pragma once
#include "video/FrameImaging.h"

#include <array>
#include <cstdint>
#include <string>

class CAppSettings;

// Decides which offered frames of a movie become JPEG stills and writes them.
class CStillWriter {
public:
    // Bytes 76800..77055 of a frame's pixel area, compared between offers: a
    // stalled camera hands out the same frame again.
    static constexpr size_t kSampleOffset = 76800;
    static constexpr size_t kSampleSize = 256;

    // Whether still n is written: every frame while stills are archived
    // (CAPTURE_JPG); otherwise only frame 1, and only when the report mail
    // carries it (EMAIL_ENA and EMAIL_JPG). A later frame whose sample equals
    // the previous offer's is skipped. Every offer keeps its sample.
    bool Wanted(int n, const CAppSettings& settings, const uint8_t* framePixels);

    bool Write(const CFrameImage& image, int quality, const std::string& path) {
        return m_encoder.SaveFile(image, quality, path);
    }

    // The time stamp as a file name: "/" becomes "-", ":" and "." become "=".
    static std::string BaseName(const std::string& stampText);
    // The stills folder of a movie begun at `stampText`: "<archive>/<base>-jpg".
    static std::string StillDir(const std::string& archive, const std::string& stampText);
    // "Frame_%06d.jpg".
    static std::string StillName(int n);

private:
    CJpegEncoder m_encoder;
    std::array<uint8_t, kSampleSize> m_sample{};
    bool m_haveSample = false;
};
