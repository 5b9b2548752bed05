#include "ini_text.h"

#include <windows.h>

#include <stdio.h>

#include "scratch.h"

bool IsUtf16(const std::string& bytes)
{
    return bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE;
}

std::string Utf16Bytes(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    bytes.append((const char*)text.data(), text.size() * sizeof(wchar_t));
    return bytes;
}

std::wstring IniFileText(const std::wstring& path)
{
    std::string bytes;
    if (!ReadFileBytes(path, &bytes)) return L"";
    if (IsUtf16(bytes)) return std::wstring((const wchar_t*)(bytes.data() + 2), (bytes.size() - 2) / sizeof(wchar_t));
    std::wstring text(bytes.size(), L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), (int)bytes.size(), &text[0], (int)text.size());
    text.resize(n > 0 ? n : 0);
    return text;
}

std::vector<std::wstring> IniFileLines(const std::wstring& path)
{
    std::vector<std::wstring> lines;
    std::wstring text = IniFileText(path);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(L'\n', at);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(at, end - at);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

std::wstring IniValueInFile(const std::wstring& path, const std::wstring& key)
{
    const std::wstring prefix = key + L"=";
    for (const std::wstring& line : IniFileLines(path)) {
        if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
    }
    return L"<missing>";
}

std::wstring VersionText(double version)
{
    wchar_t text[64];
    swprintf(text, 64, L"%.0f", version);
    return text;
}
