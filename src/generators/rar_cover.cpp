// The cover of a RAR archive through the UnRAR library: one pass lists the
// entries and chooses, a second one skips up to the chosen entry and
// extracts it.
#include <string.h>

#include "common/messages.h"
#include "generators/archive_cover.h"
#include "generators/cover_choice.h"
#include "generators/unrar_library.h"

enum { kRarCommentBytes = 32768 };

// What the library's callback needs during one archive's passes.
struct RarSession {
    bool extracting;
    long long written;
    bool overLimit;
};

// The library asks through this callback for what it lacks; a thumbnail
// must never wait for anyone, so a password or a missing volume ends the
// operation at once. While the cover is extracted, the bytes it would
// write are counted, and writing stops before they exceed the bound.
static int CALLBACK rarCallback(UINT message, LPARAM userData, LPARAM, LPARAM p2)
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
        if (!session->extracting) return 1;
        if (p2 < 0 || session->written + p2 > gCoverByteLimit) {
            session->overLimit = true;
            return -1;
        }
        session->written += p2;
        return 1;
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

static HANDLE openRar(const UnrarLibrary* unrar, const wchar_t* archive, unsigned mode, char* comment,
                      RarSession* session)
{
    RAROpenArchiveDataEx open;
    memset(&open, 0, sizeof open);
    open.ArcNameW = const_cast<wchar_t*>(archive);
    open.OpenMode = mode;
    open.CmtBuf = comment;
    open.CmtBufSize = kRarCommentBytes;
    open.Callback = rarCallback;
    open.UserData = reinterpret_cast<LPARAM>(session);
    HANDLE handle = unrar->OpenArchiveEx(&open);
    if (open.OpenResult != ERAR_SUCCESS) {
        if (handle) unrar->CloseArchive(handle);
        return NULL;
    }
    return handle;
}

static void startHeader(RARHeaderDataEx* header, char* comment)
{
    memset(header, 0, sizeof *header);
    header->CmtBuf = comment;
    header->CmtBufSize = kRarCommentBytes;
}

static bool readHeader(const UnrarLibrary* unrar, HANDLE handle, RARHeaderDataEx* header, int* code)
{
    *code = unrar->ReadHeaderEx(handle, header);
    header->FileNameW[sizeof header->FileNameW / sizeof header->FileNameW[0] - 1] = 0;
    return *code == ERAR_SUCCESS;
}

// Skips the current entry; a failure is told and ends the walk.
static bool skipEntry(const UnrarLibrary* unrar, HANDLE handle, const wchar_t* archive)
{
    int code = unrar->ProcessFileW(handle, RAR_SKIP, NULL, NULL);
    if (code == ERAR_SUCCESS) return true;
    ErrorBox(archive, L"OutProcessFileError");
    PrintRarError(code);
    return false;
}

// Folders and links are never covers, whatever their names: extracting a
// link would make the cover file point elsewhere.
static bool isPlainFile(const RARHeaderDataEx& header)
{
    return !(header.Flags & RHDF_DIRECTORY) && header.RedirType == 0;
}

static void chooseCover(const UnrarLibrary* unrar, HANDLE handle, const wchar_t* archive, int mode,
                        RARHeaderDataEx* header, CoverChoice* choice)
{
    int code = ERAR_SUCCESS;
    for (int index = 0; readHeader(unrar, handle, header, &code); ++index) {
        if (isPlainFile(*header) && ConsiderCoverEntry(choice, header->FileNameW, index, mode)) return;
        if (header->CmtState == 1) ErrorBox(archive, L"HeaderData.CmtState=1");
        if (!skipEntry(unrar, handle, archive)) return;
    }
    if (code == ERAR_BAD_DATA) ErrorBox(archive, L"File header broken");
}

static bool extractChosen(const UnrarLibrary* unrar, HANDLE handle, const wchar_t* archive,
                          const wchar_t* destination, const CoverChoice& choice, RARHeaderDataEx* header,
                          RarSession* session)
{
    int code = ERAR_SUCCESS;
    for (int index = 0; readHeader(unrar, handle, header, &code); ++index) {
        if (index < choice.bestIndex) {
            if (!skipEntry(unrar, handle, archive)) return false;
            continue;
        }
        // The same entry as in the listing, unless the archive changed.
        if (CompareNames(choice.bestName, header->FileNameW) != 0) return false;
        session->extracting = true;
        code = unrar->ProcessFileW(handle, RAR_EXTRACT, NULL, const_cast<wchar_t*>(destination));
        session->extracting = false;
        return code == ERAR_SUCCESS && !session->overLimit;
    }
    return false;
}

// Clears a read-only attribute that extraction copied onto the cover
// file, so that it can be deleted; tells the user when it cannot.
static void clearReadOnly(const wchar_t* path)
{
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return;
    if (!SetFileAttributesW(path, attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY))
        ErrorBox(path, L"For some reason, could not remove read-only attribute for temporary file. Check your "
                       L"temporary folder to remove it manualy later.");
}

int ExtractRarCover(const wchar_t* archive, const wchar_t* destination, int mode)
{
    const UnrarLibrary* unrar = LoadUnrarLibrary();
    if (!unrar) return 0;
    static char comment[kRarCommentBytes];
    static RARHeaderDataEx header;
    RarSession session = {false, 0, false};
    CoverChoice choice;
    bool extracted = false;
    StartCoverChoice(&choice);

    HANDLE handle = openRar(unrar, archive, RAR_OM_LIST, comment, &session);
    if (!handle) return 0;
    startHeader(&header, comment);
    chooseCover(unrar, handle, archive, mode, &header, &choice);
    unrar->CloseArchive(handle);
    if (choice.bestIndex < 0) return 0;

    handle = openRar(unrar, archive, RAR_OM_EXTRACT, comment, &session);
    if (handle) {
        startHeader(&header, comment);
        extracted = extractChosen(unrar, handle, archive, destination, choice, &header, &session);
        unrar->CloseArchive(handle);
    }
    // The library gives the file the entry's attributes.
    clearReadOnly(destination);
    return extracted ? 1 : 0;
}
