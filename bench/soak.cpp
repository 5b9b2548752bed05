// Soak run: N thumbnail requests (default 1000) through the real plug-in
// and the real tools, over a seeded corpus of good and damaged inputs:
// videos, audio, pictures (through the converter stand-in) and comic and
// album archives (RAR ones through the UnRAR library beside the plug-in
// copy), under adversarial names; truncated and bit-flipped copies,
// damaged JPEGs planted as cached thumbnails, junk probe output through a
// wrapper tool, batch-file tools, and settings changed at random between
// requests. After every request it checks that
//   - the request ended within its time bound (a watchdog ends the run
//     when one never ends; a crash ends it with the request named);
//   - the result is null or a valid bitmap that fits the cell;
//   - no temporary file is left behind;
//   - the source's file times and attributes are what they were;
// and it compares the process's private bytes and handle count after the
// first 100 requests with those after the last. Message boxes are pressed
// by the test support's watcher and counted.
//
// Usage: vistrel_soak.exe [requests] [seed]. Folders as in the end-to-end
// tests (VSL_MEDIA, VSL_ARCHIVES, VSL_TOOLS). Prints its figures; exit code 0 when every
// check held, 1 when one failed, 2 when the run could not start.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "cache/stream_names.h"
#include "soak.h"
#include "support/box_watcher.h"
#include "support/file_times.h"
#include "support/media.h"
#include "support/plugin.h"
#include "support/scratch.h"

namespace {

const DWORD kRequestBoundMs = 60000; // several tool runs under a loaded Wine
const DWORD kHangMs = 300000; // the watchdog's: past every tool's time limit
const size_t kFlatPrivateBytes = 8u << 20;
const long kFlatHandles = 4;
const int kCells[] = {7, 8, 48, 96, 160, 256, 512, 1024};
const size_t kReportedFaults = 30;

struct PoolFile {
    std::wstring path;
    const CorpusRow* row;
};

struct RowFigures {
    int requests = 0, bitmaps = 0;
};

struct Figures {
    int requests = 0, bitmaps = 0, nulls = 0, boxes = 0, settingChanges = 0;
    std::map<std::string, RowFigures> rows; // by corpus row
    int faults = 0;
    std::vector<double> ms;
    std::map<std::string, int> planted; // "kind: bitmap|null, tools ran|from cache"
    int undecodableKept = 0; // planted thumbnails answered with null and not made again
    double longestPlanted = 0;
    std::map<std::wstring, int> boxTexts;
};

struct Soak {
    SoakRandom random;
    LoadedPlugin plugin;
    ToolLog* log = nullptr;
    RunRecord* converterRuns = nullptr; // and those of the junk probe
    std::wstring tempFolder;
    std::vector<PoolFile> pool;
    std::vector<SettingChoice> choices;
    std::vector<size_t> current; // index of each choice's value in force
    Figures figures;
    explicit Soak(unsigned long long seed) : random(seed) {}
};

// Watchdog and crash report: what the run was doing.
volatile LONG gRequestNumber = 0;
volatile DWORD gRequestStart = 0;
wchar_t gRequestFile[300];

LONG WINAPI reportCrash(EXCEPTION_POINTERS* exception)
{
    fprintf(stderr, "CRASH: exception %08lx in request %ld (%s)\n", exception->ExceptionRecord->ExceptionCode,
            gRequestNumber, Utf8(gRequestFile).c_str());
    fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI watchdog(void*)
{
    for (;;) {
        Sleep(1000);
        DWORD start = gRequestStart;
        if (start && GetTickCount() - start > kHangMs) {
            fprintf(stderr, "HANG: request %ld (%s) has run for %lu s\n", gRequestNumber, Utf8(gRequestFile).c_str(),
                    (unsigned long)(kHangMs / 1000));
            fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
}

// Committed private memory, as the system's "private bytes": the process's
// counters are not kept by Wine, its address space is.
size_t privateBytes()
{
    size_t total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* p = NULL; VirtualQuery(p, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const char* next = (const char*)region.BaseAddress + region.RegionSize;
        if (next <= p) break;
        p = next;
    }
    return total;
}

// Open handles, counted by probing their values (Wine keeps no count); a
// long run of free values ends the table.
long handleCount()
{
    long count = 0;
    DWORD flags;
    for (ULONG_PTR value = 4, misses = 0; misses < 2048 && value < (1u << 24); value += 4) {
        bool open = GetHandleInformation((HANDLE)value, &flags) != FALSE;
        count += open;
        misses = open ? 0 : misses + 1;
    }
    return count;
}

void fault(Soak& soak, const std::wstring& file, int width, const std::string& what)
{
    if (++soak.figures.faults <= (int)kReportedFaults)
        printf("FAULT in request %d (%s, cell %d): %s\n", soak.figures.requests, Utf8(file).c_str(), width,
               what.c_str());
}

// The boxes so far go into the tally; the watcher starts again empty, so
// that its record does not grow with the run.
void tallyBoxes(Soak& soak)
{
    for (const SeenBox& box : StopBoxWatcher()) {
        soak.figures.boxes++;
        std::wstring text = box.caption + L": " + box.text.substr(0, 160);
        std::replace(text.begin(), text.end(), L'\n', L'|');
        soak.figures.boxTexts[text]++;
    }
    StartBoxWatcher();
}

void emptyTempFolder(Soak& soak, const std::wstring& file, int width)
{
    for (const std::wstring& name : FolderEntries(soak.tempFolder)) {
        fault(soak, file, width, "left in the temp folder: " + Utf8(name));
        RemovePath(soak.tempFolder + name);
    }
}

// One request with every check; true when a bitmap came back.
bool checkedRequest(Soak& soak, const PoolFile& pooled, int width, int height)
{
    const std::wstring& file = pooled.path;
    Figures& f = soak.figures;
    f.requests++;
    RowFigures& row = f.rows[pooled.row->name];
    row.requests++;
    FileTimes before = {}, after = {};
    GetTimes(file, &before);
    DWORD attributes = GetFileAttributesW(file.c_str());
    lstrcpynW(gRequestFile, file.c_str(), 300);
    gRequestNumber = f.requests;
    SetEnvironmentVariableW(L"VSL_RECORD_STDOUT", JunkProbeOutput(soak.random).c_str());

    gRequestStart = GetTickCount() | 1;
    ULONGLONG start = GetTickCount64();
    HBITMAP bitmap = RequestThumbnail(soak.plugin, file, width, height);
    double elapsed = (double)(GetTickCount64() - start);
    gRequestStart = 0;
    f.ms.push_back(elapsed);

    if (elapsed > kRequestBoundMs) fault(soak, file, width, "took " + std::to_string((int)elapsed) + " ms");
    if (bitmap) {
        BitmapPixels pixels;
        if (!ReadBitmapPixels(bitmap, &pixels) || pixels.width > width || pixels.height > height)
            fault(soak, file, width, "not a valid bitmap of the cell");
        DeleteObject(bitmap);
        f.bitmaps++;
        row.bitmaps++;
    } else {
        f.nulls++;
    }
    emptyTempFolder(soak, file, width);
    GetTimes(file, &after);
    if (!SameTime(before.write, after.write) || !SameTime(before.access, after.access) ||
        !SameTime(before.creation, after.creation))
        fault(soak, file, width, "the source's times changed");
    if (GetFileAttributesW(file.c_str()) != attributes) fault(soak, file, width, "the source's attributes changed");
    return bitmap != NULL;
}

void setChoice(Soak& soak, size_t choice, size_t value)
{
    soak.current[choice] = value;
    ChangePluginSetting(soak.plugin, soak.choices[choice].key, soak.choices[choice].values[value]);
    soak.figures.settingChanges++;
}

const std::wstring& currentValue(const Soak& soak, const wchar_t* key)
{
    for (size_t i = 0; i < soak.choices.size(); ++i)
        if (soak.choices[i].key == key) return soak.choices[i].values[soak.current[i]];
    static const std::wstring none;
    return none;
}

void changeSettings(Soak& soak)
{
    if (soak.random.chance(15)) {
        for (size_t i = 0; i < soak.choices.size(); ++i)
            if (soak.current[i] != 0) setChoice(soak, i, 0);
        return;
    }
    for (unsigned n = 1 + soak.random.below(3); n > 0; --n) {
        size_t choice = soak.random.below((unsigned)soak.choices.size());
        setChoice(soak, choice, soak.random.below((unsigned)soak.choices[choice].values.size()));
    }
}

int randomCell(Soak& soak)
{
    return kCells[soak.random.below(sizeof kCells / sizeof kCells[0])];
}

const PoolFile& randomFile(Soak& soak, bool plantable)
{
    for (;;) {
        const PoolFile& file = soak.pool[soak.random.below((unsigned)soak.pool.size())];
        if (!plantable || file.row->plantable) return file;
    }
}

// A thumbnail made into the stream cache, replaced by a damaged JPEG with
// the source's times kept, and asked for again: the record still matches,
// so the damaged JPEG is what the plug-in decodes (unless it remakes it).
void plantAndAsk(Soak& soak)
{
    if (currentValue(soak, L"ADS (bool)") != L"1" || currentValue(soak, L"ADS force refresh (bool)") != L"0") return;
    const PoolFile& file = randomFile(soak, true);
    int cell = 8 + (int)soak.random.below(300);
    checkedRequest(soak, file, cell, cell);
    // Another file in between, so that the next one is no quick repeat.
    checkedRequest(soak, randomFile(soak, false), randomCell(soak), randomCell(soak));

    wchar_t sized[64];
    swprintf(sized, 64, kSizedThumbnailStreamFormat, cell, cell);
    bool multiple = currentValue(soak, L"ADS Multiple Thumbnail Sizes (bool)") == L"1";
    std::wstring stream = file.path + (multiple ? sized : kSingleThumbnailStream);
    std::string thumbnail;
    if (!ReadFileBytes(stream, &thumbnail) || thumbnail.size() < 100) return;
    PlantedJpeg planted = MakePlantedJpeg(soak.random, thumbnail);
    FileTimes times;
    DWORD attributes = GetFileAttributesW(file.path.c_str());
    if (!GetTimes(file.path, &times)) return;
    SetFileAttributesW(file.path.c_str(), FILE_ATTRIBUTE_NORMAL);
    bool written = WriteFileBytes(stream, planted.bytes);
    SetTimes(file.path, times);
    SetFileAttributesW(file.path.c_str(), attributes);
    if (!written) return;

    soak.log->clear();
    soak.converterRuns->take();
    bool made = checkedRequest(soak, file, cell, cell);
    bool toolsRan = !soak.log->lines().empty() || !soak.converterRuns->take().empty();
    soak.figures.longestPlanted = std::max(soak.figures.longestPlanted, soak.figures.ms.back());
    // A cached thumbnail that does not decode is taken for a miss and made
    // again; a null without a tool run means no tool could run.
    if (!made && !toolsRan) soak.figures.undecodableKept++;
    soak.figures.planted[std::string(planted.name) + (made ? ": bitmap" : ": null") +
                         (toolsRan ? ", remade by the tools" : ", from the cache")]++;
}

bool makePool(Soak& soak, const std::wstring& folder)
{
    int serial = 0;
    for (size_t r = 0; r < kSoakCorpusRows; ++r) {
        const CorpusRow& row = kSoakCorpus[r];
        for (int i = 0; i < row.copies; ++i) {
            std::wstring sample = row.samples[soak.random.below((unsigned)row.sampleCount)];
            std::string bytes;
            if (!row.readSample(sample, &bytes)) {
                fprintf(stderr, "sample missing: %s (run scripts/setup)\n", Utf8(sample).c_str());
                return false;
            }
            DamageBytes(soak.random, row.damage, &bytes);
            std::wstring path = SoakFileName(soak.random, folder, sample, ++serial);
            if (!WriteFileBytes(path, bytes)) {
                fprintf(stderr, "cannot write %s\n", Utf8(path).c_str());
                return false;
            }
            // An access time ahead of the other times: reading the file
            // does not move it (relatime), so any change is a write.
            FILETIME now;
            GetSystemTimeAsFileTime(&now);
            FILETIME old = MakeFileTime(2020, 1, 2, 3, 4, 5);
            SetTimes(path, {old, AddSeconds(now, 86400), old});
            if (soak.random.chance(15)) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
            soak.pool.push_back({path, &row});
        }
    }
    return true;
}

// The plug-in copies stand in the staged plug-in folder, where setup puts
// the UnRAR library and the build the converter stand-in.
bool makeTools(const ToolLog& log, const std::wstring& folder, SoakTools* tools)
{
    tools->ffmpeg = log.wrapperPath(L"ffmpeg.exe");
    tools->ffprobe = log.wrapperPath(L"ffprobe.exe");
    tools->converter = ToolsFolder() + L"bin\\IrfanView_64\\i_view64.exe";
    for (const std::wstring& staged : {tools->converter, ToolsFolder() + L"UnRAR64.dll"}) {
        if (!FileExists(staged)) {
            fprintf(stderr, "missing in the staged plug-in folder: %s (run scripts/setup)\n", Utf8(staged).c_str());
            return false;
        }
    }
    CreateDirectoryW((folder + L"junk").c_str(), NULL);
    tools->junkProbe = folder + L"junk\\ffprobe.exe";
    tools->batchProbe = folder + L"probe.bat";
    tools->batchConverter = folder + L"convert.cmd";
    tools->missing = folder + L"missing\\ffprobe.exe";
    return CopyFileW((ExeDirectory() + L"record_tool.exe").c_str(), tools->junkProbe.c_str(), FALSE) &&
           WriteFileBytes(tools->batchProbe, "@\"" + Utf8(tools->ffprobe) + "\" %*\r\n") &&
           WriteFileBytes(tools->batchConverter, "@\"" + Utf8(tools->converter) + "\" %*\r\n");
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[(size_t)(fraction * (values.size() - 1))];
}

int run(int requests, unsigned long long seed, const std::wstring& tempFolder)
{
    Soak soak(seed);
    ScratchDir work(L"soak");
    soak.tempFolder = tempFolder;
    ToolLog log;
    soak.log = &log;
    RunRecord converterRuns(work.path);
    soak.converterRuns = &converterRuns;
    SoakTools tools;
    std::wstring corpus = work.path + L"corpus\\";
    CreateDirectoryW(corpus.c_str(), NULL);
    if (!makeTools(log, work.path, &tools) || !makePool(soak, corpus)) return 2;
    soak.choices = SoakSettingChoices(tools);
    soak.current.assign(soak.choices.size(), 0);
    SettingsValues baseline;
    for (const SettingChoice& choice : soak.choices) baseline.push_back({choice.key, choice.values[0]});
    if (!LoadPluginWithTools(&soak.plugin, baseline)) return 2;

    printf("soak: %d requests, seed %llu, %d files\n", requests, seed, (int)soak.pool.size());
    fflush(stdout);
    StartBoxWatcher();
    int warm = std::min(100, std::max(1, requests / 2));
    size_t privateWarm = 0;
    long handlesWarm = 0;
    ULONGLONG start = GetTickCount64();
    for (int round = 0; soak.figures.requests < requests; ++round) {
        // Now and then at random, and at least every tenth round, so that a
        // short run sees changes too.
        if (soak.random.chance(12) || round % 10 == 9) changeSettings(soak);
        int before = soak.figures.requests;
        if (soak.random.chance(15) && requests - before >= 3) {
            plantAndAsk(soak);
        } else {
            const PoolFile& file = randomFile(soak, false);
            int cell = randomCell(soak);
            checkedRequest(soak, file, cell, soak.random.chance(80) ? cell : randomCell(soak));
        }
        if (before < warm && soak.figures.requests >= warm) {
            tallyBoxes(soak);
            privateWarm = privateBytes();
            handlesWarm = handleCount();
        } else if (soak.figures.requests / 50 != before / 50) {
            tallyBoxes(soak);
        }
        if (soak.figures.requests / 100 != before / 100) {
            printf("  %d requests, %.0f s\n", soak.figures.requests, (double)(GetTickCount64() - start) / 1000);
            fflush(stdout);
        }
    }
    double seconds = (double)(GetTickCount64() - start) / 1000;
    tallyBoxes(soak);
    size_t privateEnd = privateBytes();
    long handlesEnd = handleCount();
    StopBoxWatcher();
    UnloadPluginWithTools(&soak.plugin);

    Figures& f = soak.figures;
    printf("time: %.1f s; per request median %.0f ms, 95th percentile %.0f ms, longest %.0f ms (bound %lu ms)\n",
           seconds, percentile(f.ms, 0.5), percentile(f.ms, 0.95), percentile(f.ms, 1.0),
           (unsigned long)kRequestBoundMs);
    printf("results: %d bitmaps, %d null; %d settings changes; %d message boxes\n", f.bitmaps, f.nulls,
           f.settingChanges, f.boxes);
    printf("bitmaps of requests by row:");
    for (size_t r = 0; r < kSoakCorpusRows; ++r) {
        const RowFigures& row = f.rows[kSoakCorpus[r].name];
        printf("%s %s %d/%d", r ? "," : "", kSoakCorpus[r].name, row.bitmaps, row.requests);
    }
    printf("\n");
    for (const auto& box : f.boxTexts) printf("  box x%d  %s\n", box.second, Utf8(box.first).c_str());
    for (const auto& planted : f.planted) printf("  planted x%d  %s\n", planted.second, planted.first.c_str());
    printf("planted requests: longest %.0f ms\n", f.longestPlanted);
    // Reported, not counted among the faults: such a thumbnail is made again,
    // unless the random settings left no tool that can run.
    printf("stream cache: %d planted thumbnails that do not decode were answered with null without a tool run\n",
           f.undecodableKept);
    long long privateGrowth = (long long)privateEnd - (long long)privateWarm;
    long handleGrowth = handlesEnd - handlesWarm;
    printf("private bytes: %.1f MB after request %d, %.1f MB after request %d (%+.2f MB)\n", privateWarm / 1048576.0,
           warm, privateEnd / 1048576.0, f.requests, privateGrowth / 1048576.0);
    printf("handles: %ld after request %d, %ld after request %d (%+ld)\n", handlesWarm, warm, handlesEnd, f.requests,
           handleGrowth);
    bool flat = privateGrowth <= (long long)kFlatPrivateBytes && handleGrowth <= kFlatHandles;
    printf("faults: %d; memory and handles %s\n", f.faults, flat ? "flat" : "GROWING");
    bool met = f.faults == 0 && flat;
    printf("soak: %s\n", met ? "met" : "missed");
    return met ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(reportCrash);
    CloseHandle(CreateThread(NULL, 0, watchdog, NULL, 0, NULL));
    int requests = argc > 1 ? atoi(argv[1]) : 1000;
    unsigned long long seed = argc > 2 ? strtoull(argv[2], NULL, 10) : 1;
    if (requests < 1) {
        fprintf(stderr, "usage: vistrel_soak.exe [requests] [seed]\n");
        return 2;
    }
    // The plug-in and its tools make their temporary files here, and
    // nothing else does: whatever stands in it after a request was left
    // behind. It goes however the run ends, but for a crash or a hang.
    std::wstring tempFolder = UsePrivateTempFolder(L"vslsoak");
    if (tempFolder.empty()) return 2;
    int result = run(requests, seed, tempFolder);
    RemoveTree(tempFolder);
    return result;
}
