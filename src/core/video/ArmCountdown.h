#pragma once

// The arming countdown (seconds until detection is armed, 0 = armed) also says
// that detection is switched off: by a value above the arming delay, which the
// countdown never lowers.
namespace arm_countdown {

// The value written when detection is switched off.
constexpr int Off(int warmUp) {
    return warmUp + 1;
}

// Whether `countdown` says detection is switched off.
constexpr bool IsOff(int countdown, int warmUp) {
    return countdown > warmUp;
}

} // namespace arm_countdown
