#include <windows.h>

#include "plugin/state.h"

HINSTANCE gModuleInstance = NULL;

// The settings file is found through the instance handle kept here; thread
// notifications are of no use to a plug-in that starts no threads.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        gModuleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
