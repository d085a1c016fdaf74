#pragma once
#include <string>

// A window whose text shows the progress of a blocking fetch. The fetch blocks
// the message loop, so an implementation must redraw at once.
class IStatusWindow {
public:
    virtual ~IStatusWindow() = default;
    virtual void SetStatusText(const std::string& text) = 0;
};
