#include "setup/SetupDialogHost.h"

#include <utility>

namespace setup_dialog {

namespace {

OpenFn& Current() {
    static OpenFn open;
    return open;
}

} // namespace

OpenFn Install(OpenFn open) {
    return std::exchange(Current(), std::move(open));
}

void Open(int page) {
    if (Current())
        Current()(page);
}

} // namespace setup_dialog
