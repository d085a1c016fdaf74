#include "video/capture/DeviceList.h"

#include "app/OnDemandLibrary.h"
#include "app/TextFile.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

extern "C" {
#include <libavdevice/version.h>
#include <libavutil/macros.h>
}

namespace {

// A capture node's card and bus, or false when it is no video-capture node.
bool QueryCaptureNode(const std::string& path, std::string& card, std::string& bus) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    v4l2_capability cap{};
    const bool ok = ::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0 &&
                    HasVideoCaptureCapability(cap.capabilities, cap.device_caps);
    ::close(fd);
    auto text = [](const __u8* bytes, size_t size) {
        const char* s = reinterpret_cast<const char*>(bytes);
        return std::string(s, strnlen(s, size));
    };
    card = text(cap.card, sizeof cap.card);
    bus = text(cap.bus_info, sizeof cap.bus_info);
    return ok;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// The capture nodes among /dev/video*, read with V4L2's own query: listing
// cameras must not load FFmpeg's device library (see EnsureCaptureDevicesRegistered).
std::vector<CaptureDeviceInfo> ListV4l2Devices() {
    std::vector<CaptureDeviceInfo> devices;
    DIR* dir = ::opendir("/dev");
    if (!dir)
        return devices;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.rfind("video", 0) != 0)
            continue;
        CaptureDeviceInfo info;
        info.devicePath = "/dev/" + name;
        std::string card, bus;
        if (!QueryCaptureNode(info.devicePath, card, bus))
            continue;
        info.friendlyName = card.empty() ? info.devicePath : card;
        info.kind = CaptureSourceKind::V4l2;
        info.url = info.devicePath;
        info.stableId = ByIdLink(info.devicePath, "/dev/v4l/by-id");
        if (info.stableId.empty())
            info.stableId = "v4l2:" + card + "@" + bus;
        devices.push_back(std::move(info));
    }
    ::closedir(dir);
    // /dev is read in directory order; users expect video0 before video1.
    std::stable_sort(devices.begin(), devices.end(), [](const auto& a, const auto& b) {
        return VideoNodeNumber(a.devicePath) < VideoNodeNumber(b.devicePath);
    });
    return devices;
}

bool StartsWith(const std::string& s, const char* prefix, std::string& rest) {
    const std::string p(prefix);
    if (s.compare(0, p.size(), p) != 0)
        return false;
    rest = s.substr(p.size());
    return true;
}

} // namespace

bool EnsureCaptureDevicesRegistered() {
    // FFmpeg's device library brings some two hundred shared libraries (X11,
    // PulseAudio, JACK, SDL, filters...): loading it at start was most of the
    // program's start-up time and a quarter of its memory. It is loaded when a
    // camera or a filter-graph source is opened, and stays loaded.
    static const bool registered = [] {
        static COnDemandLibrary library("libavdevice.so." AV_STRINGIFY(LIBAVDEVICE_VERSION_MAJOR));
        void (*registerAll)() = nullptr;
        library.Find(registerAll, "avdevice_register_all");
        if (registerAll)
            registerAll();
        return registerAll != nullptr;
    }();
    return registered;
}

bool HasVideoCaptureCapability(uint32_t capabilities, uint32_t deviceCaps) {
    const uint32_t caps = (capabilities & V4L2_CAP_DEVICE_CAPS) ? deviceCaps : capabilities;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

int VideoNodeNumber(const std::string& path) {
    size_t digits = path.size();
    while (digits > 0 && path[digits - 1] >= '0' && path[digits - 1] <= '9')
        --digits;
    if (digits == path.size() || path.size() - digits > 6)
        return -1;
    return std::atoi(path.c_str() + digits);
}

std::vector<CaptureDeviceInfo> ParseVirtualDevices(const std::string& text) {
    std::vector<CaptureDeviceInfo> devices;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t bar = line.find('|');
        if (line.empty() || line[0] == '#' || bar == std::string::npos || bar == 0)
            continue;
        CaptureDeviceInfo info;
        info.friendlyName = line.substr(0, bar);
        info.devicePath = line.substr(bar + 1);
        if (StartsWith(info.devicePath, "lavfi:", info.url))
            info.kind = CaptureSourceKind::Lavfi;
        else if (StartsWith(info.devicePath, "file:", info.url))
            info.kind = CaptureSourceKind::File;
        else if (StartsWith(info.devicePath, "v4l2:", info.url))
            info.kind = CaptureSourceKind::V4l2;
        else
            continue;
        if (info.url.empty())
            continue;
        info.stableId = info.devicePath;
        devices.push_back(std::move(info));
    }
    return devices;
}

std::vector<CaptureDeviceInfo> ListCaptureDevices() {
    std::vector<CaptureDeviceInfo> devices = ListV4l2Devices();
    const char* file = std::getenv("OCULON_DEVICES");
    if (file && *file) {
        for (auto& d : ParseVirtualDevices(CTextFile(file, false).ReadText(false)))
            devices.push_back(std::move(d));
    }
    NumberSameNames(devices);
    return devices;
}

std::string ByIdLink(const std::string& node, const std::string& folder) {
    const std::string target = RealPath(node);
    DIR* dir = target.empty() ? nullptr : ::opendir(folder.c_str());
    if (!dir)
        return "";
    // Several links may name one node; the first by name is as stable as any.
    std::string found;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string link = folder + "/" + name;
        if (RealPath(link) == target && (found.empty() || link < found))
            found = link;
    }
    ::closedir(dir);
    return found;
}

void NumberSameNames(std::vector<CaptureDeviceInfo>& devices) {
    std::vector<size_t> order(devices.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    // Within one name, the rank follows the stable identity, not the node order,
    // so each camera keeps its number across restarts and re-plugs.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const auto& da = devices[a];
        const auto& db = devices[b];
        if (da.DisplayName() != db.DisplayName())
            return da.DisplayName() < db.DisplayName();
        return da.stableId < db.stableId;
    });
    std::vector<std::string> names;
    for (const auto& d : devices)
        names.push_back(d.DisplayName());
    for (size_t i = 0; i < order.size();) {
        size_t end = i + 1;
        while (end < order.size() && names[order[end]] == names[order[i]])
            ++end;
        for (size_t k = i + 1, n = 2; k < end; ++k) {
            std::string numbered;
            do // a name that is taken already, "Cam (2)" itself, is passed over
                numbered = names[order[i]] + " (" + std::to_string(n++) + ")";
            while (std::find(names.begin(), names.end(), numbered) != names.end());
            CaptureDeviceInfo& d = devices[order[k]];
            (d.description.empty() ? d.friendlyName : d.description) = numbered;
            names[order[k]] = numbered;
        }
        i = end;
    }
}

bool FindCaptureDevice(const std::string& stableId, CaptureDeviceInfo& found) {
    for (auto& d : ListCaptureDevices()) {
        if (d.stableId == stableId) {
            found = std::move(d);
            return true;
        }
    }
    return false;
}
