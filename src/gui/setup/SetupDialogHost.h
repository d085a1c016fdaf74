#pragma once
#include <functional>

// The setup dialog as the main window and the status panel open it, on one of
// its pages (0 "Video Device", 1 "Motion Detect", 2 "Video Capture", 3 "Email
// Setup").
namespace setup_dialog {

enum Page { kVideoDevice = 0, kMotionDetect = 1, kVideoCapture = 2, kEmailSetup = 3 };

// Runs the dialog modally on `page`.
using OpenFn = std::function<void(int page)>;

} // namespace setup_dialog
