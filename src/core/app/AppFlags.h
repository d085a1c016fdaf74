#pragma once

// Process-wide flags, read and written on the user-interface thread only.
extern bool g_bCloseRequested; // a close was asked for; the main tick finishes it
extern bool g_bModalOpen;      // the setup dialog is up; surveillance steps pause
extern bool g_bRestartOnClose; // start the program again once it has closed
