// End-to-end support for the real ffprobe/ffmpeg: the generated sample
// media, plug-in copies that find the real tools through their default
// settings, the logging wrapper that counts tool runs, and pixel measures
// of the bitmaps the plug-in returns.
//
// Folders come from the environment that ctest and scripts/wine-run set
// (Unix paths): VSL_MEDIA, the sample media made by scripts/make-media
// (its header lists every file and what it is for), and VSL_TOOLS, the
// staged plug-in folder holding bin\ffmpeg\ffmpeg.exe and ffprobe.exe.
// Without them the folders beside the build tree are used (build/media,
// build/testplugin, seen from build/<dir>/bin).
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "support/plugin.h"
#include "support/scratch.h"

typedef std::vector<std::pair<std::wstring, std::wstring>> SettingsValues;

// A folder (Wine path, trailing backslash) from a Unix path in the
// environment variable `variable`, else build/<besideBuild>.
std::wstring FolderFromEnv(const wchar_t* variable, const wchar_t* besideBuild);
// The media folder (Wine path, trailing backslash) and a sample in it,
// e.g. MediaPath(L"clip_SBS.mp4").
std::wstring MediaFolder();
std::wstring MediaPath(const std::wstring& name);
// A file made by scripts/make-archives (VSL_ARCHIVES, else build/archives;
// its header lists every file), e.g. ArchivePath(L"comic.cbz").
std::wstring ArchivePath(const std::wstring& name);
// Copies a sample into `folder` (trailing backslash) as `newName` (default:
// its own name) and returns the copy's path, "" (with a test failure) when
// it cannot. For tests that change a file or its streams.
std::wstring CopyMedia(const std::wstring& name, const std::wstring& folder, const std::wstring& newName = L"");

// The staged plug-in folder (trailing backslash) and a real tool in it,
// e.g. RealToolPath(L"ffprobe.exe").
std::wstring ToolsFolder();
std::wstring RealToolPath(const std::wstring& exeName);

// Loads a private copy of the built plug-in, under a name of its own, into
// the staged plug-in folder, after writing `settings` into that copy's own
// settings file (named after the module, so every copy starts from the
// defaults, whose tool paths name the real tools). Fails the current test
// when it cannot.
bool LoadPluginWithTools(LoadedPlugin* plugin, const SettingsValues& settings = {});
// Unloads the copy and deletes it and its settings file.
void UnloadPluginWithTools(LoadedPlugin* plugin);
// The settings file of a loaded copy.
std::wstring PluginIniPath(const LoadedPlugin& plugin);
// Changes one key of that file so that the next request reloads it.
void ChangePluginSetting(const LoadedPlugin& plugin, const std::wstring& key, const std::wstring& value);

// Runs of the real tools, counted through the logging wrapper
// (stand-ins/tool_logger.cpp). While an object lives, settings() points
// the tool paths at wrappers in a scratch folder; every run appends its
// command line to the log and then runs the real tool.
struct ToolLog {
    ScratchDir dir{L"tools"};
    std::wstring logFile;
    ToolLog();
    ~ToolLog();
    ToolLog(const ToolLog&) = delete;
    ToolLog& operator=(const ToolLog&) = delete;

    // "ffmpegPath (chars)" and "ffprobePath (chars)" naming the wrappers.
    SettingsValues settings() const;
    std::wstring wrapperPath(const std::wstring& exeName) const;
    // Logged command lines, oldest first.
    std::vector<std::wstring> lines() const;
    // Runs of one tool (matched by the program's file name, e.g. L"ffmpeg.exe").
    int count(const std::wstring& exeName) const;
    // Logged arguments of each run of that tool (the program token removed).
    std::vector<std::wstring> argumentsOf(const std::wstring& exeName) const;
    void clear();
};

// Runs of the stand-ins that record their command lines (VSL_RECORD_FILE,
// one UTF-8 line per run) into a file in `folder`, while an object lives.
struct RunRecord {
    std::wstring file;
    explicit RunRecord(const std::wstring& folder);
    ~RunRecord();
    RunRecord(const RunRecord&) = delete;
    RunRecord& operator=(const RunRecord&) = delete;
    // The lines recorded since the last call.
    std::string take();
};

// A bitmap's pixels as top-down rows of blue, green, red bytes, without
// row padding.
struct BitmapPixels {
    int width = 0, height = 0;
    std::vector<unsigned char> bgr;
};
bool ReadBitmapPixels(HBITMAP bitmap, BitmapPixels* pixels);

struct MeanRgb {
    double r = 0, g = 0, b = 0;
};
// Variance of the luma over all pixels: near 0 for a blank picture.
double PixelVariance(const BitmapPixels& pixels);
// Mean colour of a rectangle (clipped to the bitmap; all zero when empty).
MeanRgb MeanColour(const BitmapPixels& pixels, int x, int y, int width, int height);
// The same with the rectangle given in fractions of the bitmap's size.
MeanRgb MeanColourAt(const BitmapPixels& pixels, double x, double y, double width, double height);
// Euclidean distance of a mean colour from 0xRRGGBB.
double ColourDistance(const MeanRgb& colour, unsigned rgb);
// Bounding box of the pixels brighter than `threshold` in every sense
// (max of the channels), i.e. the picture without its black padding.
// Empty (all zero) when there is none.
RECT ContentRect(const BitmapPixels& pixels, int threshold = 40);

// One thumbnail request through the export; fills `pixels` (when given) and
// deletes the bitmap. False when no bitmap came back.
bool RequestPixels(const LoadedPlugin& plugin, const std::wstring& file, int width, int height,
                   BitmapPixels* pixels = nullptr);
