// The cover of a 7-Zip archive through the 7-Zip C decoder. The header is
// read by the decoder itself; the cover's folder (a solid block holds many
// entries) is unpacked here as a stream, only up to the cover's last byte,
// into the caller's file. Every allocation goes through an allocator that
// counts what is live, so that no header can make us reserve what it
// merely declares.
#include <stdlib.h>
#include <string.h>

#include <7zip/7z.h>
#include <7zip/7zCrc.h>
#include <7zip/Delta.h>
#include <7zip/Lzma2Dec.h>
#include <7zip/LzmaDec.h>

#include "generators/archive_cover.h"
#include "generators/cover_choice.h"

static_assert(sizeof(wchar_t) == sizeof(UInt16), "entry names are read as UTF-16");

enum : UInt32 {
    kMethodCopy = 0,
    kMethodDelta = 3,
    kMethodLzma2 = 0x21,
    kMethodLzma = 0x30101,
};

// The header of an archive of 100000 pages with long names takes some
// tens of MiB once read; more is refused.
static const size_t kHeaderBytes = 96u << 20;
// A dictionary is never larger than the data it serves, so ours is the
// smaller of the declared one and the bytes up to the cover's end; this
// caps what is left, for the 32-bit host above all.
#ifdef _WIN64
static const size_t kDictionaryBytes = 1u << 30;
#else
static const size_t kDictionaryBytes = 256u << 20;
#endif
// The decoder's probability tables: at most 768 << 12 entries of two bytes.
static const size_t kProbabilityBytes = 8u << 20;

static const size_t kLookBytes = 64 * 1024, kChunkBytes = 64 * 1024, kBlockHeader = 16;

// What the decoder holds, counted: each block carries its size before it.
struct CountedAlloc {
    ISzAlloc vt; // first: the decoder hands &vt back
    size_t live;
    size_t limit;
};

static void* countedAlloc(ISzAllocPtr p, size_t size)
{
    CountedAlloc* counted = (CountedAlloc*)p;
    if (size == 0 || size > counted->limit - counted->live) return NULL;
    unsigned char* block = (unsigned char*)malloc(size + kBlockHeader);
    if (!block) return NULL;
    memcpy(block, &size, sizeof size);
    counted->live += size;
    return block + kBlockHeader;
}

static void countedFree(ISzAllocPtr p, void* address)
{
    if (!address) return;
    CountedAlloc* counted = (CountedAlloc*)p;
    unsigned char* block = (unsigned char*)address - kBlockHeader;
    size_t size;
    memcpy(&size, block, sizeof size);
    counted->live -= size;
    free(block);
}

// The archive, read through our own handle.
struct FileStream {
    ISeekInStream vt; // first, as above
    HANDLE file;
};

static SRes fileRead(ISeekInStreamPtr p, void* buffer, size_t* size)
{
    const FileStream* stream = (const FileStream*)p;
    DWORD want = *size > (1u << 30) ? (1u << 30) : (DWORD)*size, got = 0;
    BOOL ok = ReadFile(stream->file, buffer, want, &got, NULL);
    *size = ok ? got : 0;
    return ok ? SZ_OK : SZ_ERROR_READ;
}

static SRes fileSeek(ISeekInStreamPtr p, Int64* position, ESzSeek origin)
{
    const FileStream* stream = (const FileStream*)p;
    static const DWORD kMethods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    LARGE_INTEGER to, now;
    to.QuadPart = *position;
    if ((unsigned)origin > 2 || !SetFilePointerEx(stream->file, to, &now, kMethods[origin])) return SZ_ERROR_READ;
    *position = now.QuadPart;
    return SZ_OK;
}

// Where the folder's bytes go as they come out: those before the cover are
// dropped, the cover's are written and checked, and then nothing more is
// asked for.
struct CoverSink {
    HANDLE file;
    UInt64 skip; // bytes still to drop before the cover
    UInt64 left; // bytes of the cover still to write
    UInt32 crc;
    unsigned deltaDistance; // 0 without a delta filter
    Byte deltaState[DELTA_STATE_SIZE];
};

static bool sinkTake(CoverSink* sink, const Byte* data, size_t size)
{
    static Byte chunk[kChunkBytes];
    while (size > 0 && sink->left > 0) {
        size_t n = size < kChunkBytes ? size : kChunkBytes;
        const Byte* bytes = data;
        // The filter works on a copy: the bytes in the dictionary are what
        // later matches refer to.
        if (sink->deltaDistance) {
            memcpy(chunk, data, n);
            Delta_Decode(sink->deltaState, sink->deltaDistance, chunk, n);
            bytes = chunk;
        }
        data += n;
        size -= n;
        if (sink->skip >= n) {
            sink->skip -= n;
            continue;
        }
        bytes += sink->skip;
        n -= (size_t)sink->skip;
        sink->skip = 0;
        if (n > sink->left) n = (size_t)sink->left;
        DWORD put = 0;
        if (!WriteFile(sink->file, bytes, (DWORD)n, &put, NULL) || put != n) return false;
        sink->crc = CrcUpdate(sink->crc, bytes, n);
        sink->left -= n;
    }
    return true;
}

// Bytes stored as they are, read from where the stream stands.
static bool unpackCopy(ILookInStreamPtr look, CoverSink* sink)
{
    while (sink->left > 0) {
        const void* in = NULL;
        UInt64 wanted = sink->skip + sink->left;
        size_t n = wanted < kLookBytes ? (size_t)wanted : kLookBytes;
        if (ILookInStream_Look(look, &in, &n) != SZ_OK || n == 0) return false;
        if (!sinkTake(sink, (const Byte*)in, n)) return false;
        ILookInStream_Skip(look, n);
    }
    return true;
}

// LZMA or LZMA2 into a ring of `dictionary` bytes (at least the declared
// dictionary, or all the bytes wanted), handed to the sink as they come.
static bool unpackLzma(ILookInStreamPtr look, UInt64 packSize, bool lzma2, const Byte* props, unsigned propsSize,
                       CountedAlloc* alloc, CoverSink* sink)
{
    static const Byte kNoInput = 0;
    bool ok = false;
    CLzmaDec lzma;
    CLzma2Dec lzma2Dec;
    CLzmaDec* state = lzma2 ? &lzma2Dec.decoder : &lzma;
    LzmaDec_CONSTRUCT(&lzma);
    Lzma2Dec_CONSTRUCT(&lzma2Dec);
    UInt64 wanted = sink->skip + sink->left, declared = 0;
    Byte* dictionary = NULL;
    size_t dictionaryBytes = 0;

    if (lzma2) {
        if (propsSize != 1 || props[0] > 40) goto done;
        declared = props[0] == 40 ? 0xFFFFFFFFu : (UInt64)(2 | (props[0] & 1)) << (props[0] / 2 + 11);
        if (Lzma2Dec_AllocateProbs(&lzma2Dec, props[0], &alloc->vt) != SZ_OK) goto done;
    } else {
        CLzmaProps decoded;
        if (LzmaProps_Decode(&decoded, props, propsSize) != SZ_OK) goto done;
        declared = decoded.dicSize;
        if (LzmaDec_AllocateProbs(&lzma, props, propsSize, &alloc->vt) != SZ_OK) goto done;
    }
    // Smaller than the declared dictionary only when it holds every byte
    // wanted: the ring then never turns, and no match can reach past it.
    dictionaryBytes = (size_t)(declared < wanted ? declared : wanted);
    dictionary = (Byte*)ISzAlloc_Alloc(&alloc->vt, dictionaryBytes);
    if (!dictionary) goto done;
    state->dic = dictionary;
    state->dicBufSize = dictionaryBytes;
    if (lzma2)
        Lzma2Dec_Init(&lzma2Dec);
    else
        LzmaDec_Init(&lzma);

    while (sink->left > 0) {
        const void* in = &kNoInput;
        size_t available = packSize < kLookBytes ? (size_t)packSize : kLookBytes;
        if (available > 0 && ILookInStream_Look(look, &in, &available) != SZ_OK) goto done;
        wanted = sink->skip + sink->left;
        SizeT start = state->dicPos, used = available, room = dictionaryBytes - start;
        SizeT limit = start + (wanted < room ? (SizeT)wanted : room);
        ELzmaStatus status;
        SRes result = lzma2 ? Lzma2Dec_DecodeToDic(&lzma2Dec, limit, (const Byte*)in, &used, LZMA_FINISH_ANY, &status)
                            : LzmaDec_DecodeToDic(&lzma, limit, (const Byte*)in, &used, LZMA_FINISH_ANY, &status);
        SizeT produced = state->dicPos - start;
        if (result != SZ_OK || !sinkTake(sink, dictionary + start, produced)) goto done;
        if (used > 0) ILookInStream_Skip(look, used);
        packSize -= used;
        if (state->dicPos == dictionaryBytes) state->dicPos = 0;
        // Either input is used or output made, or the stream is damaged
        // or ends before the cover does.
        if (used == 0 && produced == 0) goto done;
        if (status == LZMA_STATUS_FINISHED_WITH_MARK && sink->left > 0) goto done;
    }
    ok = true;
done:
    if (dictionary) ISzAlloc_Free(&alloc->vt, dictionary);
    LzmaDec_FreeProbs(&lzma, &alloc->vt);
    Lzma2Dec_FreeProbs(&lzma2Dec, &alloc->vt);
    return ok;
}

// The coders of real archives of pictures: copy, LZMA or LZMA2, perhaps
// behind a delta filter (7-Zip's choice for sound files). Branch filters
// serve programs, and encrypted folders would need a password.
static bool readFolder(const CSzAr* ar, UInt32 folder, CSzFolder* coders)
{
    CSzData data;
    data.Data = ar->CodersData + ar->FoCodersOffsets[folder];
    data.Size = ar->FoCodersOffsets[folder + 1] - ar->FoCodersOffsets[folder];
    if (SzGetNextFolderItem(coders, &data) != SZ_OK || data.Size != 0) return false;
    if (coders->UnpackStream != ar->FoToMainUnpackSizeIndex[folder]) return false;
    if (coders->NumPackStreams != 1 || coders->PackStreams[0] != 0 || coders->Coders[0].NumStreams != 1) return false;
    UInt32 main = coders->Coders[0].MethodID;
    if (main != kMethodCopy && main != kMethodLzma && main != kMethodLzma2) return false;
    if (coders->NumCoders == 1) return coders->NumBonds == 0;
    const CSzCoderInfo& filter = coders->Coders[1];
    return coders->NumCoders == 2 && coders->NumBonds == 1 && coders->Bonds[0].InIndex == 1 &&
           coders->Bonds[0].OutIndex == 0 && filter.NumStreams == 1 && filter.MethodID == kMethodDelta &&
           filter.PropsSize == 1;
}

// Unpacks entry `file` into `destination`, counting what comes out.
static bool extractEntry(const CSzArEx* db, ILookInStreamPtr look, UInt32 file, HANDLE destination,
                         CountedAlloc* alloc)
{
    const CSzAr* ar = &db->db;
    UInt32 folder = db->FileToFolder[file];
    if (folder == (UInt32)-1) return false; // no data: nothing to show
    CoverSink sink = {};
    sink.file = destination;
    sink.skip = db->UnpackPositions[file] - db->UnpackPositions[db->FolderToFile[folder]];
    sink.left = SzArEx_GetFileSize(db, file);
    sink.crc = CRC_INIT_VAL;
    UInt64 folderSize = SzAr_GetFolderUnpackSize(ar, folder);
    if (sink.left == 0 || sink.left > (UInt64)gCoverByteLimit) return false;
    if (sink.skip > folderSize || sink.left > folderSize - sink.skip) return false;

    CSzFolder coders;
    if (!readFolder(ar, folder, &coders)) return false;
    const CSzCoderInfo& main = coders.Coders[0];
    const Byte* props = ar->CodersData + ar->FoCodersOffsets[folder];
    if (coders.NumCoders == 2) {
        sink.deltaDistance = (unsigned)props[coders.Coders[1].PropsOffset] + 1;
        Delta_Init(sink.deltaState);
    }
    UInt32 pack = ar->FoStartPackStreamIndex[folder];
    UInt64 packStart = db->dataPos + ar->PackPositions[pack];
    UInt64 packSize = ar->PackPositions[pack + 1] - ar->PackPositions[pack];
    bool copy = main.MethodID == kMethodCopy;
    if (copy && packSize != folderSize) return false;
    // Stored bytes before the cover are passed over unread, unless a
    // filter needs them; anything else must be unpacked to be passed, and
    // that is what the budget counts.
    if (copy && !sink.deltaDistance) {
        packStart += sink.skip;
        sink.skip = 0;
    }
    if (sink.skip > (UInt64)gUnpackBeforeCoverLimit) return false;
    if (LookInStream_SeekTo(look, packStart) != SZ_OK) return false;
    bool whole = copy ? unpackCopy(look, &sink)
                      : unpackLzma(look, packSize, main.MethodID == kMethodLzma2, props + main.PropsOffset,
                                   main.PropsSize, alloc, &sink);
    if (!whole || sink.left != 0) return false;
    return !SzBitWithVals_Check(&db->CRCs, file) || CRC_GET_DIGEST(sink.crc) == db->CRCs.Vals[file];
}

// Folders and links are never covers: a link's data is the name of
// another file. Unix modes stand in the upper half when 0x8000 is set.
static bool isPlainFile(const CSzArEx* db, UInt32 file)
{
    if (SzArEx_IsDir(db, file)) return false;
    if (!SzBitWithVals_Check(&db->Attribs, file)) return true;
    UInt32 attributes = db->Attribs.Vals[file];
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    return !(attributes & 0x8000) || ((attributes >> 16) & 0xF000) == 0x8000;
}

int ExtractSevenZipCover(const wchar_t* archive, const wchar_t* destination, int mode)
{
    static Byte lookBuffer[kLookBytes];
    static bool crcReady = false;
    int result = 0;
    HANDLE out = INVALID_HANDLE_VALUE;
    CountedAlloc alloc = {{countedAlloc, countedFree}, 0, kHeaderBytes};
    FileStream stream = {{fileRead, fileSeek}, INVALID_HANDLE_VALUE};
    CLookToRead2 look;
    CSzArEx db;
    CoverChoice choice;
    bool opened = false;
    StartCoverChoice(&choice);
    if (!crcReady) {
        CrcGenerateTable();
        crcReady = true;
    }
    SzArEx_Init(&db);

    stream.file = CreateFileW(archive, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (stream.file == INVALID_HANDLE_VALUE) goto done;
    LookToRead2_CreateVTable(&look, False);
    look.realStream = &stream.vt;
    look.buf = lookBuffer;
    look.bufSize = kLookBytes;
    LookToRead2_INIT(&look);
    opened = SzArEx_Open(&db, &look.vt, &alloc.vt, &alloc.vt) == SZ_OK;
    if (!opened || db.NumFiles > (UInt32)gArchiveEntryLimit) goto done;

    for (UInt32 file = 0; file < db.NumFiles; ++file) {
        wchar_t name[kEntryNameChars];
        if (!isPlainFile(&db, file) || SzArEx_GetFileNameUtf16(&db, file, NULL) > kEntryNameChars) continue;
        SzArEx_GetFileNameUtf16(&db, file, (UInt16*)name);
        if (ConsiderCoverEntry(&choice, name, (int)file, mode)) break;
    }
    if (choice.bestIndex < 0) goto done;

    out = CreateFileW(destination, GENERIC_WRITE, 0, NULL, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE) goto done;
    alloc.limit = alloc.live + kDictionaryBytes + kProbabilityBytes;
    result = extractEntry(&db, &look.vt, (UInt32)choice.bestIndex, out, &alloc) ? 1 : 0;
done:
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (opened) SzArEx_Free(&db, &alloc.vt);
    if (stream.file != INVALID_HANDLE_VALUE) CloseHandle(stream.file);
    return result;
}
