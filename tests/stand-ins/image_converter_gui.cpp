// Stand-in for the image converter and viewer, which cannot be installed
// here. It honours the command-line contract the plug-in relies on and
// leaves the decoding and scaling to the real Windows ffmpeg.
//
// Converter mode (the command line holds /convert=):
//   <program> "INPUT" /resize=(W,H) [/aspectratio] [/resample] [/sharpen=N]
//             [/silent] [/jpgq=Q] /convert="OUT"
// The first quoted token after the program is the picture. /resize fits it
// into W x H (keeping its aspect with /aspectratio, enlarging small ones
// too); /resample picks the finer scaler; /jpgq=Q (1-100, default 75) sets
// the JPEG quality; /sharpen and /silent are accepted. Transparent parts
// come out white. OUT receives a baseline JPEG; it may be a stream path
// (photo.png:preview.jpg) or a long path. ffmpeg writes to a pipe and OUT
// is written here only when a whole picture came back, so a picture that
// cannot be read leaves OUT untouched. Options are matched without regard
// to case.
//
// Viewer mode (no /convert=): the plug-in starts it directly with a first
// token standing for the program's name, e.g.
//   0  "C:\pics\photo.png" /silent /hide 7
// The primary thread opens a top-level window of class "IrfanView", titled
// with the picture's path and shown with the show state the starter asked
// for; the picture appears fitted into its client area once decoded, and
// the window closes on WM_CLOSE.
//
// ffmpeg is the file named by VSL_CONVERTER_FFMPEG when that is set, else
// ..\ffmpeg\ffmpeg.exe from this program's folder: staged as the converter
// at bin\IrfanView_64\i_view64.exe of a plug-in folder, that is the
// plug-in's own bin\ffmpeg\ffmpeg.exe. With VSL_RECORD_FILE set, each run
// appends its command line to that file as one UTF-8 line.
//
// ffmpeg reads the picture by its name: a name holding '%' (or a wildcard
// such as the '?' of "\\?\" paths) would be taken as a numbered sequence
// or a pattern, so then those are switched off (GIF has a demuxer of its
// own, which has no such patterns and is named instead). Other formats
// are told by their contents, TGA (which has no signature) by its name.
//
// Exit code: 0 when the picture was converted or the window closed, 1 when
// nothing was written, 2 when the window could not be opened.
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

enum {
    kPathChars = 32768,
    kArgumentChars = 32768,
    kShowPicture = WM_APP + 1,
    kViewerMaxSide = 2048, // the viewer keeps at most this many pixels a side
};

struct Request {
    wchar_t input[kPathChars];
    wchar_t output[kPathChars];
    bool convert;
    bool resize;
    int width, height;
    bool aspect;
    bool resample;
    int quality;
};

struct Bytes {
    char* data;
    size_t size;
};

static Request gRequest;
static Bytes gPicture; // the viewer's BMP file, once decoded

static void appendRecordLine(const wchar_t* text)
{
    static wchar_t path[kPathChars];
    DWORD n = GetEnvironmentVariableW(L"VSL_RECORD_FILE", path, kPathChars);
    if (n == 0 || n >= kPathChars) return;
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    char* utf8 = bytes > 0 ? (char*)malloc((size_t)bytes) : NULL;
    if (!utf8) return;
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, bytes, NULL, NULL);
    utf8[bytes - 1] = '\n'; // the terminator's place takes the line end
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, utf8, (DWORD)bytes, &written, NULL);
        CloseHandle(file);
    }
    free(utf8);
}

static const wchar_t* findNoCase(const wchar_t* text, const wchar_t* part)
{
    size_t n = wcslen(part);
    for (; *text; ++text)
        if (_wcsnicmp(text, part, n) == 0) return text + n;
    return NULL;
}

// Copies a token that is quoted (to the closing quote) or bare (to a blank).
static const wchar_t* copyToken(const wchar_t* p, wchar_t* out)
{
    size_t n = 0;
    wchar_t end = L' ';
    if (*p == L'"') {
        end = L'"';
        ++p;
    }
    while (*p && *p != end && (end == L'"' || *p != L'\t') && n + 1 < kPathChars) out[n++] = *p++;
    out[n] = 0;
    return *p == L'"' ? p + 1 : p;
}

static void parseRequest(const wchar_t* commandLine, Request* r)
{
    wchar_t program[kPathChars];
    const wchar_t* p = copyToken(commandLine, program);
    r->input[0] = 0;
    p = wcschr(p, L'"');
    if (p) p = copyToken(p, r->input);
    else p = L""; // no picture: nothing after it counts
    const wchar_t* value = findNoCase(p, L"/convert=");
    r->convert = value != NULL;
    r->output[0] = 0;
    if (value) copyToken(value, r->output);
    value = findNoCase(p, L"/resize=(");
    r->resize = value && swscanf(value, L"%d,%d", &r->width, &r->height) == 2 && r->width > 0 && r->height > 0;
    r->aspect = findNoCase(p, L"/aspectratio") != NULL;
    r->resample = findNoCase(p, L"/resample") != NULL;
    value = findNoCase(p, L"/jpgq=");
    r->quality = value ? _wtoi(value) : 75;
    if (r->quality < 1) r->quality = 1;
    if (r->quality > 100) r->quality = 100;
}

static bool ffmpegPath(wchar_t* out)
{
    DWORD n = GetEnvironmentVariableW(L"VSL_CONVERTER_FFMPEG", out, kPathChars);
    if (n > 0 && n < kPathChars) return true;
    n = GetModuleFileNameW(NULL, out, kPathChars);
    wchar_t* slash = n > 0 && n < kPathChars ? wcsrchr(out, L'\\') : NULL;
    if (!slash || (size_t)(slash - out) + 20 >= kPathChars) return false;
    wcscpy(slash + 1, L"..\\ffmpeg\\ffmpeg.exe");
    return true;
}

static bool hasExtension(const wchar_t* path, const wchar_t* extension)
{
    const wchar_t* dot = wcsrchr(path, L'.');
    return dot && dot > wcsrchr(path, L'\\') && _wcsicmp(dot + 1, extension) == 0;
}

// "... -i "INPUT"" with what ffmpeg needs to read this picture by name.
static void appendInput(wchar_t* arguments, const wchar_t* input)
{
    if (wcspbrk(input, L"%*?[]{}"))
        wcscat(arguments, hasExtension(input, L"gif") ? L" -f gif" : L" -pattern_type none");
    wcscat(arguments, L" -i \"");
    wcscat(arguments, input);
    wcscat(arguments, L"\"");
}

// The ffmpeg run now going, so that a viewer closed while its picture is
// still decoding ends it: left alone it can stay blocked on a pipe nobody
// reads.
// A run that starts while the viewer closes is ended as soon as it starts.
static CRITICAL_SECTION gRunningLock;
static HANDLE gRunning;
static bool gClosing;

static void setRunning(HANDLE process)
{
    EnterCriticalSection(&gRunningLock);
    gRunning = process;
    if (gRunning && gClosing) TerminateProcess(gRunning, 1);
    LeaveCriticalSection(&gRunningLock);
}

static void endRunning()
{
    EnterCriticalSection(&gRunningLock);
    gClosing = true;
    if (gRunning) TerminateProcess(gRunning, 1);
    LeaveCriticalSection(&gRunningLock);
}

// Starts ffmpeg with exactly its three standard handles: what we inherited
// (a test runner's output pipe, say) must not be held open by it.
static bool startChild(const wchar_t* program, wchar_t* commandLine, STARTUPINFOEXW* startup,
                       PROCESS_INFORMATION* process)
{
    HANDLE handles[2] = {startup->StartupInfo.hStdInput, startup->StartupInfo.hStdOutput};
    SIZE_T size = 0;
    char attributes[256];
    bool started = false;
    InitializeProcThreadAttributeList(NULL, 1, 0, &size);
    if (size <= sizeof attributes) {
        startup->lpAttributeList = (LPPROC_THREAD_ATTRIBUTE_LIST)attributes;
        if (!InitializeProcThreadAttributeList(startup->lpAttributeList, 1, 0, &size) ||
            !UpdateProcThreadAttribute(startup->lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                       sizeof handles, NULL, NULL))
            startup->lpAttributeList = NULL;
    }
    startup->StartupInfo.cb = startup->lpAttributeList ? sizeof *startup : sizeof startup->StartupInfo;
    DWORD flags = CREATE_NO_WINDOW | (startup->lpAttributeList ? EXTENDED_STARTUPINFO_PRESENT : 0);
    started = CreateProcessW(program, commandLine, NULL, NULL, TRUE, flags, NULL, NULL, &startup->StartupInfo, process);
    if (startup->lpAttributeList) DeleteProcThreadAttributeList(startup->lpAttributeList);
    if (started) setRunning(process->hProcess);
    return started;
}

// Runs ffmpeg with `arguments` and collects its standard output. True when
// it ended well and wrote something.
static bool runFfmpeg(const wchar_t* arguments, Bytes* out)
{
    static wchar_t program[kPathChars];
    static wchar_t commandLine[kPathChars + kArgumentChars];
    bool ok = false;
    HANDLE readEnd = NULL, writeEnd = NULL, nullDevice = INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    STARTUPINFOEXW startup = {};
    PROCESS_INFORMATION process = {};
    DWORD exitCode = 1;
    out->data = NULL;
    out->size = 0;

    if (!ffmpegPath(program) || wcslen(program) + wcslen(arguments) + 4 >= kPathChars + kArgumentChars) goto done;
    _snwprintf(commandLine, kPathChars + kArgumentChars, L"\"%ls\" %ls", program, arguments);
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) goto done;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    nullDevice = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                             OPEN_EXISTING, 0, NULL);
    if (nullDevice == INVALID_HANDLE_VALUE) goto done;
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = nullDevice;
    startup.StartupInfo.hStdOutput = writeEnd;
    startup.StartupInfo.hStdError = nullDevice;
    if (!startChild(program, commandLine, &startup, &process)) goto done;
    // Our copy of the write end must go, or the pipe never reports its end.
    CloseHandle(writeEnd);
    writeEnd = NULL;
    for (;;) {
        char chunk[65536];
        DWORD got = 0;
        if (!ReadFile(readEnd, chunk, sizeof chunk, &got, NULL) || got == 0) break;
        char* grown = (char*)realloc(out->data, out->size + got);
        if (!grown) break;
        memcpy(grown + out->size, chunk, got);
        out->data = grown;
        out->size += got;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &exitCode);
    ok = exitCode == 0 && out->size > 0;

done:
    setRunning(NULL);
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    if (nullDevice != INVALID_HANDLE_VALUE) CloseHandle(nullDevice);
    if (writeEnd) CloseHandle(writeEnd);
    if (readEnd) CloseHandle(readEnd);
    if (!ok) {
        free(out->data);
        out->data = NULL;
        out->size = 0;
    }
    return ok;
}

// ffmpeg's arguments for one picture: `scale` fits it, transparent parts
// are laid on white, and `output` says what to write to standard output.
static void pictureArguments(wchar_t* arguments, const wchar_t* input, const wchar_t* scale, const wchar_t* output)
{
    wcscpy(arguments, L"-hide_banner -loglevel error -nostdin");
    appendInput(arguments, input);
    wcscat(arguments, L" -frames:v 1 -vf \"");
    wcscat(arguments, scale);
    wcscat(arguments, L",setsar=1,split[a][b];[a]drawbox=c=white:t=fill[white];[white][b]overlay\" ");
    wcscat(arguments, output);
}

static int convertPicture(const Request* r)
{
    static wchar_t arguments[kArgumentChars];
    wchar_t scale[512];
    const wchar_t* flags = r->resample ? L"lanczos" : L"bilinear";
    if (!r->resize)
        wcscpy(scale, L"null");
    else if (r->aspect)
        _snwprintf(scale, 512,
                   L"scale=w='max(1,round(iw*min(%d/iw,%d/ih)))':h='max(1,round(ih*min(%d/iw,%d/ih)))':flags=%ls",
                   r->width, r->height, r->width, r->height, flags);
    else
        _snwprintf(scale, 512, L"scale=%d:%d:flags=%ls", r->width, r->height, flags);
    scale[511] = 0;
    // ffmpeg's JPEG quantiser scale runs from 2 (finest) to 31.
    wchar_t output[64];
    _snwprintf(output, 64, L"-q:v %d -f mjpeg pipe:1", 2 + (100 - r->quality) * 29 / 99);
    output[63] = 0;
    pictureArguments(arguments, r->input, scale, output);

    Bytes jpeg;
    if (!runFfmpeg(arguments, &jpeg)) return 1;
    bool written = false;
    HANDLE file = CreateFileW(r->output, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD n = 0;
        written = WriteFile(file, jpeg.data, (DWORD)jpeg.size, &n, NULL) && n == jpeg.size;
        CloseHandle(file);
    }
    free(jpeg.data);
    return written ? 0 : 1;
}

// The picture as a BMP file in memory, no larger than the viewer keeps.
static DWORD WINAPI decodeForViewer(void* window)
{
    static wchar_t arguments[kArgumentChars];
    wchar_t scale[128];
    _snwprintf(scale, 128, L"scale=w='min(iw,%d)':h='min(ih,%d)':force_original_aspect_ratio=decrease",
               (int)kViewerMaxSide, (int)kViewerMaxSide);
    scale[127] = 0;
    pictureArguments(arguments, gRequest.input, scale, L"-pix_fmt bgr24 -c:v bmp -f image2pipe pipe:1");
    Bytes bmp;
    if (runFfmpeg(arguments, &bmp)) PostMessageW((HWND)window, kShowPicture, 0, (LPARAM)new Bytes(bmp));
    return 0;
}

static const BITMAPINFO* pictureInfo(const Bytes* picture, const void** bits)
{
    if (picture->size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return NULL;
    const BITMAPFILEHEADER* file = (const BITMAPFILEHEADER*)picture->data;
    if (file->bfType != 0x4D42 || file->bfOffBits >= picture->size) return NULL;
    *bits = picture->data + file->bfOffBits;
    return (const BITMAPINFO*)(picture->data + sizeof(BITMAPFILEHEADER));
}

static void paintPicture(HWND window, HDC dc)
{
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, (HBRUSH)GetStockObject(BLACK_BRUSH));
    const void* bits = NULL;
    const BITMAPINFO* info = pictureInfo(&gPicture, &bits);
    if (!info) return;
    int width = info->bmiHeader.biWidth, height = abs(info->bmiHeader.biHeight);
    int boxWidth = client.right, boxHeight = client.bottom;
    if (width < 1 || height < 1 || boxWidth < 1 || boxHeight < 1) return;
    // Fitted and centred, the aspect kept.
    int drawWidth = boxWidth, drawHeight = (int)((long long)height * boxWidth / width);
    if (drawHeight > boxHeight) {
        drawHeight = boxHeight;
        drawWidth = (int)((long long)width * boxHeight / height);
    }
    if (drawWidth < 1) drawWidth = 1;
    if (drawHeight < 1) drawHeight = 1;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, NULL);
    StretchDIBits(dc, (boxWidth - drawWidth) / 2, (boxHeight - drawHeight) / 2, drawWidth, drawHeight, 0, 0, width,
                  height, bits, info, DIB_RGB_COLORS, SRCCOPY);
}

static LRESULT CALLBACK viewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kShowPicture: {
        Bytes* picture = (Bytes*)lParam;
        free(gPicture.data);
        gPicture = *picture;
        delete picture;
        InvalidateRect(window, NULL, FALSE);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        paintPicture(window, dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        paintPicture(window, (HDC)wParam);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers the whole client area
    case WM_SIZE:
        InvalidateRect(window, NULL, FALSE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static int runViewer(int showCommand)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = viewerProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    windowClass.lpszClassName = L"IrfanView";
    if (!RegisterClassW(&windowClass)) return 2;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, gRequest.input, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 800, 600, NULL, NULL, windowClass.hInstance, NULL);
    if (!window) return 2;
    ShowWindow(window, showCommand);
    // The window is there at once; the picture follows when decoded.
    HANDLE decoder = CreateThread(NULL, 0, decodeForViewer, window, 0, NULL);
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // A decoding run still going is ended with its ffmpeg, and the thread
    // is let finish: a process ending under a starting child would leave
    // that child running.
    endRunning();
    if (decoder) {
        WaitForSingleObject(decoder, 10000);
        CloseHandle(decoder);
    }
    free(gPicture.data);
    return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand)
{
    const wchar_t* commandLine = GetCommandLineW();
    InitializeCriticalSection(&gRunningLock);
    appendRecordLine(commandLine);
    parseRequest(commandLine, &gRequest);
    if (gRequest.convert) return gRequest.input[0] && gRequest.output[0] ? convertPicture(&gRequest) : 1;
    return runViewer(showCommand);
}
