#pragma once
#include <functional>

// The setup dialog as the main window and the status panel open it, on one of
// its pages (0 "Video Device", 1 "Motion Detect", 2 "Video Capture", 3 "Email
// Setup"). Until a dialog is installed, opening it shows nothing.
namespace setup_dialog {

enum Page { kVideoDevice = 0, kMotionDetect = 1, kVideoCapture = 2, kEmailSetup = 3 };

using OpenFn = std::function<void(int page)>;

// Installs the function that runs the dialog modally; returns the previous one.
OpenFn Install(OpenFn open);
// Runs the dialog on `page`, or nothing when none is installed.
void Open(int page);

} // namespace setup_dialog
