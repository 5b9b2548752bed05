#include "media.h"

#include "file_times.h"

#include <gtest/gtest.h>

#include <math.h>

namespace {

std::wstring iniPathOf(const std::wstring& modulePath)
{
    size_t dot = modulePath.find_last_of(L'.');
    size_t slash = modulePath.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return modulePath + L".ini";
    return modulePath.substr(0, dot) + L".ini";
}

// The settings file as the plug-in itself starts it: UTF-16, so values
// and folder names outside the ANSI code page survive.
bool startUnicodeIni(const std::wstring& ini)
{
    return WriteFileBytes(ini, std::string("\xFF\xFE", 2));
}

std::wstring programFileName(const std::wstring& commandLine)
{
    std::wstring program;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        size_t end = commandLine.find(L'"', 1);
        program = commandLine.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
    } else {
        program = commandLine.substr(0, commandLine.find_first_of(L" \t"));
    }
    size_t slash = program.find_last_of(L"\\/");
    return slash == std::wstring::npos ? program : program.substr(slash + 1);
}

std::wstring argumentsOfLine(const std::wstring& commandLine)
{
    size_t end;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        end = commandLine.find(L'"', 1);
        end = end == std::wstring::npos ? commandLine.size() : end + 1;
    } else {
        end = commandLine.find_first_of(L" \t");
        if (end == std::wstring::npos) end = commandLine.size();
    }
    size_t start = commandLine.find_first_not_of(L" \t", end);
    return start == std::wstring::npos ? L"" : commandLine.substr(start);
}

bool sameNoCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), (int)a.size(), b.c_str(), (int)b.size(), TRUE) == CSTR_EQUAL;
}

double luma(const unsigned char* bgr)
{
    return 0.114 * bgr[0] + 0.587 * bgr[1] + 0.299 * bgr[2];
}

} // namespace

std::wstring FolderFromEnv(const wchar_t* variable, const wchar_t* besideBuild)
{
    std::wstring unix = EnvWide(variable);
    std::wstring folder = unix.empty() ? ExeDirectory() + L"..\\..\\" + besideBuild : WinePathFromUnix(Utf8(unix));
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring MediaFolder()
{
    return FolderFromEnv(L"VSL_MEDIA", L"media");
}

std::wstring MediaPath(const std::wstring& name)
{
    std::wstring path = MediaFolder() + name;
    if (!FileExists(path)) ADD_FAILURE() << "sample missing (run scripts/setup): " << testing::PrintToString(path);
    return path;
}

std::wstring ArchivePath(const std::wstring& name)
{
    std::wstring path = FolderFromEnv(L"VSL_ARCHIVES", L"archives") + name;
    if (!FileExists(path)) ADD_FAILURE() << "archive missing (run scripts/setup): " << testing::PrintToString(path);
    return path;
}

std::wstring CopyMedia(const std::wstring& name, const std::wstring& folder, const std::wstring& newName)
{
    std::wstring to = folder + (newName.empty() ? name : newName);
    if (!CopyFileW(MediaPath(name).c_str(), to.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy the sample, error " << GetLastError();
        return L"";
    }
    // The samples are made by root and may be read-only to others.
    SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    return to;
}

std::wstring ToolsFolder()
{
    return FolderFromEnv(L"VSL_TOOLS", L"testplugin");
}

std::wstring RealToolPath(const std::wstring& exeName)
{
    return ToolsFolder() + L"bin\\ffmpeg\\" + exeName;
}

bool LoadPluginWithTools(LoadedPlugin* plugin, const SettingsValues& settings)
{
    static unsigned counter = 0;
    std::wstring folder = ToolsFolder();
    if (!FileExists(RealToolPath(L"ffmpeg.exe")) || !FileExists(RealToolPath(L"ffprobe.exe"))) {
        ADD_FAILURE() << "real tools missing in the staged plug-in folder (run scripts/setup)";
        *plugin = LoadedPlugin();
        return false;
    }
    // A name no other test program (of any build folder) uses at the same time.
    std::wstring name = L"vistrel-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(++counter) + L"-" + std::to_wstring(GetTickCount()) + L".wlx64";
    std::wstring ini = iniPathOf(folder + name);
    DeleteFileW(ini.c_str());
    if (!settings.empty()) {
        if (!startUnicodeIni(ini)) {
            ADD_FAILURE() << "cannot write the settings file, error " << GetLastError();
            *plugin = LoadedPlugin();
            return false;
        }
        for (const auto& kv : settings) WritePrivateProfileStringW(L"vistrel", kv.first.c_str(), kv.second.c_str(), ini.c_str());
    }
    bool loaded = LoadPluginCopy(folder, plugin, name);
    if (!loaded) {
        UnloadPluginWithTools(plugin);
        plugin->path = folder + name;
        DeleteFileW(plugin->path.c_str());
        DeleteFileW(ini.c_str());
    }
    return loaded;
}

void UnloadPluginWithTools(LoadedPlugin* plugin)
{
    UnloadPlugin(plugin);
    if (plugin->path.empty()) return;
    DeleteFileW(plugin->path.c_str());
    DeleteFileW(iniPathOf(plugin->path).c_str());
    plugin->path.clear();
}

std::wstring PluginIniPath(const LoadedPlugin& plugin)
{
    return iniPathOf(plugin.path);
}

void ChangePluginSetting(const LoadedPlugin& plugin, const std::wstring& key, const std::wstring& value)
{
    std::wstring ini = PluginIniPath(plugin);
    FileTimes before = {};
    bool existed = GetTimes(ini, &before);
    if (!existed) startUnicodeIni(ini);
    WritePrivateProfileStringW(L"vistrel", key.c_str(), value.c_str(), ini.c_str());
    // The plug-in reloads when a file time changed; two writes within the
    // file system's clock resolution must still look different.
    FileTimes after = {};
    if (existed && GetTimes(ini, &after) && SameTime(after.write, before.write)) MoveTimesAfter(ini, after.write, 1);
}

ToolLog::ToolLog() : logFile(dir.path + L"runs.log")
{
    std::wstring logger = ExeDirectory() + L"tool_logger.exe";
    for (const wchar_t* name : {L"ffmpeg.exe", L"ffprobe.exe"}) {
        if (!CopyFileW(logger.c_str(), wrapperPath(name).c_str(), FALSE))
            ADD_FAILURE() << "cannot copy tool_logger.exe, error " << GetLastError();
    }
    std::wstring realDir = ToolsFolder() + L"bin\\ffmpeg";
    SetEnvironmentVariableW(L"VSL_TOOL_LOG", logFile.c_str());
    SetEnvironmentVariableW(L"VSL_TOOL_REAL_DIR", realDir.c_str());
}

ToolLog::~ToolLog()
{
    SetEnvironmentVariableW(L"VSL_TOOL_LOG", NULL);
    SetEnvironmentVariableW(L"VSL_TOOL_REAL_DIR", NULL);
}

SettingsValues ToolLog::settings() const
{
    return {{L"ffmpegPath (chars)", wrapperPath(L"ffmpeg.exe")}, {L"ffprobePath (chars)", wrapperPath(L"ffprobe.exe")}};
}

std::wstring ToolLog::wrapperPath(const std::wstring& exeName) const
{
    return dir.path + exeName;
}

std::vector<std::wstring> ToolLog::lines() const
{
    return ReadUtf8Lines(logFile);
}

int ToolLog::count(const std::wstring& exeName) const
{
    return (int)argumentsOf(exeName).size();
}

std::vector<std::wstring> ToolLog::argumentsOf(const std::wstring& exeName) const
{
    std::vector<std::wstring> result;
    for (const std::wstring& line : lines()) {
        if (sameNoCase(programFileName(line), exeName)) result.push_back(argumentsOfLine(line));
    }
    return result;
}

void ToolLog::clear()
{
    DeleteFileW(logFile.c_str());
}

RunRecord::RunRecord(const std::wstring& folder) : file(folder + L"runs.log")
{
    SetEnvironmentVariableW(L"VSL_RECORD_FILE", file.c_str());
}

RunRecord::~RunRecord()
{
    SetEnvironmentVariableW(L"VSL_RECORD_FILE", NULL);
}

std::string RunRecord::take()
{
    std::string lines;
    ReadFileBytes(file, &lines);
    DeleteFileW(file.c_str());
    return lines;
}

bool ReadBitmapPixels(HBITMAP bitmap, BitmapPixels* pixels)
{
    *pixels = BitmapPixels();
    BITMAP info;
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info) || info.bmWidth < 1 || info.bmHeight < 1) return false;
    int width = info.bmWidth, height = info.bmHeight;
    size_t stride = ((size_t)width * 3 + 3) & ~(size_t)3;
    std::vector<unsigned char> padded(stride * height);
    BITMAPINFO dib = {};
    dib.bmiHeader.biSize = sizeof dib.bmiHeader;
    dib.bmiHeader.biWidth = width;
    dib.bmiHeader.biHeight = -height; // top-down
    dib.bmiHeader.biPlanes = 1;
    dib.bmiHeader.biBitCount = 24;
    dib.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(NULL);
    if (!screen) return false;
    int rows = GetDIBits(screen, bitmap, 0, (UINT)height, padded.data(), &dib, DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
    if (rows != height) return false;
    pixels->width = width;
    pixels->height = height;
    pixels->bgr.resize((size_t)width * height * 3);
    for (int y = 0; y < height; ++y)
        memcpy(&pixels->bgr[(size_t)y * width * 3], &padded[(size_t)y * stride], (size_t)width * 3);
    return true;
}

double PixelVariance(const BitmapPixels& pixels)
{
    size_t count = (size_t)pixels.width * pixels.height;
    if (!count) return 0;
    double sum = 0, squares = 0;
    for (size_t i = 0; i < count; ++i) {
        double y = luma(&pixels.bgr[i * 3]);
        sum += y;
        squares += y * y;
    }
    double mean = sum / count;
    return squares / count - mean * mean;
}

MeanRgb MeanColour(const BitmapPixels& pixels, int x, int y, int width, int height)
{
    MeanRgb mean;
    int x0 = x < 0 ? 0 : x, y0 = y < 0 ? 0 : y;
    int x1 = x + width > pixels.width ? pixels.width : x + width;
    int y1 = y + height > pixels.height ? pixels.height : y + height;
    if (x1 <= x0 || y1 <= y0) return mean;
    double r = 0, g = 0, b = 0;
    for (int row = y0; row < y1; ++row) {
        const unsigned char* p = &pixels.bgr[((size_t)row * pixels.width + x0) * 3];
        for (int col = x0; col < x1; ++col, p += 3) {
            b += p[0];
            g += p[1];
            r += p[2];
        }
    }
    double n = (double)(x1 - x0) * (y1 - y0);
    mean.r = r / n;
    mean.g = g / n;
    mean.b = b / n;
    return mean;
}

MeanRgb MeanColourAt(const BitmapPixels& pixels, double x, double y, double width, double height)
{
    return MeanColour(pixels, (int)(x * pixels.width), (int)(y * pixels.height), (int)(width * pixels.width),
                      (int)(height * pixels.height));
}

double ColourDistance(const MeanRgb& colour, unsigned rgb)
{
    double r = colour.r - ((rgb >> 16) & 0xFF), g = colour.g - ((rgb >> 8) & 0xFF), b = colour.b - (rgb & 0xFF);
    return sqrt(r * r + g * g + b * b);
}

RECT ContentRect(const BitmapPixels& pixels, int threshold)
{
    RECT box = {pixels.width, pixels.height, 0, 0};
    for (int y = 0; y < pixels.height; ++y) {
        const unsigned char* p = &pixels.bgr[(size_t)y * pixels.width * 3];
        for (int x = 0; x < pixels.width; ++x, p += 3) {
            int brightest = p[0] > p[1] ? p[0] : p[1];
            if (p[2] > brightest) brightest = p[2];
            if (brightest <= threshold) continue;
            if (x < box.left) box.left = x;
            if (y < box.top) box.top = y;
            if (x + 1 > box.right) box.right = x + 1;
            if (y + 1 > box.bottom) box.bottom = y + 1;
        }
    }
    if (box.right <= box.left || box.bottom <= box.top) box = RECT{0, 0, 0, 0};
    return box;
}

bool RequestPixels(const LoadedPlugin& plugin, const std::wstring& file, int width, int height, BitmapPixels* pixels)
{
    HBITMAP bitmap = RequestThumbnail(plugin, file, width, height);
    if (!bitmap) return false;
    bool ok = pixels ? ReadBitmapPixels(bitmap, pixels) : true;
    DeleteObject(bitmap);
    return ok;
}
