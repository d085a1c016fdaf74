#pragma once
#include "video/capture/CaptureDeviceInfo.h"

#include <cstdint>
#include <string>
#include <vector>

// Loads FFmpeg's device library and registers its inputs (v4l2, lavfi); safe
// to call from anywhere, any number of times: it runs once per process. False
// when the library cannot be loaded. Files need no registration.
bool EnsureCaptureDevicesRegistered();

// Every V4L2 video-capture device (in /dev/videoN number order), then the
// virtual devices listed in the file named by OCULON_DEVICES; names shared by
// several devices are numbered (NumberSameNames).
std::vector<CaptureDeviceInfo> ListCaptureDevices();
// The device of ListCaptureDevices with that stable identity; false when none.
bool FindCaptureDevice(const std::string& stableId, CaptureDeviceInfo& found);

// Gives the second and later devices of one display name the names "NAME (2)",
// "NAME (3)" ..., ranked by their stable identity.
void NumberSameNames(std::vector<CaptureDeviceInfo>& devices);

// The link in `folder` (the by-id folder of V4L2) that leads to `node`; "" when none.
std::string ByIdLink(const std::string& node, const std::string& folder);

// The lines "NAME|SOURCE" of an OCULON_DEVICES file. Empty lines, lines
// starting with '#', lines without '|' and sources with an unknown prefix are left out.
std::vector<CaptureDeviceInfo> ParseVirtualDevices(const std::string& text);

// A V4L2 node is listed when it captures video in the single-plane API (what
// the v4l2 input reads); metadata nodes of the same camera are not.
bool HasVideoCaptureCapability(uint32_t capabilities, uint32_t deviceCaps);

// The number N of "/dev/videoN" for ordering; -1 when the path has no number.
int VideoNodeNumber(const std::string& path);
