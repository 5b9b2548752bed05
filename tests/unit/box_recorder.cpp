#include "box_recorder.h"

#include <gtest/gtest.h>

#include "common/messages.h"

std::vector<RecordedBox>& RecordedBoxes()
{
    static std::vector<RecordedBox> boxes;
    return boxes;
}

void ClearRecordedBoxes()
{
    RecordedBoxes().clear();
}

static int recordBox(const wchar_t* text, const wchar_t* caption, UINT style)
{
    RecordedBoxes().push_back({text ? text : L"", caption ? caption : L"", style});
    return IDOK;
}

namespace {
// Installed before any test runs; each test starts with an empty record,
// and with no box counted as shown.
class RecorderEnvironment : public ::testing::Environment {
    void SetUp() override { gMessagePresenter = recordBox; }
};
class RecorderReset : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override
    {
        ClearRecordedBoxes();
        ForgetShownBoxes();
    }
};
const bool gRegistered = [] {
    ::testing::AddGlobalTestEnvironment(new RecorderEnvironment);
    ::testing::UnitTest::GetInstance()->listeners().Append(new RecorderReset);
    return true;
}();
} // namespace
