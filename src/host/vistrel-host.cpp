// vistrel-host: a minimal stand-in for the file manager that loads the
// plug-in and asks it for a thumbnail, its detect string or its Lister
// view, so the plug-in can be tried by hand or from scripts without the
// real host.
//
//   vistrel-host thumb [--plugin PATH] [--repeat N] FILE WxH OUT.bmp
//   vistrel-host detect [--plugin PATH]
//   vistrel-host view [--plugin PATH] FILE [--size WxH] [--seconds N] [--shot OUT.png]
//   vistrel-host settings
//   vistrel-host cache list|clear [--recursive] PATH...
//
// view opens a window of WxH (default 800x600) standing in for the
// Lister, embeds what the plug-in returns for FILE, keeps it running for N
// seconds (default 5), saves a screenshot of the window if asked, closes
// the view and reports whether the embedded program ended. settings prints
// the reference of every setting (docs/vistrel-settings.txt). cache lists
// or removes the thumbnails that the stream cache keeps in files
// (host/cache_tool.h).
//
// Exit codes: 0 a bitmap came back (thumb), the detect string was read, a
// view window came back and ended when closed, or settings and cache did
// their work; 1 the plug-in returned no bitmap or no window, or cache met a
// path it could not find, read or clear; 2 usage error or a failure of the
// host itself (plug-in not loadable, output not writable); 3 the view
// window's program did not end within 10 s of the close.
// Message boxes the plug-in shows are real and wait for a person.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "host/cache_tool.h"
#include "host/view.h"
// Only the host's declarations of the exports: the commands that load the
// plug-in depend on nothing but its binary interface. The settings
// reference and the cache commands share the key table and the stream
// names with the plug-in's source instead.
#include "plugin/host_interface.h"
#include "settings/settings_reference.h"

enum {
    kExitBitmap = 0,
    kExitNoBitmap = 1,
    kExitFailure = 2,
    kPathChars = 32768,
    kContentBytes = 8192, // what the host hands over of the file's start
    kDetectBytes = 1024,
    kDefaultViewSeconds = 5,
    kDefaultViewWidth = 800,
    kDefaultViewHeight = 600,
};

struct HostOptions {
    const wchar_t* command;
    const wchar_t* pluginPath; // null: the plug-in beside this program
    int repeat;
    const wchar_t* size; // view: client size of the Lister window
    int seconds;
    const wchar_t* shotPath;
    const wchar_t* positional[3];
    int positionalCount;
};

static int usage(const wchar_t* problem)
{
    if (problem) fwprintf(stderr, L"vistrel-host: %ls\n", problem);
    fwprintf(stderr,
             L"usage: vistrel-host thumb [--plugin PATH] [--repeat N] FILE WxH OUT.bmp\n"
             L"       vistrel-host detect [--plugin PATH]\n"
             L"       vistrel-host view [--plugin PATH] FILE [--size WxH] [--seconds N] [--shot OUT.png]\n"
             L"       vistrel-host settings\n"
             L"       vistrel-host cache list|clear [--recursive] PATH...\n");
    return kExitFailure;
}

// `text` whole as a number from `low` to `high`.
static bool parseWholeNumber(const wchar_t* text, long low, long high, int* value)
{
    wchar_t* end = NULL;
    long n = wcstol(text, &end, 10);
    if (!end || *end || n < low || n > high) return false;
    *value = (int)n;
    return true;
}

// Returns false with a message printed when the arguments make no sense.
static bool parseArguments(int argc, wchar_t** argv, HostOptions* options)
{
    memset(options, 0, sizeof *options);
    options->repeat = 1;
    options->seconds = kDefaultViewSeconds;
    bool viewOption = false;
    if (argc < 2) return false;
    options->command = argv[1];
    for (int i = 2; i < argc; ++i) {
        if (wcscmp(argv[i], L"--plugin") == 0) {
            if (i + 1 >= argc) return false;
            options->pluginPath = argv[++i];
        } else if (wcscmp(argv[i], L"--repeat") == 0) {
            if (i + 1 >= argc || !parseWholeNumber(argv[++i], 1, 100000, &options->repeat)) return false;
        } else if (wcscmp(argv[i], L"--size") == 0 || wcscmp(argv[i], L"--shot") == 0) {
            if (i + 1 >= argc) return false;
            const wchar_t** target = wcscmp(argv[i], L"--size") == 0 ? &options->size : &options->shotPath;
            *target = argv[++i];
            viewOption = true;
        } else if (wcscmp(argv[i], L"--seconds") == 0) {
            if (i + 1 >= argc || !parseWholeNumber(argv[++i], 0, 86400, &options->seconds)) return false;
            viewOption = true;
        } else if (argv[i][0] == L'-' && argv[i][1] == L'-') {
            return false;
        } else {
            if (options->positionalCount >= 3) return false;
            options->positional[options->positionalCount++] = argv[i];
        }
    }
    bool view = wcscmp(options->command, L"view") == 0;
    if (viewOption && !view) return false;
    if (view) return options->positionalCount == 1 && options->repeat == 1;
    if (wcscmp(options->command, L"detect") == 0) return options->positionalCount == 0 && options->repeat == 1;
    if (wcscmp(options->command, L"thumb") == 0) return options->positionalCount == 3;
    return false;
}

static bool parseCellSize(const wchar_t* text, int* width, int* height)
{
    wchar_t* end = NULL;
    long w = wcstol(text, &end, 10);
    if (!end || (*end != L'x' && *end != L'X')) return false;
    const wchar_t* rest = end + 1;
    long h = wcstol(rest, &end, 10);
    if (end == rest || *end || w < 1 || h < 1 || w > 65535 || h > 65535) return false;
    *width = (int)w;
    *height = (int)h;
    return true;
}

// Folder of this program, with a trailing backslash; "" on failure.
static bool exeDirectory(wchar_t* out, DWORD capacity)
{
    DWORD n = GetModuleFileNameW(NULL, out, capacity);
    if (n == 0 || n >= capacity) return false;
    wchar_t* slash = wcsrchr(out, L'\\');
    if (!slash) return false;
    slash[1] = 0;
    return true;
}

// Whatever the bitmap's own format, the file gets 24 bits per pixel,
// bottom-up rows padded to four bytes: the plainest BMP there is.
static bool writeBitmapFile(HBITMAP bitmap, const wchar_t* path)
{
    bool ok = false;
    HDC screen = NULL;
    unsigned char* pixels = NULL;
    HANDLE file = INVALID_HANDLE_VALUE;
    BITMAP info;
    BITMAPINFO dib = {};
    BITMAPFILEHEADER header = {};
    DWORD stride = 0, imageBytes = 0, written = 0;

    if (!GetObjectW(bitmap, sizeof info, &info) || info.bmWidth < 1 || info.bmHeight < 1) goto done;
    stride = ((DWORD)info.bmWidth * 3 + 3) & ~3u;
    imageBytes = stride * (DWORD)info.bmHeight;
    pixels = (unsigned char*)malloc(imageBytes);
    if (!pixels) goto done;
    screen = GetDC(NULL);
    if (!screen) goto done;
    dib.bmiHeader.biSize = sizeof dib.bmiHeader;
    dib.bmiHeader.biWidth = info.bmWidth;
    dib.bmiHeader.biHeight = info.bmHeight; // positive: bottom-up
    dib.bmiHeader.biPlanes = 1;
    dib.bmiHeader.biBitCount = 24;
    dib.bmiHeader.biCompression = BI_RGB;
    if (GetDIBits(screen, bitmap, 0, (UINT)info.bmHeight, pixels, &dib, DIB_RGB_COLORS) != info.bmHeight) goto done;

    dib.bmiHeader.biSizeImage = imageBytes;
    header.bfType = 0x4D42; // "BM"
    header.bfOffBits = sizeof header + sizeof dib.bmiHeader;
    header.bfSize = header.bfOffBits + imageBytes;
    file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) goto done;
    if (!WriteFile(file, &header, sizeof header, &written, NULL) || written != sizeof header) goto done;
    if (!WriteFile(file, &dib.bmiHeader, sizeof dib.bmiHeader, &written, NULL) || written != sizeof dib.bmiHeader)
        goto done;
    if (!WriteFile(file, pixels, imageBytes, &written, NULL) || written != imageBytes) goto done;
    ok = true;

done:
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        if (!ok) DeleteFileW(path);
    }
    if (screen) ReleaseDC(NULL, screen);
    free(pixels);
    return ok;
}

// Reads the start of the file as the host does for its detect test; a
// file that cannot be read gives an empty buffer, and the plug-in decides.
static int readFileStart(const wchar_t* path, char* buffer, int capacity)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD got = 0;
    if (!ReadFile(file, buffer, (DWORD)capacity, &got, NULL)) got = 0;
    CloseHandle(file);
    return (int)got;
}

static int runHost(const HostOptions* options)
{
    int result = kExitFailure;
    HMODULE plugin = NULL;
    HBITMAP bitmap = NULL;
    static wchar_t szPluginPath[kPathChars];
    static wchar_t szFile[kPathChars];
    static char contentStart[kContentBytes];
    char detect[kDetectBytes];
    ListGetPreviewBitmapWFn getPreviewBitmap = NULL;
    ListGetDetectStringFn getDetectString = NULL;
    ListSetDefaultParamsFn setDefaultParams = NULL;
    ListLoadWFn listLoad = NULL;
    ListCloseWindowFn listClose = NULL;
    ListDefaultParamStruct defaults = {};
    ViewRequest view = {};
    int width = 0, height = 0, contentBytes = 0;
    bool thumb = wcscmp(options->command, L"thumb") == 0;
    bool viewing = wcscmp(options->command, L"view") == 0;

    if (thumb && !parseCellSize(options->positional[1], &width, &height)) {
        result = usage(L"the cell size must read WxH with whole numbers from 1 to 65535");
        goto done;
    }
    view.width = kDefaultViewWidth;
    view.height = kDefaultViewHeight;
    if (viewing && options->size && !parseCellSize(options->size, &view.width, &view.height)) {
        result = usage(L"the window size must read WxH with whole numbers from 1 to 65535");
        goto done;
    }
    if (options->pluginPath) {
        if (wcslen(options->pluginPath) >= kPathChars) goto done;
        wcscpy(szPluginPath, options->pluginPath);
    } else {
        if (!exeDirectory(szPluginPath, kPathChars)) goto done;
        wcscat(szPluginPath, sizeof(void*) == 8 ? L"vistrel.wlx64" : L"vistrel.wlx");
    }

    plugin = LoadLibraryW(szPluginPath);
    if (!plugin) {
        fwprintf(stderr, L"vistrel-host: cannot load %ls (error %lu)\n", szPluginPath, GetLastError());
        goto done;
    }
    // GetProcAddress gives a generic function pointer; the casts go
    // through void* to state that the types come from the host's headers.
    getPreviewBitmap = (ListGetPreviewBitmapWFn)(void*)GetProcAddress(plugin, "ListGetPreviewBitmapW");
    getDetectString = (ListGetDetectStringFn)(void*)GetProcAddress(plugin, "ListGetDetectString");
    setDefaultParams = (ListSetDefaultParamsFn)(void*)GetProcAddress(plugin, "ListSetDefaultParams");
    listLoad = (ListLoadWFn)(void*)GetProcAddress(plugin, "ListLoadW");
    listClose = (ListCloseWindowFn)(void*)GetProcAddress(plugin, "ListCloseWindow");
    if (!getPreviewBitmap || !getDetectString || !setDefaultParams || !listLoad || !listClose) {
        fwprintf(stderr, L"vistrel-host: %ls lacks the plug-in exports\n", szPluginPath);
        goto done;
    }

    // The order in which the file manager calls after loading a plug-in.
    detect[0] = 0;
    getDetectString(detect, kDetectBytes);
    detect[kDetectBytes - 1] = 0;
    defaults.size = sizeof defaults;
    defaults.PluginInterfaceVersionLow = 0;
    defaults.PluginInterfaceVersionHi = 2;
    {
        wchar_t szIni[MAX_PATH];
        if (exeDirectory(szIni, MAX_PATH - 20)) {
            wcscat(szIni, L"vistrel-host.ini");
            WideCharToMultiByte(CP_ACP, 0, szIni, -1, defaults.DefaultIniName, MAX_PATH, NULL, NULL);
            defaults.DefaultIniName[MAX_PATH - 1] = 0;
        }
    }
    setDefaultParams(&defaults);

    if (viewing) {
        view.file = options->positional[0];
        view.seconds = options->seconds;
        view.shotPath = options->shotPath;
        result = RunView(listLoad, listClose, &view);
        goto done;
    }
    if (!thumb) {
        printf("%s\n", detect);
        result = kExitBitmap;
        goto done;
    }

    // The export takes a writable path; the plug-in gets its own copy.
    if (wcslen(options->positional[0]) >= kPathChars) goto done;
    contentBytes = readFileStart(options->positional[0], contentStart, kContentBytes);
    for (int i = 0; i < options->repeat; ++i) {
        if (bitmap) DeleteObject(bitmap);
        wcscpy(szFile, options->positional[0]);
        bitmap = getPreviewBitmap(szFile, width, height, contentStart, contentBytes);
    }
    if (!bitmap) {
        printf("no bitmap\n");
        result = kExitNoBitmap;
        goto done;
    }
    {
        BITMAP info;
        if (!GetObjectW(bitmap, sizeof info, &info)) {
            fwprintf(stderr, L"vistrel-host: the returned handle is not a bitmap\n");
            goto done;
        }
        printf("%dx%d\n", (int)info.bmWidth, (int)info.bmHeight);
    }
    if (!writeBitmapFile(bitmap, options->positional[2])) {
        fwprintf(stderr, L"vistrel-host: cannot write %ls\n", options->positional[2]);
        goto done;
    }
    result = kExitBitmap;

done:
    if (bitmap) DeleteObject(bitmap);
    if (plugin) FreeLibrary(plugin);
    return result;
}

// vistrel-host cache list|clear [--recursive|-r] PATH...; "--" ends the
// options, for paths that start with a dash.
static int runCache(int argc, wchar_t** argv)
{
    static const wchar_t* paths[4096];
    CacheCommand command = {false, false, paths, 0};
    bool options = true;
    if (argc < 3) return usage(L"cache needs list or clear");
    if (wcscmp(argv[2], L"clear") == 0)
        command.clear = true;
    else if (wcscmp(argv[2], L"list") != 0)
        return usage(L"cache needs list or clear");
    for (int i = 3; i < argc; ++i) {
        if (options && wcscmp(argv[i], L"--") == 0) {
            options = false;
        } else if (options && (wcscmp(argv[i], L"--recursive") == 0 || wcscmp(argv[i], L"-r") == 0)) {
            command.recursive = true;
        } else if (options && argv[i][0] == L'-') {
            return usage(L"invalid arguments");
        } else {
            if (command.pathCount >= (int)(sizeof paths / sizeof paths[0])) return usage(L"too many paths");
            paths[command.pathCount++] = argv[i];
        }
    }
    if (command.pathCount == 0) return usage(L"cache needs at least one file or folder");
    return RunCacheCommand(&command);
}

// The reference goes out byte for byte as it is shipped, "\n" line ends
// included, so that it can be compared with the shipped file.
static int printSettingsReference()
{
    fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    if (!WriteSettingsReference(stdout)) {
        fwprintf(stderr, L"vistrel-host: the settings reference could not be written whole\n");
        return kExitFailure;
    }
    return kExitBitmap;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 2 && wcscmp(argv[1], L"cache") == 0) return runCache(argc, argv);
    if (argc >= 2 && wcscmp(argv[1], L"settings") == 0)
        return argc == 2 ? printSettingsReference() : usage(L"settings takes no arguments");
    HostOptions options;
    if (!parseArguments(argc, argv, &options)) return usage(argc < 2 ? NULL : L"invalid arguments");
    int result = runHost(&options);
    fflush(stdout);
    return result;
}
