// Message boxes shown by the real plug-in DLL are real modal windows. The
// watcher thread finds every message box of this process, records its
// caption and text, and presses OK, so that no test ever blocks on one.
#pragma once
#include <string>
#include <vector>

struct SeenBox {
    std::wstring caption;
    std::wstring text;
};

void StartBoxWatcher();
// Stops the watcher and returns the boxes seen since StartBoxWatcher.
std::vector<SeenBox> StopBoxWatcher();
// Boxes seen so far, without stopping.
std::vector<SeenBox> SeenBoxes();

// RAII form: watches for the lifetime of the object.
struct BoxWatcher {
    BoxWatcher() { StartBoxWatcher(); }
    ~BoxWatcher() { StopBoxWatcher(); }
    std::vector<SeenBox> boxes() const { return SeenBoxes(); }
};
