#pragma once
#include <string>
#include <vector>

// Which device to start with and what to tell the user about it.
struct CDeviceChoice {
    int index = -1;                    // -1: no device at all
    std::vector<std::string> messages; // in the order they are shown
};

// `names` are the display names in device order; `remembered` is VIDEO_SRC.
// The remembered device is found by exact, case-sensitive name; a missing one
// is replaced by device 0, and so is an empty one.
CDeviceChoice ChooseDevice(const std::vector<std::string>& names, const std::string& remembered);

// The texts shown when no device exists, when the remembered one is missing
// (with the hint when there is a choice), and when the program picked one.
std::string NoDeviceMessage();
std::string MissingDeviceMessage(const std::string& remembered, const std::string& replacement,
                                 bool severalDevices);
std::string ChosenDeviceMessage(const std::string& chosen);
