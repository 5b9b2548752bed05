// vistrel-host, the command-line host, run as a process of its own from a
// folder that holds its copy (and the plug-in's, for the commands that
// load it).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct HostRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output; // standard output and error
};

// Runs `folder`vistrel-host.exe with `arguments` in `folder` and collects
// what it prints. A box of the plug-in would wait for a person, so a run
// that hangs is ended (and the test fails).
HostRun RunHost(const std::wstring& folder, const std::vector<std::wstring>& arguments);
