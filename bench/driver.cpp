// Measures tessel.exe against the empty window under Wine: start-up, response to double-clicks and memory; prints
// each as its part of the benchmark's report and judges it against the budget it is given.
#include "controls.h"

#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
// A program under test and how to see from outside that its window is filled in.
struct Subject {
    const char* name;
    const char* className;
    int lastChild;            // the control created last, 0 for none
    int readyControl;         // 0: the main window itself
    const char* placeholder;  // the control's text until the ready moment
};

// The instruction captions are written after every control exists, the last push button last.
const Subject Tessel = {"tessel", WindowClassName, IdButtonBase + ButtonCount - 1, IdInstructionLast, "Out"};
const Subject Empty = {"minimal", "TesselEmptyClass", 0, 0, ""};

constexpr int LatchPortBBit3 = IdLatchBase + BitsPerPort * 1 + 3;
constexpr WORD DoubleClicked = 1;  // STN_DBLCLK
// No case in tessel.exe's window procedure: it goes straight to DefWindowProcA.
constexpr UINT IgnoredMessage = WM_USER + 0x100;
constexpr DWORD ReadyLimitMs = 20000;
constexpr DWORD ExitLimitMs = 10000;
constexpr int ResponseBlocks = 10;
constexpr int ResponseWarmUp = 200;  // even, so it leaves the cell as it found it
// The exit code of a measurement over its budget; any other failure exits with 1.
constexpr int OverBudget = 3;

double TicksPerMs;
LONG (WINAPI* DelayExecution)(BOOLEAN alertable, const LARGE_INTEGER* timeout);
// Half a millisecond between looks: the ready moment is known to within that, and the server and the
// CPU stay with the program. Looks every 0.2 ms or every 20 ms gave the same medians.
long long PollPause100ns = 5000;
// The CPUs the programs under test run on; 0 leaves them where the driver runs.
DWORD_PTR ProgramCpus = 0;

double NowMs()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / TicksPerMs;
}

[[noreturn]] __attribute__((format(printf, 1, 2))) void Fail(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::fputs("bench: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::exit(1);
}

// Sleep(1) would cost a whole millisecond of resolution; a relative NtDelayExecution sleeps in
// microseconds without a trip to the Wine server, leaving both the CPU and the server to the program.
void PollPause()
{
    if (PollPause100ns <= 0)
        return;
    LARGE_INTEGER timeout;
    timeout.QuadPart = -PollPause100ns;
    DelayExecution(FALSE, &timeout);
}

const char* Verdict(bool within)
{
    return within ? "within budget" : "OVER BUDGET";
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Running {
    PROCESS_INFORMATION process;
    HWND main;
    double readyMs;  // from just before CreateProcess to the ready text
};

bool IsReady(HWND control, const Subject& subject)
{
    // Another process's window: user32 reads the text the server keeps and sends no message.
    char text[64];
    int length = GetWindowTextA(control, text, sizeof text);
    return length > 0 && std::strcmp(text, subject.placeholder) != 0;
}

// GetDlgItem on another process's window asks the server for each child in turn, about 140 requests
// for tessel.exe, which would crowd the program's own requests while it builds its controls. Looking
// at the last child alone takes three requests; the list is walked only once it is complete.
HWND FindReadyControl(HWND main, const Subject& subject)
{
    if (subject.readyControl == 0)
        return main;
    HWND child = GetWindow(main, GW_CHILD);
    if (child == nullptr)
        return nullptr;
    child = GetWindow(child, GW_HWNDLAST);
    if (child == nullptr || GetDlgCtrlID(child) != subject.lastChild)
        return nullptr;
    while (child != nullptr && GetDlgCtrlID(child) != subject.readyControl)
        child = GetWindow(child, GW_HWNDPREV);
    if (child == nullptr)
        Fail("%s has no control %d", subject.name, subject.readyControl);
    return child;
}

Running Start(const char* exe, const Subject& subject)
{
    Running run{};
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    char commandLine[MAX_PATH + 3];
    std::snprintf(commandLine, sizeof commandLine, "\"%s\"", exe);

    double started = NowMs();
    DWORD flags = ProgramCpus != 0 ? CREATE_SUSPENDED : 0;
    if (!CreateProcessA(exe, commandLine, nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup, &run.process))
        Fail("cannot start %s (error %lu)", exe, GetLastError());
    if (ProgramCpus != 0) {
        if (!SetProcessAffinityMask(run.process.hProcess, ProgramCpus))
            Fail("cannot set the CPUs of %s (error %lu)", exe, GetLastError());
        ResumeThread(run.process.hThread);
    }
    HWND control = nullptr;
    double nextExitCheck = started + 10;
    for (;;) {
        if (run.main == nullptr)
            run.main = FindWindowA(subject.className, nullptr);
        if (run.main != nullptr && control == nullptr)
            control = FindReadyControl(run.main, subject);
        if (control != nullptr && IsReady(control, subject)) {
            run.readyMs = NowMs() - started;
            break;
        }
        double now = NowMs();
        if (now >= nextExitCheck) {
            if (WaitForSingleObject(run.process.hProcess, 0) == WAIT_OBJECT_0)
                Fail("%s ended before its window was ready", subject.name);
            if (now - started > ReadyLimitMs)
                Fail("%s: no ready window within %lu ms", subject.name, ReadyLimitMs);
            nextExitCheck = now + 10;
        }
        PollPause();
    }
    // Let it show and paint the window and reach its message loop, as a user would see it.
    WaitForInputIdle(run.process.hProcess, ReadyLimitMs);
    return run;
}

void Close(Running& run, const Subject& subject)
{
    PostMessageA(run.main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(run.process.hProcess, ExitLimitMs) != WAIT_OBJECT_0) {
        TerminateProcess(run.process.hProcess, 1);
        Fail("%s did not end within %lu ms of WM_CLOSE", subject.name, ExitLimitMs);
    }
    DWORD code = 1;
    GetExitCodeProcess(run.process.hProcess, &code);
    CloseHandle(run.process.hThread);
    CloseHandle(run.process.hProcess);
    if (code != 0)
        Fail("%s ended with code %lu", subject.name, code);
}

// Starts alternate so that a drift of the machine's load falls on both programs alike. Over budget when the ratio of
// the medians is, or when the main window is not placed as expected (WIDTH HEIGHT X Y).
int MeasureStartup(int runs, const char* tesselExe, const char* emptyExe, double budget, char** expected)
{
    if (runs < 1)
        Fail("at least one start of each program is needed");
    std::vector<double> tessel, empty;
    RECT r{};
    for (int round = -1; round < runs; ++round) {  // round -1 warms the caches and is not counted
        Running t = Start(tesselExe, Tessel);
        if (round == -1)
            GetWindowRect(t.main, &r);
        Close(t, Tessel);
        Running e = Start(emptyExe, Empty);
        Close(e, Empty);
        if (round >= 0) {
            tessel.push_back(t.readyMs);
            empty.push_back(e.readyMs);
        }
    }
    std::printf("2. start-up to the 25th instruction caption, median of %d starts each, Wine server warm:\n", runs);
    auto [tesselLeast, tesselMost] = std::minmax_element(tessel.begin(), tessel.end());
    auto [emptyLeast, emptyMost] = std::minmax_element(empty.begin(), empty.end());
    std::printf("     tessel.exe %.3f ms (range %.2f-%.2f), empty window %.3f ms (range %.2f-%.2f)\n", Median(tessel),
                *tesselLeast, *tesselMost, Median(empty), *emptyLeast, *emptyMost);
    double ratio = Median(tessel) / Median(empty);
    std::printf("     ratio %.3f; budget %.2f: %s\n", ratio, budget, Verdict(ratio <= budget));
    long window[] = {r.right - r.left, r.bottom - r.top, r.left, r.top};
    bool placed = true;
    for (int i = 0; i < 4; ++i)
        placed = placed && window[i] == std::atol(expected[i]);
    std::printf("     main window %ld x %ld at (%ld, %ld) on the %d x %d screen", window[0], window[1], window[2],
                window[3], GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (!placed)
        std::printf("; UNEXPECTED: expected %s x %s at (%s, %s)", expected[0], expected[1], expected[2], expected[3]);
    std::printf("\n");
    return ratio <= budget && placed ? 0 : OverBudget;
}

// SB_GETTEXTA is not marshalled between processes: the text is written into a buffer lent by the target.
void ReadStatusPart0(HANDLE process, HWND statusBar, char* text, size_t size)
{
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr)
        Fail("VirtualAllocEx failed (error %lu)", GetLastError());
    std::memset(text, 0, size);
    LRESULT length = SendMessageA(statusBar, SB_GETTEXTLENGTHA, 0, 0);
    if (LOWORD(length) >= size)
        Fail("status text of %u characters is longer than expected", LOWORD(length));
    SendMessageA(statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(remote));
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, remote, text, size - 1, &got))
        Fail("ReadProcessMemory failed (error %lu)", GetLastError());
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
}

void ExpectCell(HWND cell, HANDLE process, HWND statusBar, const char* caption, const char* summary,
                const char* when)
{
    char cellText[16] = "";
    GetWindowTextA(cell, cellText, sizeof cellText);
    char status[128];
    ReadStatusPart0(process, statusBar, status, sizeof status);
    if (std::strcmp(cellText, caption) != 0 || std::strcmp(status, summary) != 0)
        Fail("%s: cell shows \"%s\" and the status \"%s\"; expected \"%s\" and \"%s\"", when, cellText, status,
             caption, summary);
}

double SendBlock(HWND main, UINT message, WPARAM wParam, LPARAM lParam, int count)
{
    double started = NowMs();
    for (int i = 0; i < count; ++i)
        SendMessageA(main, message, wParam, lParam);
    return NowMs() - started;
}

int MeasureResponse(int notifications, const char* tesselExe)
{
    if (notifications % ResponseBlocks != 0)
        Fail("the number of notifications must be a multiple of %d", ResponseBlocks);
    Running run = Start(tesselExe, Tessel);
    HWND cell = GetDlgItem(run.main, LatchPortBBit3);
    HWND statusBar = GetDlgItem(run.main, IdStatusBar);
    if (cell == nullptr || statusBar == nullptr)
        Fail("tessel.exe has no latch cell %d or no status bar", LatchPortBBit3);
    WPARAM doubleClick = MAKEWPARAM(LatchPortBBit3, DoubleClicked);
    LPARAM from = reinterpret_cast<LPARAM>(cell);

    const char* const set = " 1 ";
    const char* const setSummary = "Port A:00 Port B:08 Port C:00 Port D:00 Port B was clicked";
    const char* const clear = " 0 ";
    const char* const clearSummary = "Port A:00 Port B:00 Port C:00 Port D:00 Port B was clicked";

    SendMessageA(run.main, WM_COMMAND, doubleClick, from);
    ExpectCell(cell, run.process.hProcess, statusBar, set, setSummary, "after the first double-click");
    SendBlock(run.main, IgnoredMessage, 0, 0, ResponseWarmUp);
    SendBlock(run.main, WM_COMMAND, doubleClick, from, ResponseWarmUp);

    // Interleaved blocks, the double-clicks last so the summary is read well within its two seconds.
    int perBlock = notifications / ResponseBlocks;
    double ignoredMs = 0, answeredMs = 0;
    for (int block = 0; block < ResponseBlocks; ++block) {
        ignoredMs += SendBlock(run.main, IgnoredMessage, 0, 0, perBlock);
        answeredMs += SendBlock(run.main, WM_COMMAND, doubleClick, from, perBlock);
    }
    bool odd = notifications % 2 == 1;
    ExpectCell(cell, run.process.hProcess, statusBar, odd ? clear : set, odd ? clearSummary : setSummary,
               "after the timed double-clicks");
    Close(run, Tessel);

    double answeredUs = answeredMs * 1000 / notifications;
    double ignoredUs = ignoredMs * 1000 / notifications;
    std::printf("3. response, %d double-clicks on the latch cell %d, each answered and checked at the end:\n",
                notifications, LatchPortBBit3);
    std::printf("     %.3f us per double-click, %.3f us per ignored message (WM_USER + 256)\n", answeredUs, ignoredUs);
    std::printf("     ratio %.3f\n", answeredUs / ignoredUs);
    return 0;
}

// Memory of one start, in KiB, once the program has shown and painted its window. Under Wine, WorkingSetSize is
// VmRSS and PagefileUsage is RssAnon of /proc/PID/status of the program's Linux process.
struct Memory {
    std::vector<double> rss, pagefile;
};

void SampleMemory(const char* exe, const Subject& subject, Memory& memory)
{
    Running run = Start(exe, subject);
    Sleep(300);  // the first paint of every control has settled by now
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(run.process.hProcess, &counters, sizeof counters))
        Fail("GetProcessMemoryInfo failed (error %lu)", GetLastError());
    memory.rss.push_back(static_cast<double>(counters.WorkingSetSize / 1024));
    memory.pagefile.push_back(static_cast<double>(counters.PagefileUsage / 1024));
    Close(run, subject);
}

// Starts alternate, as for the start-up. Over budget when tessel.exe's median takes TARGET KiB or more than the
// empty window's, by either count.
int MeasureMemory(int samples, const char* tesselExe, const char* emptyExe, double target)
{
    if (samples < 1 || samples % 2 == 0)
        Fail("an odd number of samples is needed, so that each median is one of them");
    Memory tessel, empty;
    for (int sample = 0; sample < samples; ++sample) {
        SampleMemory(tesselExe, Tessel, tessel);
        SampleMemory(emptyExe, Empty, empty);
    }
    std::printf("4. memory of the running program minus the empty window's, median of %d starts each:\n", samples);
    bool within = true;
    for (bool rss : {true, false}) {
        double t = Median(rss ? tessel.rss : tessel.pagefile), e = Median(rss ? empty.rss : empty.pagefile);
        std::printf("     %-13s %.0f KiB - %.0f KiB = %.0f KiB; target under %.0f KiB: %s\n",
                    rss ? "VmRSS" : "PagefileUsage", t, e, t - e, target, Verdict(t - e < target));
        within = within && t - e < target;
    }
    return within ? 0 : OverBudget;
}
}

int main(int argc, char** argv)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    TicksPerMs = static_cast<double>(frequency.QuadPart) / 1000;
    DelayExecution = reinterpret_cast<decltype(DelayExecution)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDelayExecution")));
    if (DelayExecution == nullptr)
        Fail("ntdll has no NtDelayExecution");
    if (const char* pause = std::getenv("TESSEL_BENCH_POLL_US"))
        PollPause100ns = std::atoll(pause) * 10;
    if (const char* cpus = std::getenv("TESSEL_BENCH_PROGRAM_CPUS"))
        ProgramCpus = static_cast<DWORD_PTR>(std::strtoul(cpus, nullptr, 0));

    const char* usage =
        "usage: tessel_bench startup RUNS TESSEL.EXE MINIMAL.EXE RATIO_BUDGET WIDTH HEIGHT X Y\n"
        "       tessel_bench response NOTIFICATIONS TESSEL.EXE\n"
        "       tessel_bench memory SAMPLES TESSEL.EXE MINIMAL.EXE TARGET_KIB\n"
        "exit code 3: over budget\n";
    if (argc == 10 && std::strcmp(argv[1], "startup") == 0)
        return MeasureStartup(std::atoi(argv[2]), argv[3], argv[4], std::atof(argv[5]), argv + 6);
    if (argc == 4 && std::strcmp(argv[1], "response") == 0)
        return MeasureResponse(std::atoi(argv[2]), argv[3]);
    if (argc == 6 && std::strcmp(argv[1], "memory") == 0)
        return MeasureMemory(std::atoi(argv[2]), argv[3], argv[4], std::atof(argv[5]));
    std::fputs(usage, stderr);
    return 2;
}
