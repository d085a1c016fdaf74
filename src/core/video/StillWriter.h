#pragma once
#include "video/FrameImaging.h"

#include <cstdint>
#include <string>

class CAppSettings;

// Decides which offered frames of a movie become JPEG stills and writes them.
class CStillWriter {
public:
    // Whether still n is written: every frame while stills are archived
    // (CAPTURE_JPG); otherwise only frame 1, and only when the report mail
    // carries it (EMAIL_ENA and EMAIL_JPG). A later frame is skipped when it is
    // the very picture offered before (the same IFrameSource::FrameSequence,
    // as a stalled camera hands out); its pixels are no guide, since a still
    // scene repeats them and motion may miss any sample of them.
    bool Wanted(int n, const CAppSettings& settings, uint64_t frameSequence);

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
    uint64_t m_lastSequence = 0;
    bool m_offered = false;
};
