#pragma once
#include "app/MessageSink.h"

// Shows the program's message boxes as modal Qt message boxes with an OK button.
class CQtMessageSink : public IMessageSink {
public:
    void ShowMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override;
};
