#pragma once
#include "TempDir.h"
#include "video/capture/CaptureGraph.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

// Points OCULON_DEVICES at a file with the given lines for the life of the guard.
class CVirtualDevices {
public:
    explicit CVirtualDevices(const std::string& lines) {
        const char* old = std::getenv("OCULON_DEVICES");
        if (old)
            m_previous = old;
        WriteFileBytes(m_dir.File("devices.txt"), lines);
        ::setenv("OCULON_DEVICES", m_dir.File("devices.txt").c_str(), 1);
    }
    ~CVirtualDevices() {
        if (m_previous)
            ::setenv("OCULON_DEVICES", m_previous->c_str(), 1);
        else
            ::unsetenv("OCULON_DEVICES");
    }
    CVirtualDevices(const CVirtualDevices&) = delete;
    CVirtualDevices& operator=(const CVirtualDevices&) = delete;

    const CTempDir& Dir() const { return m_dir; }

private:
    CTempDir m_dir;
    std::optional<std::string> m_previous;
};

// Cameras plugged into this machine come before the virtual devices.
inline int RealCameraCount() {
    CVirtualDevices none("");
    CCaptureGraph graph;
    return graph.EnumerateDevices();
}

// Writes a 24-bit bottom-up BMP picture; colour(x, y) gives B, G, R with y downward.
inline void WriteBmp24(const std::string& path, int width, int height,
                       const std::function<std::array<uint8_t, 3>(int, int)>& colour) {
    const uint32_t rowBytes = static_cast<uint32_t>(width * 3 + 3) / 4 * 4;
    const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(height);
    std::string bytes(54 + pixelBytes, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>(v >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, 54 + pixelBytes);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    bytes[26] = 1;
    bytes[28] = 24;
    for (int y = 0; y < height; ++y) {
        const size_t row = 54 + static_cast<size_t>(height - 1 - y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            const auto c = colour(x, y);
            for (int i = 0; i < 3; ++i)
                bytes[row + static_cast<size_t>(x) * 3 + i] = static_cast<char>(c[i]);
        }
    }
    WriteFileBytes(path, bytes);
}
