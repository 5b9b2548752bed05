#include "lister_programs.h"

#include <windows.h>

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
