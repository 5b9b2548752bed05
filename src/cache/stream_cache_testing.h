// Test-only control of the stream cache. The production plug-in never
// calls this.
#pragma once

// While set, putting the source's times back fails, as it does on a volume
// or share that refuses to set them.
void RefuseTimeRestoresForTests(bool refuse);
