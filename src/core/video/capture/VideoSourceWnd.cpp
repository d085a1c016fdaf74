#include "video/capture/VideoSourceWnd.h"

#include "app/AppSettings.h"
#include "app/MessageSink.h"
#include "video/FrameFormat.h"
#include "video/capture/DeviceChoice.h"
#include "video/capture/FrameBmp.h"

CVideoSourceWnd::CVideoSourceWnd(CAppSettings& settings, int depth)
    : m_settings(settings), m_depth(depth), m_graph(depth), m_videoFrame(kFrameBufferSize, 0) {
    // Until the first frame arrives the buffer is a valid black picture.
    if (depth == 32 || depth == 16)
        WriteFrameHeaders(m_videoFrame.data(), depth,
                          static_cast<uint32_t>(FramePixelBytes(depth)));
    ChooseAndStartDevice();
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
    const DeviceChoice choice = ChooseDevice(m_deviceNames, m_settings.VIDEO_SRC);
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

int CVideoSourceWnd::GetFrame(uint8_t*& pixels, bool fetch) {
    if (fetch)
        m_graph.FetchFrame(m_videoFrame.data(), m_videoFrame.size());
    pixels = m_videoFrame.data() + kFrameHeaderSize;
    return static_cast<int>(kFrameBufferSize);
}
