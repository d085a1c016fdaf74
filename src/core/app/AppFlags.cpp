#include "app/AppFlags.h"

bool g_bCloseRequested = false;
bool g_bModalOpen = false;
bool g_bRestartOnClose = false;
