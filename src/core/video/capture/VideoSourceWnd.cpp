#include "video/capture/VideoSourceWnd.h"

#include "app/AppSettings.h"
#include "app/MessageSink.h"
#include "frame/FrameFormat.h"
#include "video/capture/DeviceChoice.h"
#include "video/capture/FrameBmp.h"

#include <algorithm>

CVideoSourceWnd::CVideoSourceWnd(CAppSettings& settings, int depth)
    : m_settings(settings), m_depth(depth), m_graph(depth) {
    ChooseAndStartDevice();
}

std::vector<uint8_t>& CVideoSourceWnd::VideoFrame() {
    if (m_videoFrame.empty()) {
        // Until the first frame arrives the buffer is a valid black picture.
        m_videoFrame.assign(kFrameBufferSize, 0);
        if (m_depth == 32 || m_depth == 16)
            WriteFrameHeaders(m_videoFrame.data(), m_depth,
                              static_cast<uint32_t>(FramePixelBytes(m_depth)));
    }
    return m_videoFrame;
}

const std::vector<std::string>& CVideoSourceWnd::BuildDeviceNames() {
    m_deviceNames.clear();
    const int count = m_graph.EnumerateDevices();
    for (int i = 0; i < count; ++i)
        m_deviceNames.push_back(m_graph.GetDeviceInfo(i)->DisplayName());
    return m_deviceNames;
}

void CVideoSourceWnd::ChooseAndStartDevice() {
    BuildDeviceNames();
    m_selectedDevice = -1;
    const CDeviceChoice choice = ChooseDevice(m_deviceNames, m_settings.VIDEO_SRC);
    for (const auto& text : choice.messages)
        AppMessageBox(text);
    if (choice.index < 0)
        return;
    m_selectedDevice = choice.index;
    m_settings.VIDEO_SRC = m_deviceNames[static_cast<size_t>(choice.index)];
    if (!m_graph.OpenDevice(choice.index)) {
        AppMessageBox("VIDEO INPUT FAILED!");
        return;
    }
    m_graph.AttachWindow();
    if (!m_graph.Run())
        AppMessageBox("VIDEO Run() FAILED!");
}

const std::vector<uint8_t>& CVideoSourceWnd::FetchPicture() {
    if (m_graph.FetchPicture())
        ++m_frameSequence;
    return m_graph.LastPicture();
}

uint8_t* CVideoSourceWnd::BlackPicture() {
    std::vector<uint8_t>& frame = VideoFrame();
    uint8_t* area = frame.data() + kFrameHeaderSize;
    std::fill_n(area, std::min(FramePixelBytes(m_depth), frame.size() - kFrameHeaderSize), 0);
    return area;
}

int CVideoSourceWnd::GetFrame(uint8_t*& pixels, bool fetch) {
    std::vector<uint8_t>& frame = VideoFrame();
    if (fetch) {
        // The frame buffer gets lines burnt into it after every fetch; a fetch
        // that times out (a stalled camera) or whose conversion failed must
        // hand out the last clean picture again, not the one already painted
        // on. The capture keeps that picture, so each step copies it once.
        const std::vector<uint8_t>& picture = FetchPicture();
        const size_t bytes = std::min(picture.size(), frame.size() - kFrameHeaderSize);
        if (bytes > 0) {
            WriteFrameHeaders(frame.data(), m_depth, static_cast<uint32_t>(bytes));
            std::copy_n(picture.begin(), bytes, frame.data() + kFrameHeaderSize);
        } else {
            BlackPicture();
        }
    }
    pixels = frame.data() + kFrameHeaderSize;
    return static_cast<int>(kFrameBufferSize);
}

const uint8_t* CVideoSourceWnd::FetchFrameToRead() {
    // The capture's last good picture is left alone until the next fetch.
    const std::vector<uint8_t>& picture = FetchPicture();
    return picture.size() >= FramePixelBytes(m_depth) ? picture.data() : BlackPicture();
}
