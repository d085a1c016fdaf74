// The capture graph on virtual devices: listing, the open/attach/run/detach
// rules and sources that stall or end, as a camera would.
#include "FifoCamera.h"
#include "RecordingSinks.h"
#include "RunCommand.h"
#include "capture_support.h"
#include "frame/FrameFormat.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

namespace {

const char* const kPattern = "lavfi:testsrc2=s=640x480:r=25";
// One picture, then the next one an hour later: a camera that stops delivering.
const char* const kStalled = "lavfi:color=c=gray:s=320x240:r=25,setpts='if(eq(N,0),0,PTS+3600/TB)'";
// Four pictures, then the end of the stream: an unplugged camera.
const char* const kEnding = "lavfi:color=c=gray:s=320x240:r=25:d=0.16";

std::string Devices(const std::vector<std::pair<std::string, std::string>>& devices) {
    std::string lines = "# virtual cameras\n";
    for (const auto& [name, source] : devices)
        lines += name + "|" + source + "\n";
    return lines;
}

class CaptureGraph : public ::testing::Test {
protected:
    void SetUp() override { m_real = RealCameraCount(); }
    int m_real = 0;
};

TEST_F(CaptureGraph, VirtualDevicesFollowTheCamerasInFileOrder) {
    CVirtualDevices devices(Devices(
        {{"Scene", kPattern}, {"Clip", "file:/nowhere/clip.mkv"}, {"Spare", "v4l2:/dev/video99"}}));
    CCaptureGraph graph;
    ASSERT_EQ(graph.EnumerateDevices(), m_real + 3);
    EXPECT_EQ(graph.GetDeviceInfo(m_real)->DisplayName(), "Scene");
    EXPECT_EQ(graph.GetDeviceInfo(m_real + 1)->DisplayName(), "Clip");
    EXPECT_EQ(graph.GetDeviceInfo(m_real + 2)->DisplayName(), "Spare");
    EXPECT_EQ(graph.GetDeviceInfo(m_real + 2)->devicePath, "v4l2:/dev/video99");
    EXPECT_EQ(graph.GetDeviceInfo(-1), nullptr);
    EXPECT_EQ(graph.GetDeviceInfo(m_real + 3), nullptr);

    // The headless program lists the same names, one a line.
    const CommandResult listed = RunCommand(OCULON_HEADLESS_EXE " --list-devices");
    EXPECT_EQ(listed.exitCode, 0);
    std::string expected;
    for (int i = 0; i < graph.DeviceCount(); ++i)
        expected += graph.GetDeviceInfo(i)->DisplayName() + "\n";
    EXPECT_EQ(listed.output, expected);
}

TEST_F(CaptureGraph, WithoutDevicesNothingOpens) {
    if (m_real > 0)
        GTEST_SKIP() << "a camera is plugged in";
    CVirtualDevices devices("");
    CCaptureGraph graph;
    EXPECT_EQ(graph.EnumerateDevices(), 0);
    EXPECT_FALSE(graph.OpenDevice(0));
    EXPECT_EQ(graph.DeviceIndex(), -1);
    EXPECT_FALSE(graph.AttachWindow());
}

TEST_F(CaptureGraph, StatesFollowOpenAttachRunDetach) {
    CVirtualDevices devices(Devices({{"Scene", kPattern}}));
    CCaptureGraph graph;
    graph.EnumerateDevices();
    uint8_t buffer[kFrameBufferSize];

    EXPECT_EQ(graph.Width(), 0);
    EXPECT_FALSE(graph.Run()) << "Run before AttachWindow";
    ASSERT_TRUE(graph.OpenDevice(m_real));
    EXPECT_EQ(graph.DeviceIndex(), m_real);
    // A 640 x 480 source is seen as the working frame.
    EXPECT_EQ(graph.Width(), 320);
    EXPECT_EQ(graph.Height(), 240);
    EXPECT_EQ(graph.FetchTimeoutMs(), 768);
    EXPECT_FALSE(graph.IsAttached());
    EXPECT_EQ(graph.FetchFrame(buffer, sizeof buffer), 0u) << "open but detached";

    ASSERT_TRUE(graph.AttachWindow());
    EXPECT_FALSE(graph.AttachWindow()) << "second AttachWindow";
    EXPECT_TRUE(graph.IsAttached());
    EXPECT_TRUE(graph.IsStopped());
    EXPECT_EQ(graph.FetchFrame(buffer, sizeof buffer), 0u) << "attached but stopped";

    ASSERT_TRUE(graph.Run());
    EXPECT_FALSE(graph.Run()) << "second Run";
    EXPECT_EQ(graph.FetchFrame(buffer, sizeof buffer), kFrameBufferSize);

    EXPECT_TRUE(graph.DetachWindow());
    EXPECT_FALSE(graph.DetachWindow());
    EXPECT_TRUE(graph.IsStopped());
    EXPECT_EQ(graph.DeviceIndex(), m_real) << "detaching keeps the device open";

    // The same device streams again after a new attach.
    ASSERT_TRUE(graph.AttachWindow());
    ASSERT_TRUE(graph.Run());
    EXPECT_EQ(graph.FetchFrame(buffer, sizeof buffer), kFrameBufferSize);

    // An index past the list fails and leaves the device open but stopped.
    EXPECT_FALSE(graph.OpenDevice(graph.DeviceCount()));
    EXPECT_FALSE(graph.IsAttached());
    EXPECT_EQ(graph.DeviceIndex(), m_real);
    ASSERT_TRUE(graph.AttachWindow());

    // -1 only closes.
    EXPECT_TRUE(graph.OpenDevice(-1));
    EXPECT_EQ(graph.DeviceIndex(), -1);
    EXPECT_FALSE(graph.IsAttached());
    EXPECT_FALSE(graph.AttachWindow());

    graph.CloseAll();
    EXPECT_EQ(graph.DeviceCount(), 0);
    EXPECT_EQ(graph.Width(), 0);
    EXPECT_EQ(graph.Height(), 0);
}

TEST_F(CaptureGraph, DevicesThatCannotBeReadFailToOpen) {
    CVirtualDevices devices(Devices({{"Broken graph", "lavfi:nosuchfilter"},
                                     {"Missing file", "file:/nowhere/clip.mkv"},
                                     {"Missing camera", "v4l2:/dev/video99"},
                                     {"Scene", kPattern}}));
    CCaptureGraph graph;
    graph.EnumerateDevices();
    ASSERT_TRUE(graph.OpenDevice(m_real + 3));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(graph.OpenDevice(m_real + i))
            << graph.GetDeviceInfo(m_real + i)->DisplayName();
        EXPECT_EQ(graph.DeviceIndex(), -1);
        EXPECT_FALSE(graph.AttachWindow());
    }
}

TEST_F(CaptureGraph, UnsupportedDepthFailsToOpen) {
    CVirtualDevices devices(Devices({{"Scene", kPattern}}));
    CCaptureGraph graph(24);
    graph.EnumerateDevices();
    EXPECT_FALSE(graph.OpenDevice(m_real));
}

TEST_F(CaptureGraph, AStalledSourceTimesOutAndLeavesTheBufferAlone) {
    CVirtualDevices devices(Devices({{"Stalled", kStalled}}));
    CCaptureGraph graph;
    graph.EnumerateDevices();
    ASSERT_TRUE(graph.OpenDevice(m_real));
    ASSERT_TRUE(graph.AttachWindow());
    ASSERT_TRUE(graph.Run());
    std::vector<uint8_t> buffer(kFrameBufferSize, 0x5A);
    ASSERT_EQ(graph.FetchFrame(buffer.data(), buffer.size()), kFrameBufferSize);
    const std::vector<uint8_t> first = buffer;
    EXPECT_EQ(graph.FetchFrame(buffer.data(), buffer.size()), 0u);
    EXPECT_EQ(buffer, first);
    EXPECT_FALSE(graph.SourceEnded()) << "a stall is not an end";
    // Stopping does not wait for the stalled picture.
    EXPECT_TRUE(graph.DetachWindow());
}

TEST_F(CaptureGraph, ASourceThatEndsKeepsTheGraphUsable) {
    CVirtualDevices devices(Devices({{"Ending", kEnding}, {"Scene", kPattern}}));
    CCaptureGraph graph;
    graph.SetReconnectDelays(std::chrono::hours(1), std::chrono::hours(1)); // not back soon
    graph.EnumerateDevices();
    ASSERT_TRUE(graph.OpenDevice(m_real));
    ASSERT_TRUE(graph.AttachWindow());
    ASSERT_TRUE(graph.Run());
    std::vector<uint8_t> buffer(kFrameBufferSize, 0x5A);
    // Fetch until the pictures run out; the last good frame stays.
    int frames = 0;
    while (graph.FetchFrame(buffer.data(), buffer.size()) == kFrameBufferSize)
        ++frames;
    EXPECT_GE(frames, 1);
    EXPECT_LE(frames, 4);
    const std::vector<uint8_t> last = buffer;
    EXPECT_EQ(graph.FetchFrame(buffer.data(), buffer.size()), 0u);
    EXPECT_EQ(buffer, last);
    EXPECT_TRUE(graph.IsAttached());
    EXPECT_TRUE(graph.SourceEnded());

    // Another device can be chosen afterwards.
    ASSERT_TRUE(graph.OpenDevice(m_real + 1));
    ASSERT_TRUE(graph.AttachWindow());
    ASSERT_TRUE(graph.Run());
    EXPECT_EQ(graph.FetchFrame(buffer.data(), buffer.size()), kFrameBufferSize);
    EXPECT_FALSE(graph.SourceEnded());
}

TEST_F(CaptureGraph, AClipOpensAgainAfterACaptureRan) {
    CVirtualDevices devices("");
    const std::string clip = devices.Dir().File("clip.bmp");
    WriteBmp24(clip, 320, 240, [](int, int) { return std::array<uint8_t, 3>{10, 20, 30}; });
    WriteFileBytes(devices.Dir().File("devices.txt"), "Clip|file:" + clip + "\n");
    CCaptureGraph graph;
    graph.EnumerateDevices();
    std::vector<uint8_t> buffer(kFrameBufferSize);
    for (int run = 1; run <= 2; ++run) {
        ASSERT_TRUE(graph.OpenDevice(m_real)) << "run " << run;
        ASSERT_TRUE(graph.AttachWindow());
        ASSERT_TRUE(graph.Run());
        EXPECT_EQ(graph.FetchFrame(buffer.data(), buffer.size()), kFrameBufferSize);
        EXPECT_TRUE(graph.DetachWindow());
    }
}

class PipeCamera : public CaptureGraph {
protected:
    void Start(CCaptureGraph& graph) {
        WriteFileBytes(m_list, m_camera.DeviceLine("Pipe"));
        m_camera.Start();
        graph.EnumerateDevices();
        ASSERT_TRUE(graph.OpenDevice(m_real));
        ASSERT_TRUE(graph.AttachWindow());
        ASSERT_TRUE(graph.Run());
        ASSERT_EQ(graph.FetchFrame(m_buffer.data(), m_buffer.size()), kFrameBufferSize);
    }
    size_t Fetch(CCaptureGraph& graph) {
        return graph.FetchFrame(m_buffer.data(), m_buffer.size());
    }

    CVirtualDevices m_devices{""};
    std::string m_list = m_devices.Dir().File("devices.txt");
    CFifoCamera m_camera{m_devices.Dir().File("camera.fifo"), "testsrc2=s=320x240:r=25"};
    std::vector<uint8_t> m_buffer = std::vector<uint8_t>(kFrameBufferSize);
};

TEST_F(PipeCamera, AStalledPipeDoesNotHoldUpTheClose) {
    CCaptureGraph graph;
    Start(graph);
    m_camera.Stall();
    for (int i = 0; i < 100 && Fetch(graph) != 0; ++i) {
    } // what the pipe still held
    EXPECT_FALSE(graph.SourceEnded());
    auto closing = std::async(std::launch::async, [&] { graph.CloseAll(); });
    // Not a speed check: a close that hangs on the pipe never ends on its own.
    const bool closed = closing.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    m_camera.Stop(); // ends a read that still blocks
    closing.wait();
    EXPECT_TRUE(closed) << "the close waited for the stalled pipe";
}

TEST_F(PipeCamera, ALostCameraIsFoundAgainByItsIdentityAndStreamsOn) {
    CRecordingEventLog events;
    CCaptureGraph graph;
    graph.SetReconnectDelays(std::chrono::milliseconds(50), std::chrono::milliseconds(200));
    Start(graph);
    m_camera.Stop();
    for (int i = 0; i < 200 && !graph.SourceEnded(); ++i)
        Fetch(graph); // what the pipe still held, then the end
    ASSERT_TRUE(graph.SourceEnded());
    EXPECT_EQ(Fetch(graph), 0u);
    // Back, at another place in the list.
    WriteFileBytes(m_list, Devices({{"Scene", kPattern}}) + m_camera.DeviceLine("Pipe"));
    m_camera.Start();
    for (int i = 0; i < 600 && graph.SourceEnded(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_FALSE(graph.SourceEnded());
    EXPECT_EQ(Fetch(graph), kFrameBufferSize);
    EXPECT_EQ(events.Lines(), (std::vector<std::string>{"camera: lost Pipe", "camera: back Pipe"}));
}

} // namespace
