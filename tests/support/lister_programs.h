// The programs the Lister embeds, played by stand-ins: the player by
// stand-ins/viewer_gui.exe (class "SDL_app"), the image viewer by the
// converter stand-in in its viewer mode (class "IrfanView").
#pragma once
#include <windows.h>

#include <string>

#include "support/media.h"

struct EmbeddedProgram {
    std::wstring path;
    // What the stand-in must read from VSL_VIEWER_OPTIONS: the plug-in
    // writes its command line, so the environment is how a test steers it.
    std::wstring options;
};

EmbeddedProgram PlayerStandIn();
EmbeddedProgram ImageViewerStandIn();

// "ffplayPath (chars)" and "irfanviewPath (chars)" naming the two.
SettingsValues ListerProgramSettings();

// Sets VSL_VIEWER_OPTIONS for the next start of `program`: its own options,
// then `extra` (options of viewer_gui.exe).
void SteerStandIn(const EmbeddedProgram& program, const std::wstring& extra = L"");

// Whether the stand-in that wrote its process id into `pidFile` (looked for
// during 5 s) has ended within `waitMs`; one still running is ended here.
// False when no id was written.
bool StandInEnded(const std::wstring& pidFile, DWORD waitMs);
