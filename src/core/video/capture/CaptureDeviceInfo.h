#pragma once
#include <string>

// How a device's frames are read.
enum class CaptureSourceKind {
    V4l2,  // a video4linux2 capture device (a camera), streams in real time
    Lavfi, // an FFmpeg filter graph, paced like a camera
    File,  // a video file played as a camera: looping, paced by its time stamps
};

// One video input device in enumeration order.
struct CaptureDeviceInfo {
    std::string friendlyName; // the card name of a camera, the NAME of a virtual device
    std::string description;  // empty: none (cameras have none)
    std::string devicePath;   // /dev/videoN, or the SOURCE text of a virtual device; kept only
    CaptureSourceKind kind = CaptureSourceKind::V4l2;
    std::string url; // what FFmpeg opens: device node, filter graph or file path

    // The name the user sees and VIDEO_SRC remembers.
    const std::string& DisplayName() const {
        return description.empty() ? friendlyName : description;
    }
};
