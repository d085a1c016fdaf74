#include "TempDir.h"
#include "video/capture/DeviceList.h"

#include <filesystem>
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
    // A virtual device is the same device as long as its source is.
    EXPECT_EQ(devices[1].stableId, "file:/tmp/a|b.mkv");
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

TEST(DeviceNames, SharedNamesAreNumberedByStableIdentity) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> devices; // name, stable identity
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {{{"HD Webcam", "by-id/usb-B"}, {"HD Webcam", "by-id/usb-A"}, {"Other", "by-id/usb-C"}},
         {"HD Webcam (2)", "HD Webcam", "Other"}},
        {{{"Cam", "3"}, {"Cam", "1"}, {"Cam", "2"}}, {"Cam (3)", "Cam", "Cam (2)"}},
        // A name that is taken already is passed over.
        {{{"Cam", "1"}, {"Cam (2)", "9"}, {"Cam", "2"}}, {"Cam", "Cam (2)", "Cam (3)"}},
        {{{"A", "1"}, {"B", "1"}}, {"A", "B"}},
    };
    for (const auto& c : cases) {
        std::vector<CaptureDeviceInfo> devices;
        for (const auto& [name, id] : c.devices) {
            CaptureDeviceInfo d;
            d.friendlyName = name;
            d.stableId = id;
            devices.push_back(d);
        }
        NumberSameNames(devices);
        std::vector<std::string> names;
        for (const auto& d : devices)
            names.push_back(d.DisplayName());
        EXPECT_EQ(names, c.names);
    }
}

TEST(DeviceNames, ACameraIsKnownByItsByIdLinkWhateverItsNode) {
    CTempDir dir;
    for (const char* node : {"video0", "video1", "video2"})
        WriteFileBytes(dir.File(node), "");
    std::filesystem::create_directory(dir.File("by-id"));
    std::filesystem::create_symlink("../video2", dir.File("by-id/usb-Cam_1234-video-index0"));
    std::filesystem::create_symlink(dir.File("video0"), dir.File("by-id/usb-Other-video-index0"));
    EXPECT_EQ(ByIdLink(dir.File("video2"), dir.File("by-id")),
              dir.File("by-id/usb-Cam_1234-video-index0"));
    EXPECT_EQ(ByIdLink(dir.File("video0"), dir.File("by-id")),
              dir.File("by-id/usb-Other-video-index0"));
    EXPECT_EQ(ByIdLink(dir.File("video1"), dir.File("by-id")), "");
    EXPECT_EQ(ByIdLink(dir.File("video2"), dir.File("none")), "");
}
