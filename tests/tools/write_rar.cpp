// Writes a stored RAR archive from picture files, for the demo:
//   write_rar OUT (rar4|rar5) [solid] NAME=FILE...
// Entries are stored in the order given, under the names given.
#include <windows.h>

#include <shellapi.h>

#include <stdio.h>

#include <string>

#include "support/rar_writer.h"
#include "support/scratch.h"

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 4) {
        fprintf(stderr, "usage: write_rar OUT (rar4|rar5) [solid] NAME=FILE...\n");
        return 2;
    }
    RarArchive archive;
    archive.format = std::wstring(argv[2]) == L"rar4" ? kRar4 : kRar5;
    for (int i = 3; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"solid") {
            archive.solid = true;
            continue;
        }
        size_t equals = arg.find(L'=');
        RarEntry entry;
        entry.name = arg.substr(0, equals);
        if (equals == std::wstring::npos || !ReadFileBytes(arg.substr(equals + 1), &entry.data)) {
            fprintf(stderr, "cannot read %s\n", Utf8(arg).c_str());
            return 1;
        }
        archive.entries.push_back(entry);
    }
    return WriteFileBytes(argv[1], StoredRar(archive)) ? 0 : 1;
}
