#include "generators/unrar_library.h"

#include <wchar.h>

#include "common/format.h"
#include "common/messages.h"
#include "plugin/state.h"

// The library's file name for this build of the plug-in.
#ifdef _WIN64
static const wchar_t kUnrarDllName[] = L"UnRAR64.dll";
#else
static const wchar_t kUnrarDllName[] = L"UnRAR.dll";
#endif

static UnrarLibrary gUnrar;
static bool gUnrarLoaded = false;

// Through a generic function type, which the compiler accepts as a cast
// between unrelated function types.
template <typename Fn>
static bool resolve(HMODULE module, const char* name, Fn* function)
{
    FARPROC address = GetProcAddress(module, name);
    *function = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
    return address != NULL;
}

// The folder of the plug-in's own file followed by the library's name.
static bool libraryPath(wchar_t* path, size_t capacity)
{
    DWORD n = GetModuleFileNameW(gModuleInstance, path, (DWORD)capacity);
    if (n == 0 || n >= capacity) return false;
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash) return false;
    slash[1] = 0;
    return AppendWide(path, capacity, kUnrarDllName) != 0;
}

const UnrarLibrary* LoadUnrarLibrary()
{
    if (gUnrarLoaded) return &gUnrar;
    wchar_t path[2 * MAX_PATH];
    HMODULE module = NULL;
    if (libraryPath(path, sizeof path / sizeof path[0])) {
        // Its own dependencies are looked for beside it first, too.
        module = LoadLibraryExW(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    } else {
        CopyWide(path, sizeof path / sizeof path[0], kUnrarDllName);
    }
    if (module && resolve(module, "RAROpenArchiveEx", &gUnrar.OpenArchiveEx) &&
        resolve(module, "RARReadHeaderEx", &gUnrar.ReadHeaderEx) &&
        resolve(module, "RARProcessFileW", &gUnrar.ProcessFileW) &&
        resolve(module, "RARCloseArchive", &gUnrar.CloseArchive)) {
        gUnrarLoaded = true;
        return &gUnrar;
    }
    if (module) FreeLibrary(module);
    ErrorBox(path, L"The UnRAR library could not be loaded from the plug-in's folder: RAR archives get no thumbnail.");
    return NULL;
}
