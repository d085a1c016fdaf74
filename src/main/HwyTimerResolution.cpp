#include <cstdint>

// FFmpeg's codec library brings in libhwy (through libjxl). Debian 12's libhwy
// measures its benchmark timer's resolution in a static constructor: 256 x 256
// timer reads, about 5 ms of every start before main, for a figure that only
// its own benchmarks read. Both programs export this definition (see
// CMakeLists.txt), so the loader binds libhwy's call to it and the start skips
// the measurement. Later libhwy versions measure only when asked.
namespace hwy::platform {

// Nothing in this process benchmarks with libhwy; a typical resolution in
// timer ticks keeps the value sensible should anything ever read it.
uint64_t TimerResolution() {
    return 64;
}

} // namespace hwy::platform
