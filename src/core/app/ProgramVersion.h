#pragma once

// The program's version, shown in the title and compared by the version check.
inline constexpr float kProgramVersion = 2.07f;
