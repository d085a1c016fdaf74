#include "video/capture/DeviceChoice.h"

namespace {

const char* const kSetupHint = "\r\n\r\nTo select another device\r\nuse the setup screen.";

} // namespace

std::string NoDeviceMessage() {
    return std::string("Oculon cannot find any\r\n") +
           "suitable video devices on your PC.\r\n\r\n" + "Please follow these steps:\r\n\r\n" +
           "[1] Shut Down Oculon.\r\n" + "[2] Install/Plug-In video device.\r\n" +
           "[3] Restart Oculon.\r\n\r\n" + "HINT:\r\n" + "Oculon is compatible with\r\n" +
           "any webcam.\r\n";
}

std::string MissingDeviceMessage(const std::string& remembered, const std::string& replacement,
                                 bool severalDevices) {
    std::string text = "Unable to locate the selected\r\nvideo device on your PC!\r\n\r\nCannot "
                       "find:\r\n\"";
    text += remembered;
    text += "\"\r\n\r\nUsing instead:\r\n\"";
    text += replacement;
    text += "\"";
    if (severalDevices)
        text += kSetupHint;
    return text;
}

std::string ChosenDeviceMessage(const std::string& chosen) {
    return std::string("Oculon has chosen to use\r\n") + "the following video device:\r\n\r\n" +
           "Device name:\r\n\"" + chosen + "\"" + kSetupHint;
}

CDeviceChoice ChooseDevice(const std::vector<std::string>& names, const std::string& remembered) {
    CDeviceChoice choice;
    if (names.empty()) {
        choice.messages.push_back(NoDeviceMessage());
        return choice;
    }
    const bool several = names.size() >= 2;
    if (!remembered.empty()) {
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i] == remembered) {
                choice.index = static_cast<int>(i);
                return choice;
            }
        }
        choice.messages.push_back(MissingDeviceMessage(remembered, names[0], several));
        choice.index = 0;
        return choice;
    }
    choice.index = 0;
    if (several)
        choice.messages.push_back(ChosenDeviceMessage(names[0]));
    return choice;
}
