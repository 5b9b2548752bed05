#include "generators/epub_cover.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "generators/archive_cover.h"
#include "generators/cover_choice.h"

enum { kZipEncrypted = 1 };

// One start tag (or empty-element tag): its name without a namespace
// prefix, and the text of its attributes.
struct XmlTag {
    const char* name;
    size_t nameLength;
    const char* attributes;
    size_t attributesLength;
};

static bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

static const char* findText(const char* from, const char* end, const char* text)
{
    size_t length = strlen(text);
    for (const char* p = from; (size_t)(end - p) >= length; ++p)
        if (memcmp(p, text, length) == 0) return p;
    return NULL;
}

// The part after the last ':' of a qualified name.
static void localName(const char* name, size_t length, const char** local, size_t* localLength)
{
    const char* colon = (const char*)memchr(name, ':', length);
    while (colon) {
        length -= (size_t)(colon + 1 - name);
        name = colon + 1;
        colon = (const char*)memchr(name, ':', length);
    }
    *local = name;
    *localLength = length;
}

// The next start tag from `*at`, passing over comments, CDATA, processing
// instructions, declarations and end tags; false at the end of the text.
static bool nextTag(const char** at, const char* end, XmlTag* tag)
{
    const char* p = *at;
    for (;;) {
        p = (const char*)memchr(p, '<', (size_t)(end - p));
        if (!p || end - p < 2) return false;
        const char* close = NULL;
        if (end - p >= 4 && memcmp(p, "<!--", 4) == 0) {
            close = findText(p + 4, end, "-->");
            if (!close) return false;
            p = close + 3;
            continue;
        }
        if (end - p >= 9 && memcmp(p, "<![CDATA[", 9) == 0) {
            close = findText(p + 9, end, "]]>");
            if (!close) return false;
            p = close + 3;
            continue;
        }
        if (p[1] == '?' || p[1] == '!' || p[1] == '/') {
            close = (const char*)memchr(p, '>', (size_t)(end - p));
            if (!close) return false;
            p = close + 1;
            continue;
        }
        const char* name = p + 1;
        const char* q = name;
        while (q < end && !isXmlSpace(*q) && *q != '>' && *q != '/') ++q;
        // Attribute values may hold '>', so quotes are followed.
        const char* r = q;
        char quote = 0;
        for (; r < end; ++r) {
            if (quote) {
                if (*r == quote) quote = 0;
            } else if (*r == '"' || *r == '\'') {
                quote = *r;
            } else if (*r == '>') {
                break;
            }
        }
        if (r == end) return false;
        localName(name, (size_t)(q - name), &tag->name, &tag->nameLength);
        tag->attributes = q;
        tag->attributesLength = (size_t)(r - q);
        *at = r + 1;
        return true;
    }
}

static bool sameText(const char* text, size_t length, const char* wanted)
{
    return strlen(wanted) == length && memcmp(text, wanted, length) == 0;
}

// UTF-8 of a code point from a character reference.
static size_t putUtf8(unsigned long c, char* out)
{
    if (c < 0x80) {
        out[0] = (char)c;
        return 1;
    }
    if (c < 0x800) {
        out[0] = (char)(0xC0 | (c >> 6));
        out[1] = (char)(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = (char)(0xE0 | (c >> 12));
        out[1] = (char)(0x80 | ((c >> 6) & 0x3F));
        out[2] = (char)(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (c >> 18));
    out[1] = (char)(0x80 | ((c >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((c >> 6) & 0x3F));
    out[3] = (char)(0x80 | (c & 0x3F));
    return 4;
}

// An attribute value with its entity and character references decoded;
// false for an unknown entity, a NUL or a value that does not fit.
static bool decodeValue(const char* value, size_t length, char* out, size_t outBytes)
{
    static const struct {
        const char* name;
        char c;
    } kEntities[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    size_t used = 0;
    for (size_t i = 0; i < length;) {
        char piece[4];
        size_t pieceLength = 1;
        piece[0] = value[i];
        if (value[i] != '&') {
            ++i;
        } else {
            const char* semicolon = (const char*)memchr(value + i, ';', length - i);
            if (!semicolon) return false;
            const char* name = value + i + 1;
            size_t nameLength = (size_t)(semicolon - name);
            pieceLength = 0;
            if (nameLength >= 2 && name[0] == '#') {
                bool hex = name[1] == 'x';
                unsigned long c = 0;
                size_t digits = 0;
                for (size_t k = hex ? 2 : 1; k < nameLength; ++k, ++digits) {
                    char d = name[k];
                    int v = d >= '0' && d <= '9' ? d - '0'
                            : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                            : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                           : -1;
                    if (v < 0 || c > 0x10FFFF) return false;
                    c = c * (hex ? 16 : 10) + (unsigned long)v;
                }
                if (digits == 0 || c == 0 || c > 0x10FFFF) return false;
                pieceLength = putUtf8(c, piece);
            } else {
                for (const auto& e : kEntities) {
                    if (sameText(name, nameLength, e.name)) {
                        piece[0] = e.c;
                        pieceLength = 1;
                    }
                }
                if (pieceLength == 0) return false;
            }
            i = (size_t)(semicolon + 1 - value);
        }
        if (piece[0] == 0 || used + pieceLength >= outBytes) return false;
        memcpy(out + used, piece, pieceLength);
        used += pieceLength;
    }
    out[used] = 0;
    return true;
}

// The value of the tag's attribute whose local name is `wanted`. Namespace
// declarations are no attributes.
static bool attributeValue(const XmlTag& tag, const char* wanted, char* out, size_t outBytes)
{
    const char* p = tag.attributes;
    const char* end = p + tag.attributesLength;
    for (;;) {
        while (p < end && isXmlSpace(*p)) ++p;
        const char* name = p;
        while (p < end && *p != '=' && !isXmlSpace(*p) && *p != '/') ++p;
        size_t nameLength = (size_t)(p - name);
        while (p < end && isXmlSpace(*p)) ++p;
        if (nameLength == 0 || p >= end || *p != '=') return false;
        ++p;
        while (p < end && isXmlSpace(*p)) ++p;
        if (p >= end || (*p != '"' && *p != '\'')) return false;
        const char* value = p + 1;
        const char* close = (const char*)memchr(value, *p, (size_t)(end - value));
        if (!close) return false;
        p = close + 1;
        const char* local;
        size_t localLength;
        localName(name, nameLength, &local, &localLength);
        bool declaration = (nameLength >= 6 && memcmp(name, "xmlns:", 6) == 0) || sameText(name, nameLength, "xmlns");
        if (!declaration && sameText(local, localLength, wanted))
            return decodeValue(value, (size_t)(close - value), out, outBytes);
    }
}

static bool isTag(const XmlTag& tag, const char* name)
{
    return sameText(tag.name, tag.nameLength, name);
}

bool FindRootfilePath(const char* xml, size_t size, char* path, size_t pathBytes)
{
    const char* at = xml;
    XmlTag tag;
    while (nextTag(&at, xml + size, &tag))
        if (isTag(tag, "rootfile")) return attributeValue(tag, "full-path", path, pathBytes) && path[0];
    return false;
}

// Whether the space-separated list holds `token`.
static bool hasToken(const char* list, const char* token)
{
    size_t length = strlen(token);
    for (const char* p = list; *p;) {
        while (isXmlSpace(*p)) ++p;
        const char* start = p;
        while (*p && !isXmlSpace(*p)) ++p;
        if ((size_t)(p - start) == length && memcmp(start, token, length) == 0) return true;
    }
    return false;
}

bool FindCoverHref(const char* xml, size_t size, char* href, size_t hrefBytes)
{
    char value[kBookPathBytes], id[kBookPathBytes];
    const char* end = xml + size;
    const char* at = xml;
    XmlTag tag;
    while (nextTag(&at, end, &tag)) {
        if (isTag(tag, "item") && attributeValue(tag, "properties", value, sizeof value) &&
            hasToken(value, "cover-image"))
            return attributeValue(tag, "href", href, hrefBytes) && href[0];
    }
    // The older way: the id of the item, named by a meta element.
    id[0] = 0;
    for (at = xml; !id[0] && nextTag(&at, end, &tag);) {
        if (isTag(tag, "meta") && attributeValue(tag, "name", value, sizeof value) && strcmp(value, "cover") == 0 &&
            (!attributeValue(tag, "content", id, sizeof id) || !id[0]))
            return false;
    }
    if (!id[0]) return false;
    for (at = xml; nextTag(&at, end, &tag);) {
        if (isTag(tag, "item") && attributeValue(tag, "id", value, sizeof value) && strcmp(value, id) == 0)
            return attributeValue(tag, "href", href, hrefBytes) && href[0];
    }
    return false;
}

static int hexValue(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

bool ResolveBookHref(const char* packagePath, const char* href, char* out, size_t outBytes)
{
    char decoded[kBookPathBytes];
    size_t length = 0;
    // A scheme or a drive ("http:", "c:") before any '/' makes it absolute.
    for (const char* p = href; *p && *p != '/' && *p != '#' && *p != '?'; ++p)
        if (*p == ':') return false;
    for (const char* p = href; *p && *p != '#' && *p != '?'; ++p) {
        char c = *p;
        if (c == '%') {
            int high = hexValue(p[1]), low = high < 0 ? -1 : hexValue(p[2]);
            if (low < 0 || (high | low) == 0) return false;
            c = (char)(high * 16 + low);
            p += 2;
        }
        if (length + 1 >= sizeof decoded) return false;
        decoded[length++] = c;
    }
    decoded[length] = 0;

    // The folder of the package document, unless the href starts at the root.
    size_t used = 0;
    if (decoded[0] != '/') {
        const char* slash = strrchr(packagePath, '/');
        used = slash ? (size_t)(slash + 1 - packagePath) : 0;
        if (used >= outBytes) return false;
        memcpy(out, packagePath, used);
    }
    // Step by step: "." and empty steps stay, ".." goes up but never
    // above the root.
    for (const char* p = decoded; *p;) {
        while (*p == '/') ++p;
        const char* step = p;
        while (*p && *p != '/') ++p;
        size_t stepLength = (size_t)(p - step);
        if (stepLength == 0 || (stepLength == 1 && step[0] == '.')) continue;
        if (stepLength == 2 && step[0] == '.' && step[1] == '.') {
            if (used > 0) --used; // the '/' ending the last step
            while (used > 0 && out[used - 1] != '/') --used;
            continue;
        }
        if (used + stepLength + 1 >= outBytes) return false;
        memcpy(out + used, step, stepLength);
        used += stepLength;
        out[used++] = '/';
    }
    if (used == 0 || out[used - 1] != '/') return false;
    out[used - 1] = 0; // the last step names a file, not a folder
    return used > 1;
}

// Whether the current entry is named `path` exactly (backslashes taken as
// slashes, as careless tools write them).
static bool currentEntryIs(unzFile zip, const char* path)
{
    char name[kBookPathBytes];
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, NULL, 0, NULL, 0) != UNZ_OK ||
        info.size_filename >= sizeof name)
        return false;
    name[info.size_filename] = 0;
    for (char* p = name; *p; ++p)
        if (*p == '\\') *p = '/';
    return strcmp(name, path) == 0;
}

// Moves to the entry named `path`, looking at no more entries than a
// listing may. The files a book names usually stand near its start.
static bool locateEntry(unzFile zip, const char* path)
{
    long index = 0;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK && index < gArchiveEntryLimit;
         status = unzGoToNextFile(zip), ++index)
        if (currentEntryIs(zip, path)) return true;
    return false;
}

// The current entry whole into `text` (kBookFileBytes at most, counted as
// inflated), NUL-terminated.
static bool readCurrent(unzFile zip, char* text, size_t* size)
{
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, NULL, 0, NULL, 0, NULL, 0) != UNZ_OK) return false;
    // Other methods would come out as stored, and encryption needs a password.
    if ((info.compression_method != 0 && info.compression_method != Z_DEFLATED) || (info.flag & kZipEncrypted))
        return false;
    if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
    size_t used = 0;
    int n = 0;
    while ((n = unzReadCurrentFile(zip, text + used, (unsigned)(kBookFileBytes + 1 - used))) > 0) {
        used += (size_t)n;
        if (used > kBookFileBytes) break;
    }
    // Closing reports a CRC mismatch once all of it was read.
    bool ok = unzCloseCurrentFile(zip) == UNZ_OK && n == 0 && used <= kBookFileBytes;
    text[ok ? used : 0] = 0;
    *size = used;
    return ok;
}

static bool isPictureName(const char* path)
{
    wchar_t name[kEntryNameChars];
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, name, kEntryNameChars) <= 0) return false;
    return ClassifyImageName(name) != kImageNone || IsOtherImageName(name);
}

bool StartsLikeBook(unzFile zip)
{
    return unzGoToFirstFile(zip) == UNZ_OK && currentEntryIs(zip, "mimetype");
}

bool LocateBookCover(unzFile zip)
{
    bool found = false;
    size_t size = 0;
    char rootfile[kBookPathBytes], package[kBookPathBytes], href[kBookPathBytes], cover[kBookPathBytes];
    if (!locateEntry(zip, kBookContainer)) return false;
    char* text = (char*)malloc(kBookFileBytes + 1);
    if (!text || !readCurrent(zip, text, &size)) goto done;
    if (!FindRootfilePath(text, size, rootfile, sizeof rootfile)) goto done;
    if (!ResolveBookHref("", rootfile, package, sizeof package)) goto done;
    if (!locateEntry(zip, package) || !readCurrent(zip, text, &size)) goto done;
    if (!FindCoverHref(text, size, href, sizeof href) || !ResolveBookHref(package, href, cover, sizeof cover)) goto done;
    found = isPictureName(cover) && locateEntry(zip, cover);
done:
    free(text);
    return found;
}
