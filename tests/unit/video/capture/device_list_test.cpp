#include "video/capture/DeviceList.h"

#include <gtest/gtest.h>
#include <linux/videodev2.h>

TEST(VirtualDevices, LinesAreNameAndSourceSplitAtTheFirstBar) {
    const auto devices = ParseVirtualDevices("# scripted scenes\r\n"
                                             "\n"
                                             "Grey scene|lavfi:color=c=gray:s=320x240\r\n"
                                             "Clip|file:/tmp/a|b.mkv\n"
                                             "Spare camera|v4l2:/dev/video7");
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].DisplayName(), "Grey scene");
    EXPECT_EQ(devices[0].kind, CaptureSourceKind::Lavfi);
    EXPECT_EQ(devices[0].url, "color=c=gray:s=320x240");
    EXPECT_EQ(devices[0].devicePath, "lavfi:color=c=gray:s=320x240");
    EXPECT_EQ(devices[1].kind, CaptureSourceKind::File);
    EXPECT_EQ(devices[1].url, "/tmp/a|b.mkv");
    EXPECT_EQ(devices[2].kind, CaptureSourceKind::V4l2);
    EXPECT_EQ(devices[2].url, "/dev/video7");
}

TEST(VirtualDevices, MalformedLinesAreLeftOut) {
    const auto devices = ParseVirtualDevices("no bar here\n"
                                             "|lavfi:nullsrc\n"
                                             "Unknown|rtsp://camera\n"
                                             "Empty|file:\n"
                                             "# Hidden|lavfi:nullsrc\n"
                                             "Kept|lavfi:nullsrc\n");
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].friendlyName, "Kept");
}

TEST(V4l2Devices, OnlySinglePlaneCaptureNodesAreListed) {
    // The node's own capabilities count when the driver reports them.
    EXPECT_TRUE(HasVideoCaptureCapability(V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE |
                                              V4L2_CAP_DEVICE_CAPS,
                                          V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING));
    EXPECT_FALSE(HasVideoCaptureCapability(V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE |
                                               V4L2_CAP_DEVICE_CAPS,
                                           V4L2_CAP_META_CAPTURE));
    EXPECT_TRUE(HasVideoCaptureCapability(V4L2_CAP_VIDEO_CAPTURE, 0));
    EXPECT_FALSE(HasVideoCaptureCapability(V4L2_CAP_VIDEO_CAPTURE_MPLANE, 0));
    EXPECT_FALSE(HasVideoCaptureCapability(V4L2_CAP_VIDEO_OUTPUT, 0));
}

TEST(V4l2Devices, NodesOrderByTheirNumber) {
    EXPECT_EQ(VideoNodeNumber("/dev/video0"), 0);
    EXPECT_EQ(VideoNodeNumber("/dev/video12"), 12);
    EXPECT_LT(VideoNodeNumber("/dev/video2"), VideoNodeNumber("/dev/video10"));
    EXPECT_EQ(VideoNodeNumber("/dev/camera"), -1);
}
