// The cover a book declares. An EPUB is a ZIP that holds
// META-INF/container.xml, which names its package document, whose manifest
// marks the cover picture (EPUB 3: properties="cover-image"; EPUB 2:
// <meta name="cover" content="ID"> and the item of that id). Both files
// are read whole into a bounded buffer and scanned for those few
// attributes only.
#pragma once
#include <stddef.h>

#include <minizip/unzip.h>

// The entry that makes a ZIP a book.
#define kBookContainer "META-INF/container.xml"

// Whether the first entry is "mimetype", as books have it: tells most books
// at once, without a walk over the entries.
bool StartsLikeBook(unzFile zip);
// Positions `zip` on the picture the book declares as its cover. False
// when it is no book, declares none, the entry is not a picture or is missing, or a
// file on the way is missing, damaged, larger than kBookFileBytes or
// stored in a way the reader cannot unpack.
bool LocateBookCover(unzFile zip);
enum { kBookFileBytes = 1 << 20, kBookPathBytes = 4096 };

// The full-path of the first rootfile of a container document, as written
// (entities decoded). False when there is none or it does not fit.
bool FindRootfilePath(const char* xml, size_t size, char* path, size_t pathBytes);
// The href of the cover picture's manifest item in a package document.
bool FindCoverHref(const char* xml, size_t size, char* href, size_t hrefBytes);
// The entry name that `href` names relative to the package document at
// `packagePath`: fragment dropped, percent-escapes decoded, "." and ".."
// steps taken, never above the archive's root. False for an absolute URL,
// a bad escape, an empty result or one that does not fit.
bool ResolveBookHref(const char* packagePath, const char* href, char* out, size_t outBytes);
