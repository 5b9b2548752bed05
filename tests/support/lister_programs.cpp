#include "lister_programs.h"

#include <windows.h>

#include "scratch.h"

EmbeddedProgram PlayerStandIn()
{
    return {ExeDirectory() + L"viewer_gui.exe", L""};
}

EmbeddedProgram ImageViewerStandIn()
{
    return {ExeDirectory() + L"viewer_gui.exe", L"--class IrfanView"};
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
