// The Lister's view of a file: the player or image viewer window taken in
// as a child of the Lister window, or a small placeholder for folders.
#pragma once
#include <windows.h>

// The window to embed for `path` (a path ending in a backslash is a
// folder), or null when the file is not shown here. Starts the player
// (videos, audio) or the image viewer and blocks until its window is
// found and, for the player, sized; a program that ends meanwhile gives
// null at once. A program path naming a batch file is refused with an
// error box.
HWND ListerLoad(HWND listerWindow, const wchar_t* path);

// Tells the embedded window to close without waiting for it; when its title
// names a file in the temporary folder, gives the program the configured
// time to let go of that file.
void ListerClose(HWND listWindow);

// The host's UI thread is frozen while the closing waits: the setting is
// held to this.
enum { kMaxListerCloseWaitMs = 5000 };

// The wait of ListerClose for a setting: none for 0 or less, at most
// kMaxListerCloseWaitMs.
DWORD ListerCloseWaitMs(int setting);
