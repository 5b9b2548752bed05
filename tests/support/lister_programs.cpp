#include "lister_programs.h"

#include <windows.h>

#include <stdlib.h>

#include "scratch.h"

EmbeddedProgram PlayerStandIn()
{
    return {ExeDirectory() + L"viewer_gui.exe", L""};
}

// The converter stand-in in its viewer mode, where the default settings
// look for the converter; it finds the real ffmpeg from there.
EmbeddedProgram ImageViewerStandIn()
{
    return {ToolsFolder() + L"bin\\IrfanView_64\\i_view64.exe", L""};
}

SettingsValues ListerProgramSettings()
{
    return {{L"ffplayPath (chars)", PlayerStandIn().path}, {L"irfanviewPath (chars)", ImageViewerStandIn().path}};
}

void SteerStandIn(const EmbeddedProgram& program, const std::wstring& extra)
{
    std::wstring options = program.options + L" " + extra;
    SetEnvironmentVariableW(L"VSL_VIEWER_OPTIONS", options.c_str());
}

bool StandInEnded(const std::wstring& pidFile, DWORD waitMs)
{
    std::string text;
    for (int i = 0; i < 100 && !ReadFileBytes(pidFile, &text); ++i) Sleep(50);
    DWORD pid = (DWORD)strtoul(text.c_str(), NULL, 10);
    if (!pid) return false;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) return true; // gone before it could be opened
    bool ended = WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process, 0);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
    return ended;
}
