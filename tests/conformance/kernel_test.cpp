// Kernel calls whose behaviour the program relies on.
#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(Kernel, CharNextStepsOneCharacterAndStopsAtTheEnd) {
    const char text[] = "ab";
    EXPECT_EQ(CharNextA(text), text + 1);
    EXPECT_EQ(CharNextA(text + 1), text + 2);
    EXPECT_EQ(CharNextA(text + 2), text + 2);
    EXPECT_EQ(CharNextA(""), CharNextA("") + 0);
}

TEST(Kernel, VersionQueryTakesOnlyTheTwoRecordSizes) {
    const struct {
        DWORD size;
        bool accepted;
    } cases[] = {{0, false}, {147, false}, {148, true}, {156, true}, {160, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        union {
            OSVERSIONINFOA info;
            char room[256];
        } buffer = {};
        buffer.info.dwOSVersionInfoSize = c.size;
        SetLastError(0);
        EXPECT_EQ(GetVersionExA(&buffer.info) != FALSE, c.accepted);
        if (c.accepted) {
            EXPECT_EQ(buffer.info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
        } else {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        }
    }
}

// The tick count is in milliseconds and follows the clock. It moves in steps
// (Wine's whenever its server updates it, later on a busy machine), so the
// 50 ms may show some time after the sleep: waited for, within a bound.
TEST(Kernel, TickCountFollowsSleep) {
    DWORD start = GetTickCount();
    Sleep(50);
    DWORD elapsed = GetTickCount() - start;
    for (int waited = 0; elapsed < 50 && waited < 5000; waited += 5) {
        Sleep(5);
        elapsed = GetTickCount() - start;
    }
    EXPECT_GE(elapsed, 50u);
    EXPECT_LT(elapsed, 10000u);  // not a finer unit
}

TEST(Kernel, ModulesThatAreNotLoadedAreNotFound) {
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA("no-such-conformance-module.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("no-such-conformance-module.dll"), nullptr);
}

int filter_calls = 0;
EXCEPTION_POINTERS* filter_saw = nullptr;
LONG filter_verdict = EXCEPTION_EXECUTE_HANDLER;

LONG WINAPI counting_filter(EXCEPTION_POINTERS* info) {
    ++filter_calls;
    filter_saw = info;
    return filter_verdict;
}

TEST(Kernel, LastChanceFilterAsksTheInstalledFilterFirst) {
    // A filter that calls UnhandledExceptionFilter for the platform's report
    // while it is still installed is called again from inside it.
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = 0xE0000001u;  // an exception of our own, no fault
    EXCEPTION_POINTERS pointers = {&record, nullptr};
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(counting_filter);
    // Only verdicts that end the search: passing would start the real report.
    const LONG verdicts[] = {EXCEPTION_EXECUTE_HANDLER, EXCEPTION_CONTINUE_EXECUTION};
    for (LONG verdict : verdicts) {
        SCOPED_TRACE(verdict);
        filter_calls = 0;
        filter_saw = nullptr;
        filter_verdict = verdict;
        EXPECT_EQ(UnhandledExceptionFilter(&pointers), verdict);
        EXPECT_EQ(filter_calls, 1);
        EXPECT_EQ(filter_saw, &pointers);
    }
    EXPECT_EQ(SetUnhandledExceptionFilter(previous), counting_filter);
}

}  // namespace
