// Test-only control of the tool runner. The production plug-in never calls
// these.
#pragma once
#include <windows.h>

// Ends runs after `milliseconds` instead of the fixed limit (0: the fixed
// limit again), so that a test of a hanging tool takes seconds.
void SetToolTimeLimitForTests(DWORD milliseconds);

// RunThroughShell for tests that do not tell the file paths apart: all of
// `arguments` counts as one for its characters, and its quoting is not
// judged.
int RunThroughShell(const wchar_t* programPath, const wchar_t* arguments);

// Makes every attempt to put a tool into its job fail, as it does on
// systems without nested jobs when the host runs inside a job of its own.
void RefuseToolJobsForTests(bool refuse);
