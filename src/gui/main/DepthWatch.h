#pragma once

// Watches the display's colour depth at every paint of the video window. The
// frames are kept at the depth the program started with, so a switch between
// 16 and 32 bits while running asks for a restart, and any other depth for a
// close. The first two paints may settle the depth without a restart.
class CDepthWatch {
public:
    struct CVerdict {
        int depth = 32;           // the depth the paint works with
        bool unsupported = false; // neither 16 nor 32 bits: close the program
        bool restart = false;     // switched between 16 and 32 bits: close and start again
    };

    // `displayDepth` is the bits per pixel of the paint's off-screen picture
    // (1 when the system cannot say, which keeps the last good depth).
    CVerdict Observe(int displayDepth);

private:
    static bool Supported(int depth) { return depth == 16 || depth == 32; }

    int m_lastGood = 32;
    int m_previous = 32;
    int m_grace = 2;
};
