// Failure paths of the thumbnail conversion must leave nothing behind: no
// open file, no device context, no GDI object, no memory block, no message.
// GetProcessHandleCount and GetGuiResources answer 0 under Wine, so this
// executable's own imports are redirected to count what the code under test
// acquires and releases; the system counters are checked as well.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "box_recorder.h"
#include "jpeg_samples_test.h"
#include "plugin/jpeg_bitmap.h"
#include "support/scratch.h"

namespace {

enum Kind { kFile, kBlock, kDc, kScreenDc, kGdiObject, kKinds };
const char* const kKindNames[kKinds] = {"open files", "memory blocks", "memory DCs", "screen DCs", "GDI objects"};

// Live resources acquired while counting. A fixed table: malloc itself is
// counted, so the table must not allocate.
struct Slot {
    void* handle;
    int kind;
};
const size_t kSlots = 1 << 16;
Slot gSlots[kSlots];
bool gCounting = false;

size_t slotOf(void* handle)
{
    return ((size_t)handle >> 4) * 2654435761u % kSlots;
}
void remember(void* handle, int kind)
{
    if (!gCounting || !handle) return;
    for (size_t i = slotOf(handle), n = 0; n < kSlots; i = (i + 1) % kSlots, n++) {
        if (!gSlots[i].handle || gSlots[i].handle == (void*)-1) {
            gSlots[i].handle = handle;
            gSlots[i].kind = kind;
            return;
        }
    }
}
bool forget(void* handle)
{
    if (!handle) return false;
    for (size_t i = slotOf(handle), n = 0; n < kSlots && gSlots[i].handle; i = (i + 1) % kSlots, n++) {
        if (gSlots[i].handle == handle) {
            gSlots[i].handle = (void*)-1; // keeps later probes going
            return true;
        }
    }
    return false;
}
std::string liveReport()
{
    int counts[kKinds] = {};
    for (const Slot& slot : gSlots) {
        if (slot.handle && slot.handle != (void*)-1) counts[slot.kind]++;
    }
    std::string report;
    for (int k = 0; k < kKinds; k++) {
        if (counts[k]) report += std::to_string(counts[k]) + " " + kKindNames[k] + "; ";
    }
    return report;
}

// Originals of the redirected imports.
FILE* (*gWfopen)(const wchar_t*, const wchar_t*);
int (*gFclose)(FILE*);
void* (*gMalloc)(size_t);
void* (*gCalloc)(size_t, size_t);
void* (*gRealloc)(void*, size_t);
void (*gFree)(void*);
HDC(WINAPI* gCreateCompatibleDC)(HDC);
BOOL(WINAPI* gDeleteDC)(HDC);
HDC(WINAPI* gGetDC)(HWND);
int(WINAPI* gReleaseDC)(HWND, HDC);
HBITMAP(WINAPI* gCreateCompatibleBitmap)(HDC, int, int);
HBITMAP(WINAPI* gCreateDIBSection)(HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD);
BOOL(WINAPI* gDeleteObject)(HGDIOBJ);

FILE* countedWfopen(const wchar_t* path, const wchar_t* mode)
{
    FILE* file = gWfopen(path, mode);
    remember(file, kFile);
    return file;
}
int countedFclose(FILE* file)
{
    forget(file);
    return gFclose(file);
}
void* countedMalloc(size_t size)
{
    void* block = gMalloc(size);
    remember(block, kBlock);
    return block;
}
void* countedCalloc(size_t count, size_t size)
{
    void* block = gCalloc(count, size);
    remember(block, kBlock);
    return block;
}
void* countedRealloc(void* old, size_t size)
{
    bool counted = forget(old);
    void* block = gRealloc(old, size);
    if (block && (counted || !old)) remember(block, kBlock);
    if (!block && counted) remember(old, kBlock);
    return block;
}
void countedFree(void* block)
{
    forget(block);
    gFree(block);
}
HDC WINAPI countedCreateCompatibleDC(HDC dc)
{
    HDC result = gCreateCompatibleDC(dc);
    remember(result, kDc);
    return result;
}
BOOL WINAPI countedDeleteDC(HDC dc)
{
    forget(dc);
    return gDeleteDC(dc);
}
HDC WINAPI countedGetDC(HWND window)
{
    HDC result = gGetDC(window);
    remember(result, kScreenDc);
    return result;
}
int WINAPI countedReleaseDC(HWND window, HDC dc)
{
    forget(dc);
    return gReleaseDC(window, dc);
}
HBITMAP WINAPI countedCreateCompatibleBitmap(HDC dc, int width, int height)
{
    HBITMAP result = gCreateCompatibleBitmap(dc, width, height);
    remember(result, kGdiObject);
    return result;
}
HBITMAP WINAPI countedCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                       DWORD offset)
{
    HBITMAP result = gCreateDIBSection(dc, info, usage, bits, section, offset);
    remember(result, kGdiObject);
    return result;
}
BOOL WINAPI countedDeleteObject(HGDIOBJ object)
{
    forget(object);
    return gDeleteObject(object);
}

// Points this executable's import of `function` at `replacement`; returns
// the previous target, null when the import is not there.
void* redirectImport(const char* function, void* replacement)
{
    BYTE* base = (BYTE*)GetModuleHandleW(NULL);
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (IMAGE_IMPORT_DESCRIPTOR* dll = (IMAGE_IMPORT_DESCRIPTOR*)(base + directory.VirtualAddress); dll->Name; dll++) {
        IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + (dll->OriginalFirstThunk ? dll->OriginalFirstThunk : dll->FirstThunk));
        IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + dll->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            IMAGE_IMPORT_BY_NAME* byName = (IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData);
            if (strcmp((const char*)byName->Name, function) != 0) continue;
            DWORD protection = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
            void* previous = (void*)slots->u1.Function;
            slots->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            return previous;
        }
    }
    return NULL;
}

// Counts while it lives; the imports are put back at its end.
struct ResourceTally {
    struct Redirect {
        const char* name;
        void** original;
        void* counted;
    };
    std::vector<Redirect> redirects = {
        {"_wfopen", (void**)&gWfopen, (void*)countedWfopen},
        {"fclose", (void**)&gFclose, (void*)countedFclose},
        {"malloc", (void**)&gMalloc, (void*)countedMalloc},
        {"calloc", (void**)&gCalloc, (void*)countedCalloc},
        {"realloc", (void**)&gRealloc, (void*)countedRealloc},
        {"free", (void**)&gFree, (void*)countedFree},
        {"CreateCompatibleDC", (void**)&gCreateCompatibleDC, (void*)countedCreateCompatibleDC},
        {"DeleteDC", (void**)&gDeleteDC, (void*)countedDeleteDC},
        {"GetDC", (void**)&gGetDC, (void*)countedGetDC},
        {"ReleaseDC", (void**)&gReleaseDC, (void*)countedReleaseDC},
        {"CreateCompatibleBitmap", (void**)&gCreateCompatibleBitmap, (void*)countedCreateCompatibleBitmap},
        {"CreateDIBSection", (void**)&gCreateDIBSection, (void*)countedCreateDIBSection},
        {"DeleteObject", (void**)&gDeleteObject, (void*)countedDeleteObject},
    };
    bool complete = true;
    ResourceTally()
    {
        memset(gSlots, 0, sizeof gSlots);
        for (Redirect& r : redirects) {
            *r.original = redirectImport(r.name, r.counted);
            complete = complete && *r.original;
        }
    }
    ~ResourceTally()
    {
        gCounting = false;
        for (Redirect& r : redirects) {
            if (*r.original) redirectImport(r.name, *r.original);
        }
    }
};

struct BadFile {
    const char* name;
    std::string bytes;
    bool exists;
};

std::vector<BadFile> badFiles()
{
    JpegRecipe recipe;
    recipe.width = 40;
    recipe.height = 30;
    std::string good = EncodeJpeg(recipe);
    std::string twelveBit;
    ReadFileBytes(TestImagesFolder() + L"testorig12.jpg", &twelveBit);
    std::string manyScans = ManyScanJpeg(64, 48, 150);
    return {
        {"zero bytes", "", true},
        {"text", "This is not a picture at all, just some text.\r\n", true},
        {"start marker only", good.substr(0, 2), true},
        {"cut in the header", good.substr(0, 120), true},
        {"0 x 0 header", WithDimensions(good, 0, 0), true},
        {"65535 x 65535 header", WithDimensions(good, 65535, 65535), true},
        {"12-bit samples", twelveBit, !twelveBit.empty()},
        {"150 scans", manyScans, !manyScans.empty()},
        {"missing file", "", false},
    };
}

TEST(JpegLeaks, FilesThatAreNoUsableJpegGiveNullAndLeaveNothingBehind)
{
    ScratchDir dir(L"jpeg-leaks");
    std::vector<BadFile> files = badFiles();
    std::vector<std::wstring> paths;
    for (const BadFile& file : files) {
        std::wstring path = dir.path + std::wstring(file.name, file.name + strlen(file.name)) + L".jpg";
        if (file.exists) {
            ASSERT_TRUE(WriteFileBytes(path, file.bytes)) << file.name;
        }
        paths.push_back(path);
    }
    // Good files through both ends of makeThumbnailBitmap: straight and halved.
    JpegRecipe recipe;
    recipe.width = 640;
    recipe.height = 480;
    std::wstring halved = dir.path + L"halved.jpg";
    ASSERT_TRUE(WriteFileBytes(halved, EncodeJpeg(recipe)));
    recipe.width = 60;
    recipe.height = 40;
    std::wstring straight = dir.path + L"straight.jpg";
    ASSERT_TRUE(WriteFileBytes(straight, EncodeJpeg(recipe)));

    int nulls = 0, bitmaps = 0;
    auto oneRound = [&] {
        for (const std::wstring& path : paths) {
            HBITMAP bitmap = makeThumbnailBitmap(path.c_str(), 96, 96);
            nulls += bitmap == NULL;
            if (bitmap) DeleteObject(bitmap);
        }
        for (const std::wstring& path : {halved, straight}) {
            HBITMAP bitmap = makeThumbnailBitmap(path.c_str(), 96, 96);
            bitmaps += bitmap != NULL;
            if (bitmap) DeleteObject(bitmap);
        }
    };
    oneRound(); // lets one-time allocations of the runtime and system happen first
    ASSERT_EQ((int)files.size(), nulls) << "every bad file gives null";
    ASSERT_EQ(2, bitmaps);

    DWORD handles = 0, handlesAfter = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &handles));
    DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    std::string live;
    {
        ResourceTally tally;
        ASSERT_TRUE(tally.complete);
        gCounting = true;
        for (int round = 0; round < 50; round++) oneRound();
        gCounting = false;
        live = liveReport();
    }
    EXPECT_EQ("", live) << "left behind";
    EXPECT_EQ(51 * (int)files.size(), nulls);
    EXPECT_EQ(51 * 2, bitmaps);
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &handlesAfter));
    EXPECT_EQ(handles, handlesAfter);
    EXPECT_EQ(gdi, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    EXPECT_TRUE(RecordedBoxes().empty()) << "no message for a bad thumbnail file";
    for (size_t i = 0; i < files.size(); i++) {
        if (files[i].exists) {
            EXPECT_TRUE(DeleteFileW(paths[i].c_str())) << files[i].name << " is still open";
        }
    }
}

} // namespace
