// What a video thumbnail costs, measured through the real plug-in and the
// real tools under the same conditions, in one run:
//   plug-in   a cold thumbnail (stream cache off) of a 2-minute 1080p H.264
//             file for a 256x256 cell through ListGetPreviewBitmapW
//   floor     the same ffprobe and ffmpeg command lines, run directly through
//             the command interpreter from this process: what the design's
//             tools cost whatever the plug-in does around them
//   hit       the same thumbnail kept in the stream cache
//   waveform  the thumbnail of a 3-minute MP3 without cover, with and
//             without the fade panes
//   image     a cold thumbnail of a 24-megapixel JPEG through the image
//             converter (the project's stand-in, which runs the real ffmpeg),
//             its floor (the converter's command line run directly through
//             the interpreter from this process) and its cache hit
// Targets, for the video and the image: plug-in <= 1.10 x floor; hit <=
// cold / 50. The exit code is 0 when all are met, 1 when not, 2 when the
// bench could not run.
//
// The samples come from `scripts/make-media --bench` (folder in VSL_BENCH_MEDIA,
// a Unix path; scripts/bench sets it), the tools from VSL_TOOLS as in the
// end-to-end tests. Optional argument: rounds per measure (default 7).
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/media.h"
#include "support/plugin.h"
#include "support/scratch.h"

namespace {

const int kCell = 256;

double nowMs()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

double median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::wstring benchFolder()
{
    std::wstring unix = EnvWide(L"VSL_BENCH_MEDIA");
    if (unix.empty()) return ExeDirectory() + L"..\\..\\bench-media\\";
    int n = WideCharToMultiByte(CP_UTF8, 0, unix.c_str(), -1, NULL, 0, NULL, NULL);
    std::string utf8(n > 0 ? n : 1, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, unix.c_str(), -1, &utf8[0], n, NULL, NULL);
    utf8.resize(strlen(utf8.c_str()));
    return WinePathFromUnix(utf8) + L"\\";
}

// One thumbnail through the export; its time in ms, or -1 without a bitmap.
double timeThumbnail(const LoadedPlugin& plugin, const std::wstring& file)
{
    double start = nowMs();
    HBITMAP bitmap = RequestThumbnail(plugin, file, kCell, kCell);
    double elapsed = nowMs() - start;
    if (!bitmap) return -1;
    DeleteObject(bitmap);
    return elapsed;
}

// Runs "<interpreter> /s /c " "<program>" <arguments> "" hidden and waits:
// the least that starting a tool through the interpreter costs. The design
// starts the interpreter with a new (hidden) console, CREATE_NEW_CONSOLE;
// CREATE_NO_WINDOW shows what that console itself costs (under Wine a
// console host process per run).
bool runThroughInterpreter(const std::wstring& program, const std::wstring& arguments, DWORD creationFlags)
{
    wchar_t interpreter[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"COMSPEC", interpreter, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) wcscpy(interpreter, L"CMD.EXE");
    std::wstring line = std::wstring(interpreter) + L" /s /c \" \"" + program + L"\" " + arguments + L" \"";
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(NULL, buffer.data(), NULL, NULL, FALSE, creationFlags, NULL, NULL, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The last double-quoted token of a command line replaced by `path`: the
// ffmpeg output, which named the plug-in's temporary file.
bool replaceLastQuoted(std::wstring* line, const std::wstring& path)
{
    size_t close = line->find_last_of(L'"');
    if (close == std::wstring::npos || close == 0) return false;
    size_t open = line->find_last_of(L'"', close - 1);
    if (open == std::wstring::npos) return false;
    line->replace(open, close - open + 1, L"\"" + path + L"\"");
    return true;
}

struct FloorCommands {
    std::wstring probe; // arguments, with the redirection into probeOut
    std::wstring picture; // arguments, writing into pictureOut
    std::wstring probeOut, pictureOut;
};

// The command lines the plug-in runs for `file`, read from the logging
// wrapper, pointed at files of our own.
bool captureCommands(const std::wstring& file, const std::wstring& folder, FloorCommands* commands)
{
    ToolLog log;
    LoadedPlugin plugin;
    SettingsValues settings = log.settings();
    settings.push_back({L"UserRefreshTimeout (double)", L"-1"});
    if (!LoadPluginWithTools(&plugin, settings)) return false;
    bool made = timeThumbnail(plugin, file) >= 0;
    UnloadPluginWithTools(&plugin);
    std::vector<std::wstring> probes = log.argumentsOf(L"ffprobe.exe");
    std::vector<std::wstring> pictures = log.argumentsOf(L"ffmpeg.exe");
    if (!made || probes.size() != 1 || pictures.size() != 1) {
        fwprintf(stderr, L"expected one probe and one picture run, got %d and %d (bitmap: %d)\n", (int)probes.size(),
                 (int)pictures.size(), made ? 1 : 0);
        return false;
    }
    commands->probeOut = folder + L"probe.txt";
    commands->pictureOut = folder + L"picture.jpg";
    commands->probe = probes[0];
    while (!commands->probe.empty() && commands->probe.back() == L' ') commands->probe.pop_back();
    commands->probe += L">\"" + commands->probeOut + L"\"";
    commands->picture = pictures[0];
    if (!replaceLastQuoted(&commands->picture, commands->pictureOut)) return false;
    return true;
}

double timeFloor(const FloorCommands& commands, DWORD creationFlags)
{
    DeleteFileW(commands.probeOut.c_str());
    DeleteFileW(commands.pictureOut.c_str());
    double start = nowMs();
    bool ran = runThroughInterpreter(RealToolPath(L"ffprobe.exe"), commands.probe, creationFlags) &&
               runThroughInterpreter(RealToolPath(L"ffmpeg.exe"), commands.picture, creationFlags);
    double elapsed = nowMs() - start;
    std::string picture;
    if (!ran || !ReadFileBytes(commands.pictureOut, &picture) || picture.empty()) return -1;
    return elapsed;
}

void printLine(const wchar_t* what, double ms, const wchar_t* note = L"")
{
    wprintf(L"  %-44ls %9.1f ms  %ls\n", what, ms, note);
}

struct Results {
    double cold = 0, floor = 0, floorNoConsole = 0, hit = 0, waveFades = 0, waveSingle = 0;
    double imageCold = 0, imageFloor = 0, imageHit = 0;
};

// Median time of a stream-cache hit for `file`, on a copy in `folder` (the
// stream goes into the file itself); -1 when no bitmap came back.
double cacheHitMs(const std::wstring& file, const std::wstring& folder, int rounds)
{
    std::wstring copy = folder + file.substr(file.find_last_of(L'\\') + 1);
    if (!CopyFileW(file.c_str(), copy.c_str(), FALSE)) return -1;
    SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    LoadedPlugin plugin;
    if (!LoadPluginWithTools(&plugin, {{L"UserRefreshTimeout (double)", L"-1"}, {L"ADS (bool)", L"1"}})) return -1;
    std::vector<double> hits;
    bool ok = timeThumbnail(plugin, copy) >= 0;
    for (int i = 0; ok && i < rounds; ++i) {
        hits.push_back(timeThumbnail(plugin, copy));
        ok = hits.back() >= 0;
    }
    UnloadPluginWithTools(&plugin);
    return ok ? median(hits) : -1;
}

// The converter's command line of a cold thumbnail of `picture`, as the
// stand-in recorded it, split into program and arguments, the output
// pointed at `output`.
bool captureConverterCommand(const std::wstring& picture, const std::wstring& folder, const std::wstring& output,
                             std::wstring* program, std::wstring* arguments)
{
    std::wstring record = folder + L"converter.log";
    SetEnvironmentVariableW(L"VSL_RECORD_FILE", record.c_str());
    LoadedPlugin plugin;
    bool made = LoadPluginWithTools(&plugin, {{L"UserRefreshTimeout (double)", L"-1"}}) &&
                timeThumbnail(plugin, picture) >= 0;
    UnloadPluginWithTools(&plugin);
    SetEnvironmentVariableW(L"VSL_RECORD_FILE", NULL);
    std::string bytes;
    if (!made || !ReadFileBytes(record, &bytes) || bytes.empty() || bytes[0] != '"') return false;
    std::wstring line(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), NULL, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), &line[0], (int)line.size());
    line = line.substr(0, line.find(L'\n'));
    size_t close = line.find(L'"', 1);
    if (close == std::wstring::npos || close + 2 > line.size()) return false;
    *program = line.substr(1, close - 1);
    *arguments = line.substr(close + 2);
    return replaceLastQuoted(arguments, output);
}

double timeConverter(const std::wstring& program, const std::wstring& arguments, const std::wstring& output)
{
    DeleteFileW(output.c_str());
    double start = nowMs();
    bool ran = runThroughInterpreter(program, arguments, CREATE_NEW_CONSOLE);
    double elapsed = nowMs() - start;
    std::string picture;
    if (!ran || !ReadFileBytes(output, &picture) || picture.empty()) return -1;
    return elapsed;
}

// Cold image thumbnails and their floor, interleaved as for the video.
bool measureImage(const std::wstring& picture, const std::wstring& folder, int rounds, Results* r)
{
    std::wstring program, arguments, output = folder + L"converted.jpg";
    if (!captureConverterCommand(picture, folder, output, &program, &arguments)) return false;
    wprintf(L"convert: \"%ls\" %ls\n\n", program.c_str(), arguments.c_str());
    LoadedPlugin plugin;
    if (!LoadPluginWithTools(&plugin, {{L"UserRefreshTimeout (double)", L"-1"}})) return false;
    std::vector<double> cold, floor;
    bool ok = timeConverter(program, arguments, output) >= 0;
    for (int i = 0; ok && i < rounds; ++i) {
        cold.push_back(timeThumbnail(plugin, picture));
        floor.push_back(timeConverter(program, arguments, output));
        ok = cold.back() >= 0 && floor.back() >= 0;
    }
    UnloadPluginWithTools(&plugin);
    r->imageCold = median(cold);
    r->imageFloor = median(floor);
    r->imageHit = ok ? cacheHitMs(picture, folder, rounds * 3) : -1;
    return ok && r->imageHit >= 0;
}

// Prints the ratio and hit lines of one kind; true when both targets are met.
bool printTargets(double cold, double floor, double hit)
{
    double ratio = floor > 0 ? cold / floor : 0;
    double hitShare = cold > 0 ? hit / cold : 0;
    bool ratioMet = ratio <= 1.10, hitMet = hitShare <= 1.0 / 50;
    wchar_t note[128];
    swprintf(note, 128, L"ratio %.3f (target <= 1.10): %ls", ratio, ratioMet ? L"met" : L"MISSED");
    printLine(L"plug-in overhead", cold - floor, note);
    swprintf(note, 128, L"1/%.0f of cold (target <= 1/50): %ls", hitShare > 0 ? 1 / hitShare : 0.0,
             hitMet ? L"met" : L"MISSED");
    printLine(L"plug-in, stream cache hit", hit, note);
    return ratioMet && hitMet;
}

int runBench(int rounds)
{
    std::wstring folder = benchFolder();
    std::wstring video = folder + L"bench_1080p.mp4";
    std::wstring audio = folder + L"bench_3min.mp3";
    std::wstring picture = folder + L"bench_24mp.jpg";
    if (!FileExists(video) || !FileExists(audio) || !FileExists(picture)) {
        fwprintf(stderr, L"bench media missing in %ls (scripts/make-media --bench)\n", folder.c_str());
        return 2;
    }
    ScratchDir scratch(L"media-bench");
    Results r;

    FloorCommands commands;
    if (!captureCommands(video, scratch.path, &commands)) return 2;
    wprintf(L"probe:   ffprobe %ls\npicture: ffmpeg %ls\n\n", commands.probe.c_str(), commands.picture.c_str());

    // Cold thumbnails and the floor, interleaved so that both see the same
    // machine load; one untimed round each first.
    {
        LoadedPlugin plugin;
        if (!LoadPluginWithTools(&plugin, {{L"UserRefreshTimeout (double)", L"-1"}})) return 2;
        std::vector<double> cold, floor, floorNoConsole;
        bool ok = timeThumbnail(plugin, video) >= 0 && timeFloor(commands, CREATE_NEW_CONSOLE) >= 0;
        for (int i = 0; ok && i < rounds; ++i) {
            double a = timeThumbnail(plugin, video), b = timeFloor(commands, CREATE_NEW_CONSOLE),
                   c = timeFloor(commands, CREATE_NO_WINDOW);
            ok = a >= 0 && b >= 0 && c >= 0;
            cold.push_back(a);
            floor.push_back(b);
            floorNoConsole.push_back(c);
        }
        UnloadPluginWithTools(&plugin);
        if (!ok) {
            fwprintf(stderr, L"a cold thumbnail or a floor run gave nothing\n");
            return 2;
        }
        r.cold = median(cold);
        r.floor = median(floor);
        r.floorNoConsole = median(floorNoConsole);
    }

    r.hit = cacheHitMs(video, scratch.path, rounds * 3);
    if (r.hit < 0) {
        fwprintf(stderr, L"the cached thumbnail gave nothing\n");
        return 2;
    }

    // Waveforms: five ffmpeg runs with the fade panes, one without.
    for (int fades = 1; fades >= 0; --fades) {
        LoadedPlugin plugin;
        if (!LoadPluginWithTools(&plugin, {{L"UserRefreshTimeout (double)", L"-1"},
                                           {L"AudioShowFadeInOut (bool)", fades ? L"1" : L"0"}}))
            return 2;
        std::vector<double> times;
        int waveRounds = rounds < 3 ? rounds : 3;
        bool ok = true;
        for (int i = 0; ok && i < waveRounds; ++i) {
            times.push_back(timeThumbnail(plugin, audio));
            ok = times.back() >= 0;
        }
        UnloadPluginWithTools(&plugin);
        if (!ok) {
            fwprintf(stderr, L"the waveform thumbnail gave nothing\n");
            return 2;
        }
        (fades ? r.waveFades : r.waveSingle) = median(times);
    }

    if (!measureImage(picture, scratch.path, rounds, &r)) {
        fwprintf(stderr, L"an image thumbnail or a converter run gave nothing\n");
        return 2;
    }

    wprintf(L"medians of %d rounds, %dx%d cell\n", rounds, kCell, kCell);
    wprintf(L"video  2 min 1080p H.264 (bench_1080p.mp4)\n");
    printLine(L"plug-in, cold thumbnail (no stream cache)", r.cold);
    printLine(L"floor: same probe + ffmpeg through cmd.exe", r.floor, L"(new hidden console, as the design)");
    printLine(L"  the same without a console", r.floorNoConsole, L"(CREATE_NO_WINDOW: the console's cost)");
    bool videoMet = printTargets(r.cold, r.floor, r.hit);
    wprintf(L"audio  3 min MP3, no cover (bench_3min.mp3)\n");
    printLine(L"waveform with fade panes (5 + 1 ffmpeg runs)", r.waveFades);
    printLine(L"waveform without fade panes (1 + 1 runs)", r.waveSingle);
    wprintf(L"image  24-megapixel JPEG 6000x4000 (bench_24mp.jpg), converter stand-in\n");
    printLine(L"plug-in, cold thumbnail (no stream cache)", r.imageCold);
    printLine(L"floor: same converter command through cmd.exe", r.imageFloor, L"(new hidden console, as the design)");
    bool imageMet = printTargets(r.imageCold, r.imageFloor, r.imageHit);
    return videoMet && imageMet ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 7;
    if (rounds < 1 || rounds > 100) {
        fprintf(stderr, "usage: vistrel_media_bench [ROUNDS 1-100]\n");
        return 2;
    }
    // The command lines hold no-break spaces (text fillers): UTF-8 out.
    _setmode(_fileno(stdout), _O_U8TEXT);
    int result = runBench(rounds);
    fflush(stdout);
    RemoveTree(ExeDirectory() + L"scratch\\");
    return result;
}
