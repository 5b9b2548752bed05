// Records the message boxes the plug-in code would show, instead of showing
// them. Installed for the whole unit-test program; tests read and clear it.
#pragma once
#include <string>
#include <vector>

struct RecordedBox {
    std::wstring text;
    std::wstring caption; // "" when the box has no caption of its own
    unsigned style;
};

std::vector<RecordedBox>& RecordedBoxes();
void ClearRecordedBoxes();
