// The cover of a RAR archive through the UnRAR library: one pass lists the
// entries and chooses, a second one reaches the chosen entry and unpacks it
// in test mode, in which the library writes no file at all: the bytes come
// to our callback, which writes them into our own file. Extracting through
// the library would also extract the NTFS-stream records stored after the
// entry, under names taken from the archive and appended to our path, and
// a name that climbs with ".." would put a file anywhere the user can write.
#include <string.h>

#include "common/messages.h"
#include "generators/archive_cover.h"
#include "generators/cover_choice.h"
#include "generators/rar_records.h"
#include "generators/unrar_library.h"

// The largest dictionary an entry may declare: the library allocates and
// clears it before unpacking a byte. Real archives stay far below (the
// archiver's default is 32 MiB); the 32-bit host has little address space.
#ifdef _WIN64
const long long kRarDictionaryLimit = 1LL << 30;
#else
const long long kRarDictionaryLimit = 256LL << 20;
#endif

// The method byte of an entry stored without compression, which needs no
// dictionary.
enum { kRarStored = 0x30 };

// What the listing learnt about the chosen entry.
struct ChosenEntry {
    long long size;        // declared unpacked size
    long long sizeBefore;  // declared unpacked sizes of all entries before it
};

// What the library's callback needs during one archive's passes.
struct RarSession {
    HANDLE cover;        // our file, open for writing while the cover is unpacked
    bool takingCover;    // the data that comes is the cover's
    long long coverSize; // declared: the library never delivers more of the entry
    long long written;   // of the cover, into `cover`
    long long unpacked;  // before the cover, in a solid archive
    bool refused;        // a bound of ours or a failed write ended the operation
    bool trailing;       // data came after the whole cover: a stream record's
};

// Data of the cover goes into our file; data before it (entries of a solid
// archive and their stream records) is only counted, against the budget.
// Once the cover is whole, what follows belongs to a stream record of the
// entry, which a cover never needs: the operation ends there.
static bool takeData(RarSession* session, const void* data, LPARAM size)
{
    if (size < 0) {
        session->refused = true;
        return false;
    }
    if (!session->takingCover) {
        session->unpacked += size;
        if (session->unpacked <= gUnpackBeforeCoverLimit) return true;
        session->refused = true;
        return false;
    }
    if (session->written == session->coverSize) {
        session->trailing = true;
        return false;
    }
    DWORD put = 0;
    if (size > session->coverSize - session->written || !WriteFile(session->cover, data, (DWORD)size, &put, NULL) ||
        put != (DWORD)size) {
        session->refused = true;
        return false;
    }
    session->written += size;
    return true;
}

// The library asks through this callback for what it lacks; a thumbnail
// must never wait for anyone, so a password or a missing volume ends the
// operation at once.
static int CALLBACK rarCallback(UINT message, LPARAM userData, LPARAM p1, LPARAM p2)
{
    RarSession* session = reinterpret_cast<RarSession*>(userData);
    switch (message) {
    case UCM_CHANGEVOLUME:
    case UCM_CHANGEVOLUMEW:
        return p2 == RAR_VOL_NOTIFY ? 1 : -1;
    case UCM_NEEDPASSWORD:
    case UCM_NEEDPASSWORDW:
        return -1;
    case UCM_PROCESSDATA:
        return takeData(session, reinterpret_cast<const void*>(p1), p2) ? 1 : -1;
    default:
        return 0;
    }
}

void PrintRarError(int code)
{
    static const struct {
        int code;
        const char* text;
    } kTexts[] = {
        {ERAR_BAD_DATA, "CRC error"},        {ERAR_BAD_ARCHIVE, "Bad volume"},
        {ERAR_UNKNOWN_FORMAT, "Unknown archive format"}, {ERAR_EOPEN, "Volume open error"},
        {ERAR_ECREATE, "File create error"}, {ERAR_ECLOSE, "File close error"},
        {ERAR_EREAD, "Read error"},          {ERAR_EWRITE, "Write error"},
        {ERAR_UNKNOWN, "Unknown error"},
    };
    // A host with a window has no console, and one that redirected its
    // output into a pipe nobody reads would block on a full pipe: only a
    // console or a file takes the text.
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == NULL || output == INVALID_HANDLE_VALUE) return;
    DWORD type = GetFileType(output), consoleMode;
    if (type != FILE_TYPE_DISK && !(type == FILE_TYPE_CHAR && GetConsoleMode(output, &consoleMode))) return;
    for (const auto& t : kTexts) {
        if (t.code != code) continue;
        DWORD written;
        WriteFile(output, t.text, (DWORD)strlen(t.text), &written, NULL);
        return;
    }
}

// The archive comment is never used: with no buffer for it, the library
// does not unpack it (with a dictionary the comment's header chooses).
static HANDLE openRar(const UnrarLibrary* unrar, const wchar_t* archive, unsigned mode, RarSession* session,
                      bool* solid)
{
    RAROpenArchiveDataEx open;
    memset(&open, 0, sizeof open);
    open.ArcNameW = const_cast<wchar_t*>(archive);
    open.OpenMode = mode;
    open.Callback = rarCallback;
    open.UserData = reinterpret_cast<LPARAM>(session);
    HANDLE handle = unrar->OpenArchiveEx(&open);
    if (open.OpenResult != ERAR_SUCCESS) {
        if (handle) unrar->CloseArchive(handle);
        return NULL;
    }
    *solid = (open.Flags & ROADF_SOLID) != 0;
    return handle;
}

static bool readHeader(const UnrarLibrary* unrar, HANDLE handle, RARHeaderDataEx* header, int* code)
{
    memset(header, 0, sizeof *header);
    *code = unrar->ReadHeaderEx(handle, header);
    header->FileNameW[sizeof header->FileNameW / sizeof header->FileNameW[0] - 1] = 0;
    return *code == ERAR_SUCCESS;
}

// A failure of the library is told once for all archives: a folder of
// damaged archives must not become a box per file.
static void tellFailure(const wchar_t* archive, int code)
{
    ErrorBoxOncePerMessage(archive, L"OutProcessFileError");
    PrintRarError(code);
}

// Declared sizes, saturating: an unknown size reads as the largest.
static long long unpackedSize(const RARHeaderDataEx& header)
{
    unsigned long long size = ((unsigned long long)header.UnpSizeHigh << 32) | header.UnpSize;
    return size > 0x7FFFFFFFFFFFFFFFULL ? 0x7FFFFFFFFFFFFFFFLL : (long long)size;
}

static long long addSaturating(long long a, long long b)
{
    return a > 0x7FFFFFFFFFFFFFFFLL - b ? 0x7FFFFFFFFFFFFFFFLL : a + b;
}

// Whether the library may unpack this entry: a compressed one's dictionary
// is allocated before its first byte.
static bool dictionaryWithinBounds(const RARHeaderDataEx& header)
{
    return header.Method == kRarStored || (long long)header.DictSize * 1024 <= kRarDictionaryLimit;
}

// Folders and links are never covers, whatever their names.
static bool isPlainFile(const RARHeaderDataEx& header)
{
    return !(header.Flags & RHDF_DIRECTORY) && header.RedirType == 0;
}

static void chooseCover(const UnrarLibrary* unrar, HANDLE handle, const wchar_t* archive, int mode,
                        RARHeaderDataEx* header, CoverChoice* choice, ChosenEntry* chosen)
{
    int code = ERAR_SUCCESS;
    long long sizeBefore = 0;
    for (int index = 0; readHeader(unrar, handle, header, &code); ++index) {
        if (index >= gArchiveEntryLimit) {
            choice->bestIndex = -1;
            return;
        }
        bool stop = isPlainFile(*header) && ConsiderCoverEntry(choice, header->FileNameW, index, mode);
        if (choice->bestIndex == index) *chosen = {unpackedSize(*header), sizeBefore};
        if (stop) return;
        sizeBefore = addSaturating(sizeBefore, unpackedSize(*header));
        if (header->CmtState == 1) ErrorBoxOncePerMessage(archive, L"HeaderData.CmtState=1");
        code = unrar->ProcessFileW(handle, RAR_SKIP, NULL, NULL);
        if (code != ERAR_SUCCESS) {
            tellFailure(archive, code);
            return;
        }
    }
    if (code == ERAR_BAD_DATA) ErrorBoxOncePerMessage(archive, L"File header broken");
}

// Whether reaching and unpacking the chosen entry stays within our bounds,
// as far as the headers tell; the callback counts what really comes.
static bool withinBounds(const wchar_t* archive, const ChosenEntry& chosen, bool solid)
{
    if (chosen.size <= 0 || chosen.size > gCoverByteLimit) return false;
    if (solid && chosen.sizeBefore > gUnpackBeforeCoverLimit) return false;
    return RarStreamRecordsWithinBounds(archive);
}

// Entries before the cover: a non-solid archive moves past them without
// unpacking; a solid one must unpack them, and tests them, so that the
// callback counts every byte against the budget.
static bool passEntry(const UnrarLibrary* unrar, HANDLE handle, const wchar_t* archive, const RARHeaderDataEx& header,
                      bool solid, RarSession* session)
{
    if (solid && !dictionaryWithinBounds(header)) return false;
    int code = unrar->ProcessFileW(handle, solid ? RAR_TEST : RAR_SKIP, NULL, NULL);
    if (session->refused) return false;
    // A damaged page before the cover is no reason to give up on the cover;
    // skipping did not check pages either.
    if (code == ERAR_SUCCESS || code == ERAR_BAD_DATA) return true;
    tellFailure(archive, code);
    return false;
}

static bool extractChosen(const UnrarLibrary* unrar, HANDLE handle, const wchar_t* archive, const CoverChoice& choice,
                          const ChosenEntry& chosen, bool solid, RARHeaderDataEx* header, RarSession* session)
{
    int code = ERAR_SUCCESS;
    for (int index = 0; readHeader(unrar, handle, header, &code); ++index) {
        if (index < choice.bestIndex) {
            if (!passEntry(unrar, handle, archive, *header, solid, session)) return false;
            continue;
        }
        // The same entry as in the listing, unless the archive changed.
        if (CompareNames(choice.bestName, header->FileNameW) != 0 || unpackedSize(*header) != chosen.size ||
            !dictionaryWithinBounds(*header))
            return false;
        session->takingCover = true;
        session->coverSize = chosen.size;
        code = unrar->ProcessFileW(handle, RAR_TEST, NULL, NULL);
        session->takingCover = false;
        if (session->refused || session->written != chosen.size) return false;
        // Ended by us after the whole cover had passed its checksum.
        return code == ERAR_SUCCESS || (session->trailing && code == ERAR_UNKNOWN);
    }
    return false;
}

int ExtractRarCover(const wchar_t* archive, const wchar_t* destination, int mode)
{
    static RARHeaderDataEx header;
    int result = 0;
    RarSession session = {INVALID_HANDLE_VALUE, false, 0, 0, 0, false, false};
    ChosenEntry chosen = {0, 0};
    CoverChoice choice;
    bool solid = false;
    HANDLE handle = NULL;
    const UnrarLibrary* unrar = LoadUnrarLibrary();
    if (!unrar) return 0;
    StartCoverChoice(&choice);

    handle = openRar(unrar, archive, RAR_OM_LIST, &session, &solid);
    if (!handle) goto done;
    chooseCover(unrar, handle, archive, mode, &header, &choice, &chosen);
    unrar->CloseArchive(handle);
    handle = NULL;
    if (choice.bestIndex < 0 || !withinBounds(archive, chosen, solid)) goto done;

    session.cover = CreateFileW(destination, GENERIC_WRITE, 0, NULL, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (session.cover == INVALID_HANDLE_VALUE) goto done;
    handle = openRar(unrar, archive, RAR_OM_EXTRACT, &session, &solid);
    if (!handle) goto done;
    result = extractChosen(unrar, handle, archive, choice, chosen, solid, &header, &session) ? 1 : 0;
done:
    if (handle) unrar->CloseArchive(handle);
    if (session.cover != INVALID_HANDLE_VALUE) CloseHandle(session.cover);
    return result;
}
