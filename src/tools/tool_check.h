// Whether a tool named in the settings is there to be started.
#pragma once

// True when the program at `path` can be opened for reading. Otherwise
// shows the error box with the path and "File not found at specified
// location from ini", whatever "Debug (bool)" says, and returns false.
bool RequireTool(const wchar_t* path);
