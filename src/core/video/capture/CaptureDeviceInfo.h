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
    // The card name of a camera, the NAME of a virtual device; numbered from the
    // second on where several share it ("HD Webcam (2)").
    std::string friendlyName;
    std::string description; // empty: none (cameras have none)
    std::string devicePath;  // /dev/videoN, or the SOURCE text of a virtual device; kept only
    CaptureSourceKind kind = CaptureSourceKind::V4l2;
    std::string url; // what FFmpeg opens: device node, filter graph or file path
    // The same camera after a re-plug, whatever node it gets: its /dev/v4l/by-id
    // link, else its card and bus; a virtual device's SOURCE text.
    std::string stableId;

    // The name the user sees and VIDEO_SRC remembers.
    const std::string& DisplayName() const {
        return description.empty() ? friendlyName : description;
    }
};
