#include "video/capture/CaptureGraph.h"

#include "app/EventLog.h"
#include "frame/FrameFormat.h"
#include "video/capture/DeviceList.h"
#include "video/capture/FrameBmp.h"
#include "video/capture/ReconnectDelays.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace {

// How long a camera that has no frame yet is left alone before the next read.
constexpr auto kRetryDelay = std::chrono::milliseconds(5);

} // namespace

CCaptureGraph::CCaptureGraph(int depth) : m_depth(depth) {}

CCaptureGraph::~CCaptureGraph() {
    CloseAll();
}

int CCaptureGraph::EnumerateDevices() {
    m_devices = ListCaptureDevices();
    return DeviceCount();
}

const CaptureDeviceInfo* CCaptureGraph::GetDeviceInfo(int index) const {
    if (index < 0 || index >= DeviceCount())
        return nullptr;
    return &m_devices[static_cast<size_t>(index)];
}

bool CCaptureGraph::OpenDevice(int index) {
    DetachWindow();
    if (index != -1 && !GetDeviceInfo(index))
        return false;
    m_input.Close();
    m_deviceIndex = -1;
    // No thread runs now; the flag of the last one must not abort this open.
    m_stopThread = false;
    if (index == -1)
        return true;
    if (m_depth != 32 && m_depth != 16)
        return false;
    if (!m_input.Open(m_devices[static_cast<size_t>(index)], &m_stopThread))
        return false;
    // Whatever the device delivers is scaled to the working frame.
    m_width = kFrameWidth;
    m_height = kFrameHeight;
    m_deviceIndex = index;
    return true;
}

bool CCaptureGraph::AttachWindow() {
    if (m_attached || m_deviceIndex == -1 || !m_input.IsOpen())
        return false;
    m_stopThread = false;
    m_sourceEnded = false;
    m_threadDevice = m_devices[static_cast<size_t>(m_deviceIndex)];
    {
        const std::lock_guard<std::mutex> lock(m_controlMutex);
        m_streaming = false;
    }
    try {
        m_thread = std::thread(&CCaptureGraph::CaptureThread, this);
    } catch (const std::system_error&) {
        return false;
    }
    m_attached = true;
    return true;
}

bool CCaptureGraph::Run() {
    if (!m_attached || !m_stopped)
        return false;
    {
        const std::lock_guard<std::mutex> lock(m_controlMutex);
        m_streaming = true;
    }
    m_control.notify_all();
    m_stopped = false;
    return true;
}

bool CCaptureGraph::DetachWindow() {
    if (!m_attached)
        return false;
    StopThread();
    m_stopped = true;
    m_attached = false;
    return true;
}

void CCaptureGraph::StopThread() {
    {
        const std::lock_guard<std::mutex> lock(m_controlMutex);
        m_stopThread = true;
    }
    m_control.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool CCaptureGraph::AwaitFrame(const std::vector<uint8_t>*& frame) {
    // A source that has ended will not answer: no point in waiting for it.
    if (m_stopped || !m_attached || m_sourceEnded.load(std::memory_order_acquire))
        return false;
    return m_handOff.Fetch(std::chrono::milliseconds(FetchTimeoutMs()), frame);
}

bool CCaptureGraph::FetchPicture() {
    const std::vector<uint8_t>* frame = nullptr;
    return AwaitFrame(frame) && !frame->empty();
}

void CCaptureGraph::PrepareFrame(std::chrono::microseconds in) {
    if (m_stopped || !m_attached || m_sourceEnded.load(std::memory_order_acquire))
        return;
    m_handOff.Prepare(CFrameHandOff::Clock::now() + in);
}

size_t CCaptureGraph::FetchFrame(uint8_t* out, size_t capacity) {
    const std::vector<uint8_t>* frame = nullptr;
    if (!AwaitFrame(frame))
        return 0;
    uint8_t headers[kFrameHeaderSize];
    WriteFrameHeaders(headers, m_depth, static_cast<uint32_t>(frame->size()));
    const size_t total = kFrameHeaderSize + frame->size();
    std::memcpy(out, headers, std::min(capacity, kFrameHeaderSize));
    if (capacity > kFrameHeaderSize && !frame->empty())
        std::memcpy(out + kFrameHeaderSize, frame->data(),
                    std::min(capacity - kFrameHeaderSize, frame->size()));
    return total;
}

void CCaptureGraph::CloseAll() {
    DetachWindow();
    m_input.Close();
    m_devices.clear();
    m_width = 0;
    m_height = 0;
    m_deviceIndex = -1;
}

bool CCaptureGraph::WaitUntil(std::chrono::steady_clock::time_point due) {
    std::unique_lock<std::mutex> lock(m_controlMutex);
    return !m_control.wait_until(lock, due, [&] { return m_stopThread.load(); });
}

void CCaptureGraph::CaptureThread() {
    {
        std::unique_lock<std::mutex> lock(m_controlMutex);
        m_control.wait(lock, [&] { return m_streaming || m_stopThread.load(); });
    }
    // A virtual source starts its clock when streaming starts.
    m_input.ResetPacing();
    while (!m_stopThread) {
        switch (m_input.ReadVideoPacket()) {
        case CCaptureInput::ReadResult::Again:
            WaitUntil(std::chrono::steady_clock::now() + kRetryDelay);
            continue;
        case CCaptureInput::ReadResult::Ended:
            if (m_stopThread || !Reconnect())
                return;
            continue;
        case CCaptureInput::ReadResult::Packet:
            break;
        }
        if (m_input.IsPaced() && !WaitUntil(m_input.DueTime()))
            break;
        const auto now = CFrameHandOff::Clock::now();
        NotePacketTime(now);
        // Packets nobody asked for cost this one test.
        if (!m_handOff.Wanted(now, m_packetInterval) && !m_input.NeedsEveryPacket()) {
            m_input.DropPacket();
            continue;
        }
        const AVFrame* picture = m_input.DecodePacket();
        if (!picture || !m_handOff.Wanted(now, m_packetInterval))
            continue;
        const uint32_t ticket = m_handOff.Take();
        if (ticket == 0)
            continue;
        m_converter.Convert(*picture, m_depth, m_handOff.WorkBuffer());
        m_handOff.Deliver(ticket);
    }
}

void CCaptureGraph::NotePacketTime(CFrameHandOff::Clock::time_point now) {
    // A gap longer than a second is a stall or a reopening, not the rate.
    const auto gap = now - m_lastPacket;
    m_lastPacket = now;
    if (gap <= std::chrono::seconds(0) || gap > std::chrono::seconds(1))
        return;
    m_packetInterval = m_packetInterval.count() == 0 ? gap : (3 * m_packetInterval + gap) / 4;
}

bool CCaptureGraph::Reconnect() {
    // An unplugged camera or a finished source: fetches fail at once until it is back.
    m_sourceEnded.store(true, std::memory_order_release);
    const std::string name = m_threadDevice.DisplayName();
    LogEvent("camera: lost " + name);
    m_input.Close();
    CReconnectDelays delays(m_retryFirst, m_retryLongest);
    for (;;) {
        if (!WaitUntil(std::chrono::steady_clock::now() + delays.Next()))
            return false;
        // Re-plugged, a camera may come back under another node.
        CaptureDeviceInfo device;
        if (!FindCaptureDevice(m_threadDevice.stableId, device))
            continue;
        if (!m_input.Open(device, &m_stopThread)) {
            if (m_stopThread)
                return false;
            continue;
        }
        m_input.ResetPacing();
        m_sourceEnded.store(false, std::memory_order_release);
        LogEvent("camera: back " + name);
        return true;
    }
}
