// How much the thumbnail path (makeThumbnailBitmap) saves against a plain
// full libjpeg decode of the same file, and where its remaining time goes.
//   vistrel_jpeg_bench [rounds] [extra.jpg ...]
// Pictures are generated into a scratch folder beside the program, which is
// removed at the end. Exit status 1 when the baseline 96 x 96 case misses
// the target ratio (judged on CPU time), 2 when something cannot be run.
#include <windows.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plugin/file_info.h"
#include "plugin/jpeg_bitmap.h"
#include "plugin/jpeg_decode.h"
#include "plugin/jpeg_guard.h"
#include "plugin/jpeg_source.h"

namespace {

const double kTargetRatio = 0.7;

double now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// Thread CPU time in ms: Wine counts it in 10 ms ticks, so it is only good
// as a mean over many calls, but a busy machine does not inflate it.
double cpuNow()
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime, k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime, u.HighPart = user.dwHighDateTime;
    return (double)(k.QuadPart + u.QuadPart) / 1e4;
}

double mean(const std::vector<double>& values)
{
    double sum = 0;
    for (double v : values) sum += v;
    return values.empty() ? 0 : sum / values.size();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A photo-like picture: smooth colour fields, some texture, edges and a
// little noise; about 2 to 3 bits a pixel at quality 90.
void sceneRow(unsigned width, unsigned y, unsigned char* row, unsigned* noise)
{
    for (unsigned x = 0; x < width; x++) {
        *noise = *noise * 1103515245u + 12345u;
        int grain = (int)((*noise >> 16) & 15) - 8;
        double u = x / 300.0, v = y / 300.0;
        double texture = 18 * sin(x * 0.21 + 3 * sin(y * 0.05)) * sin(y * 0.17);
        bool edge = ((x / 500) + (y / 400)) % 3 == 0;
        int base[3] = {(int)(120 + 70 * sin(u) * cos(v)), (int)(110 + 60 * sin(u * 0.7 + v)),
                       (int)(100 + 80 * cos(v * 1.3 - u * 0.4))};
        for (int c = 0; c < 3; c++) {
            int value = base[c] + (int)texture + grain + (edge ? 40 : 0);
            row[x * 3 + c] = (unsigned char)std::min(255, std::max(0, value));
        }
    }
}

bool writeJpeg(const std::wstring& path, unsigned width, unsigned height, bool progressive)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) return false;
    struct jpeg_compress_struct cinfo;
    JpegErrorManager errors;
    std::vector<unsigned char> row(width * 3);
    unsigned noise = 7;
    volatile bool ok = false;
    memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpegSilentErrors(&errors);
    if (__builtin_setjmp(errors.recovery)) goto done;
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo); // 4:2:0
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        sceneRow(width, cinfo.next_scanline, row.data(), &noise);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    ok = true;
done:
    jpeg_destroy_compress(&cinfo);
    fclose(file);
    return ok;
}

// The plain decode the thumbnail path is measured against: stdio source,
// default parameters, every row into a whole-picture buffer (allocated
// once). With `largeSource` it reads through the thumbnail path's source
// instead. With `entropyOnly`, every row but the last is skipped: the
// library still entropy-decodes all data, but transforms only the last
// iMCU row. Returns false on error.
bool plainDecode(const std::wstring& path, std::vector<unsigned char>* image, bool largeSource,
                 bool entropyOnly, double* headerAndScansMs)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return false;
    struct jpeg_decompress_struct cinfo;
    JpegErrorManager errors;
    volatile bool ok = false;
    double start = now();
    size_t stride = 0;
    memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpegSilentErrors(&errors);
    if (__builtin_setjmp(errors.recovery)) goto done;
    jpeg_create_decompress(&cinfo);
    if (largeSource)
        jpegFileSource(&cinfo, file);
    else
        jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    if (headerAndScansMs) *headerAndScansMs = now() - start;
    stride = (size_t)cinfo.output_width * cinfo.output_components;
    if (image->size() < stride * cinfo.output_height) image->resize(stride * cinfo.output_height);
    if (entropyOnly) jpeg_skip_scanlines(&cinfo, cinfo.output_height - 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {image->data() + stride * cinfo.output_scanline};
        jpeg_read_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_decompress(&cinfo);
    ok = true;
done:
    jpeg_destroy_decompress(&cinfo);
    fclose(file);
    return ok;
}

// One path's timings: wall-clock median and CPU mean, in ms.
struct Timing {
    std::vector<double> wall, cpu;
    double start = 0, cpuStart = 0;
    void begin()
    {
        start = now();
        cpuStart = cpuNow();
    }
    void end()
    {
        wall.push_back(now() - start);
        cpu.push_back(cpuNow() - cpuStart);
    }
};

enum Path { kFull, kFullLarge, kThumb, kDecode, kEntropy, kPaths };
const char* const kPathNames[kPaths] = {"full", "full128", "thumb", "decode", "entropy"};

// Each path measured in turn within each round, so that a busy machine
// slows them alike.
bool measure(const std::wstring& path, int cell, int rounds, Timing* timing, double* scanMs)
{
    std::vector<unsigned char> image;
    std::vector<double> scans;
    for (int round = 0; round < rounds; round++) {
        double scan = 0;
        timing[kFull].begin();
        if (!plainDecode(path, &image, false, false, &scan)) return false;
        timing[kFull].end();
        scans.push_back(scan);

        timing[kFullLarge].begin();
        if (!plainDecode(path, &image, true, false, NULL)) return false;
        timing[kFullLarge].end();

        timing[kThumb].begin();
        HBITMAP bitmap = makeThumbnailBitmap(path.c_str(), cell, cell);
        timing[kThumb].end();
        if (!bitmap) return false;
        DeleteObject(bitmap);

        int width = cell * 2, height = cell * 2;
        bool supersample = true;
        timing[kDecode].begin();
        unsigned char* pixels = decodeJpegToRgb(path.c_str(), &width, &height, &supersample);
        timing[kDecode].end();
        free(pixels);

        timing[kEntropy].begin();
        if (!plainDecode(path, &image, true, true, NULL)) return false;
        timing[kEntropy].end();
    }
    *scanMs = median(scans);
    return true;
}

std::wstring scratchFolder()
{
    wchar_t exe[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(NULL, exe, MAX_PATH * 2);
    std::wstring dir(exe, n);
    dir = dir.substr(0, dir.find_last_of(L"\\/") + 1);
    dir += L"jpeg-bench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(dir.c_str(), NULL);
    return dir;
}

struct Case {
    std::wstring label;
    std::wstring path;
    int cell;
    bool checked; // judged against the target
};

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 0;
    if (rounds <= 0) rounds = 7;
    std::wstring dir = scratchFolder();
    std::wstring baseline = dir + L"baseline-6000x4000.jpg";
    std::wstring progressive = dir + L"progressive-6000x4000.jpg";
    int status = 0;
    printf("Generating 6000 x 4000 4:2:0 pictures (quality 90) ...\n");
    if (!writeJpeg(baseline, 6000, 4000, false) || !writeJpeg(progressive, 6000, 4000, true)) {
        printf("could not write the pictures\n");
        status = 2;
        goto done;
    }
    {
        std::vector<Case> cases = {
            {L"baseline 4:2:0", baseline, 96, true},
            {L"baseline 4:2:0", baseline, 512, false},
            {L"progressive 4:2:0", progressive, 96, false},
            {L"progressive 4:2:0", progressive, 512, false},
        };
        for (int i = 2; i < argc; i++) {
            std::string arg = argv[i];
            std::wstring path(arg.begin(), arg.end());
            cases.push_back({path, path, 96, false});
        }
        printf("%d rounds. wall: median ms; cpu: mean thread CPU ms (robust on a busy machine)\n"
               "full     plain libjpeg decode of every row (jpeg_stdio_src, default parameters)\n"
               "full128  the same through the thumbnail path's 128 KB source\n"
               "thumb    makeThumbnailBitmap; decode = its decodeJpegToRgb part\n"
               "entropy  decode through the 128 KB source skipping every row but the last:\n"
               "         all entropy decoding, hardly any transform\n"
               "ratio    thumb / full (target for the baseline 96 x 96 case: <= %.2f)\n\n",
               rounds, kTargetRatio);
        printf("%-22s %4s %5s %8s %8s %8s %8s %8s %7s %7s\n", "picture", "cell", "", kPathNames[0], kPathNames[1],
               kPathNames[2], kPathNames[3], kPathNames[4], "ratio", "ratio128");
        for (const Case& c : cases) {
            Timing timing[kPaths];
            double scanMs = 0;
            if (!measure(c.path, c.cell, rounds, timing, &scanMs)) {
                printf("%ls: decode failed\n", c.label.c_str());
                status = 2;
                continue;
            }
            double wall[kPaths], cpu[kPaths];
            for (int p = 0; p < kPaths; p++) {
                wall[p] = median(timing[p].wall);
                cpu[p] = mean(timing[p].cpu);
            }
            for (int row = 0; row < 2; row++) {
                const double* f = row ? cpu : wall;
                printf("%-22ls %4d %5s %8.1f %8.1f %8.1f %8.1f %8.1f %7.3f %7.3f\n", row ? L"" : c.label.c_str(),
                       c.cell, row ? "cpu" : "wall", f[kFull], f[kFullLarge], f[kThumb], f[kDecode], f[kEntropy],
                       f[kThumb] / f[kFull], f[kThumb] / f[kFullLarge]);
            }
            // Where the thumbnail's time goes, from the CPU means.
            printf("%-28s file %.1f MB, start_decompress %.1f ms; thumb = entropy %.0f%% + transform and\n"
                   "%-28s upsampling of the used rows %.0f%% + DIB and halving %.0f%%\n",
                   "", getFileSize64(c.path.c_str()) / 1048576.0, scanMs, 100 * std::min(cpu[kEntropy], cpu[kDecode]) / cpu[kThumb], "",
                   100 * std::max(0.0, cpu[kDecode] - cpu[kEntropy]) / cpu[kThumb],
                   100 * std::max(0.0, cpu[kThumb] - cpu[kDecode]) / cpu[kThumb]);
            if (c.checked) {
                // Judged on CPU time: on a shared machine the wall-clock
                // figures swing by half from run to run, and a quiet
                // machine's wall time is the CPU time of this one thread.
                double ratio = cpu[kThumb] / cpu[kFull];
                printf("%-28s target ratio <= %.2f: %s (cpu %.3f, wall %.3f)\n", "", kTargetRatio,
                       ratio <= kTargetRatio ? "met" : "MISSED", ratio, wall[kThumb] / wall[kFull]);
                if (ratio > kTargetRatio) status = 1;
            }
            printf("\n");
        }
    }
done:
    DeleteFileW(baseline.c_str());
    DeleteFileW(progressive.c_str());
    RemoveDirectoryW(dir.c_str());
    return status;
}
