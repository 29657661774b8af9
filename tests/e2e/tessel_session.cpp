// Starting, watching and stopping tessel.exe for the end-to-end tests, and reading its window from outside.
#include "tessel_session.h"

#include "controls.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string TesselPath;

namespace {
constexpr SIZE_T RemoteSize = 4096;
// Settle() passes its mark through the last status part, which tessel never writes, from the
// second half of the remote buffer, which the other helpers leave alone.
constexpr int SettlePart = 9;
constexpr SIZE_T SettleOffset = RemoteSize / 2;

std::vector<Launch> Launches;

std::string ProbeDllPath()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + "tessel_probe.dll";
}

// One reply area for the whole driver; the probe opens it by name.
ProbeReply* ReplyArea()
{
    static ProbeReply* area = [] {
        HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeReply),
                                            ProbeReplyName);
        return mapping == nullptr ? nullptr
                                  : static_cast<ProbeReply*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    }();
    return area;
}

HWND WindowOfProcess(DWORD pid)
{
    for (HWND window : TesselWindows()) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid)
            return window;
    }
    return nullptr;
}

bool IsReady(HWND main)
{
    if (main == nullptr || !IsWindowVisible(main))
        return false;
    std::string last = TextOf(GetDlgItem(main, IdInstructionLast));
    return !last.empty() && last != "Out";
}

struct BoxSearch {
    DWORD pid;
    std::vector<MessageBoxSeen> boxes;
};

int VisibleButtons(HWND box)
{
    int count = 0;
    for (HWND w = GetWindow(box, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
        if (IsWindowVisible(w) && ClassOf(w) == "Button")
            ++count;
    return count;
}

BOOL CALLBACK CollectBox(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid && IsWindowVisible(window) && ClassOf(window) == "#32770")
        search->boxes.push_back(
            {window, GetWindow(window, GW_OWNER), TextOf(window), TextOf(GetDlgItem(window, 0xFFFF)),
             VisibleButtons(window)});
    return TRUE;
}

struct TopLevelSearch {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid)
        search->windows.push_back(window);
    return TRUE;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

const char* PortName(int port)
{
    static const char* const names[] = {"port A", "port B", "port C", "port D"};
    return names[port & 3];
}

Launch Create(DWORD flags, HANDLE* thread)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + TesselPath + "\"";
    if (!CreateProcessA(TesselPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                        &startup, &info)) {
        ADD_FAILURE() << "cannot start " << TesselPath << ": error " << GetLastError();
        return {};
    }
    *thread = info.hThread;
    Launches.push_back({info.hProcess, info.dwProcessId});
    return Launches.back();
}
}

int EnvNumber(const char* name, int fallback)
{
    char text[32];
    DWORD length = GetEnvironmentVariableA(name, text, sizeof text);
    return length > 0 && length < sizeof text ? static_cast<int>(std::strtoul(text, nullptr, 0)) : fallback;
}

const DWORD WaitLimit = 10000u * static_cast<DWORD>(std::max(1, EnvNumber("TESSEL_TIME_SCALE", 1)));

Launch LaunchTessel()
{
    HANDLE thread = nullptr;
    Launch launch = Create(0, &thread);
    if (thread != nullptr)
        CloseHandle(thread);
    return launch;
}

std::vector<Launch> LaunchTogether(int count)
{
    std::vector<Launch> launches;
    std::vector<HANDLE> threads;
    for (int n = 0; n < count; ++n) {
        HANDLE thread = nullptr;
        launches.push_back(Create(CREATE_SUSPENDED, &thread));
        if (thread != nullptr)
            threads.push_back(thread);
    }
    for (HANDLE thread : threads) {
        ResumeThread(thread);
        CloseHandle(thread);
    }
    return launches;
}

void StopEveryLaunch()
{
    for (const Launch& launch : Launches) {
        if (WaitForSingleObject(launch.process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(launch.process, 99);
            WaitForSingleObject(launch.process, WaitLimit);
        }
        CloseHandle(launch.process);
    }
    Launches.clear();
}

DWORD ExitCodeWithin(HANDLE process, DWORD limit)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process, limit) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    return code;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, WaitLimit, &result) == 0)
        ADD_FAILURE() << "message 0x" << std::hex << message << " (wParam 0x" << wParam << ", lParam 0x" << lParam
                      << ") to window " << window << " got no answer";
    return static_cast<LRESULT>(result);
}

std::string Hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::vector<HWND> TesselWindows()
{
    std::vector<HWND> found;
    for (HWND w = FindWindowExA(nullptr, nullptr, WindowClassName, nullptr); w != nullptr;
         w = FindWindowExA(nullptr, w, WindowClassName, nullptr))
        found.push_back(w);
    return found;
}

std::string TextOf(HWND window)
{
    char text[256] = "";
    if (window != nullptr)
        Send(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string ControlName(int id)
{
    std::string n = std::to_string(id);
    if (id == 200)
        return "status bar " + n;
    if (id >= 500 && id <= 507)
        return "listing line " + n;
    if (id >= 508 && id <= 539)
        return "bit label " + n + " (" + PortName((id - 508) / 8) + " column " + std::to_string((id - 508) % 8) + ")";
    if (id >= 600 && id <= 603)
        return "port panel " + n + " (" + PortName(id - 600) + ")";
    if (id >= 700 && id <= 731)
        return "latch cell " + n + " (" + PortName((id - 700) / 8) + " bit " + std::to_string((id - 700) % 8) + ")";
    if (id >= 750 && id <= 781)
        return "direction cell " + n + " (" + PortName((id - 750) / 8) + " bit " + std::to_string((id - 750) % 8) +
               ")";
    if (id >= 800 && id <= 824)
        return "instruction check box " + n + " (position " + std::to_string(id - 800) + ")";
    if (id == 825)
        return "loop check box " + n;
    if (id >= 900 && id <= 902)
        return "push button " + n;
    return "control " + n;
}

int BitCellId(int n)
{
    return n < 32 ? 700 + n : 750 + n - 32;
}

bool IsBitCell(int id)
{
    return (id >= 700 && id < 732) || (id >= 750 && id < 782);
}

namespace {
struct CellBit {
    bool latch;
    int reg;  // index into PortModel::registers
    int bit;
};

CellBit BitOf(int cellId)
{
    bool latch = cellId < 750;
    int offset = cellId - (latch ? 700 : 750);
    return {latch, 2 * (offset / 8) + (latch ? 0 : 1), offset % 8};
}
}

void PortModel::DoubleClick(int cellId)
{
    CellBit c = BitOf(cellId);
    registers[c.reg] ^= 1 << c.bit;
    if (c.latch)
        letter = static_cast<char>('A' + c.reg / 2);
}

std::string PortModel::Caption(int cellId) const
{
    CellBit c = BitOf(cellId);
    bool set = (registers[c.reg] >> c.bit & 1) != 0;
    return c.latch ? (set ? " 1 " : " 0 ") : (set ? "In" : "Out");
}

std::string PortModel::Summary() const
{
    char text[80];
    std::snprintf(text, sizeof text, "Port A:%02X Port B:%02X Port C:%02X Port D:%02X Port %c was clicked",
                  registers[0], registers[2], registers[4], registers[6], letter);
    return text;
}

std::ostream& operator<<(std::ostream& out, const Rect& r)
{
    return out << "(" << r.x << ", " << r.y << ") " << r.width << " x " << r.height;
}

Rect ScreenRect(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

Rect ChildRect(HWND child)
{
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

Rect ClientRect(HWND window)
{
    RECT r{};
    GetClientRect(window, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::vector<MessageBoxSeen> MessageBoxesOf(DWORD pid)
{
    BoxSearch search{pid, {}};
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
    return search.boxes;
}

std::vector<HWND> TopLevelWindowsOf(DWORD pid)
{
    TopLevelSearch search{pid, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

std::ostream& operator<<(std::ostream& out, const Resources& r)
{
    return out << "windows " << r.windows << ", GDI objects " << r.gdiObjects << ", PagefileUsage " << r.pagefileKiB
               << " KiB, VmRSS " << r.vmRssKiB << " KiB (RssFile " << r.rssFileKiB << " KiB)";
}

bool DismissBox(HWND box)
{
    HWND ok = GetDlgItem(box, IDOK);
    if (ok == nullptr) {
        ADD_FAILURE() << "message box " << box << " has no OK button";
        return false;
    }
    Send(ok, BM_CLICK, 0, 0);
    return WaitFor([box] { return !IsWindow(box); });
}

// Every event carries its own position: under Wine, the X motion that a SetCursorPos warp causes
// can reach the server after later clicks and move them back to the old position.
void ClickAt(int x, int y, int clicks)
{
    // Normalised to 0..65535, aimed at the pixel's centre.
    LONG dx = static_cast<LONG>((2 * x + 1) * 65536LL / (2 * GetSystemMetrics(SM_CXSCREEN)));
    LONG dy = static_cast<LONG>((2 * y + 1) * 65536LL / (2 * GetSystemMetrics(SM_CYSCREEN)));
    std::vector<INPUT> inputs;
    auto add = [&](DWORD button) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = dx;
        input.mi.dy = dy;
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button;
        inputs.push_back(input);
    };
    add(0);
    for (int n = 0; n < clicks; ++n) {
        add(MOUSEEVENTF_LEFTDOWN);
        add(MOUSEEVENTF_LEFTUP);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void PressKey(WORD key)
{
    INPUT inputs[2]{};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

Tessel::~Tessel()
{
    if (hook_ != nullptr)
        UnhookWindowsHookEx(hook_);
    if (launch_.process != nullptr && WaitForSingleObject(launch_.process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(launch_.process, 99);
        WaitForSingleObject(launch_.process, WaitLimit);
    }
}

bool Tessel::Start()
{
    EXPECT_TRUE(TesselWindows().empty()) << "a Tessel window is already open before the start";
    tickBefore_ = GetTickCount();
    launch_ = LaunchTessel();
    if (launch_.process == nullptr)
        return false;
    // A start that ends without a window fails at once, not after the whole limit.
    bool ended = false;
    bool ready = WaitFor([this, &ended] {
        main_ = WindowOfProcess(launch_.pid);
        ended = WaitForSingleObject(launch_.process, 0) == WAIT_OBJECT_0;
        return IsReady(main_) || ended;
    }) && !ended;
    tickAfter_ = GetTickCount();
    if (ended) {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(launch_.process, &code);
        ADD_FAILURE() << "tessel.exe (pid " << launch_.pid << ") ended with exit code " << code
                      << " before it showed a ready window";
    } else if (!ready) {
        ADD_FAILURE() << "tessel.exe (pid " << launch_.pid << ") showed no ready window within " << WaitLimit << " ms";
    }
    return ready;
}

DWORD Tessel::Close()
{
    if (hook_ != nullptr)
        UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    PostMessageA(main_, WM_CLOSE, 0, 0);
    return ExitCodeWithin(launch_.process);
}

HWND Tessel::Focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(main_, nullptr), &info);
    return info.hwndFocus;
}

void* Tessel::Remote()
{
    if (remote_ == nullptr)
        remote_ = VirtualAllocEx(launch_.process, nullptr, RemoteSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    return remote_;
}

std::string Tessel::StatusText(int part)
{
    char text[256] = "";
    WriteProcessMemory(launch_.process, Remote(), text, sizeof text, nullptr);
    Send(StatusBar(), SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(Remote()));
    ReadProcessMemory(launch_.process, Remote(), text, sizeof text, nullptr);
    text[sizeof text - 1] = '\0';
    return text;
}

int Tessel::StatusTextType(int part)
{
    return HIWORD(Send(StatusBar(), SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0));
}

std::vector<int> Tessel::StatusParts()
{
    int edges[32] = {};
    WriteProcessMemory(launch_.process, Remote(), edges, sizeof edges, nullptr);
    LRESULT count = Send(StatusBar(), SB_GETPARTS, 32, reinterpret_cast<LPARAM>(Remote()));
    ReadProcessMemory(launch_.process, Remote(), edges, sizeof edges, nullptr);
    if (count < 0 || count > 32)
        count = 0;
    return std::vector<int>(edges, edges + count);
}

void Tessel::SetStatusText(int part, const char* text)
{
    WriteProcessMemory(launch_.process, Remote(), text, std::strlen(text) + 1, nullptr);
    Send(StatusBar(), SB_SETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(Remote()));
}

void Tessel::Notify(int id, WORD code)
{
    Send(main_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
}

void Tessel::Settle()
{
    char* remote = static_cast<char*>(Remote()) + SettleOffset;
    std::string mark = "settled " + std::to_string(++settled_);
    WriteProcessMemory(launch_.process, remote, mark.c_str(), mark.size() + 1, nullptr);
    PostMessageA(StatusBar(), SB_SETTEXTA, SettlePart, reinterpret_cast<LPARAM>(remote));
    if (!WaitFor([&] { return StatusText(SettlePart) == mark; }))
        ADD_FAILURE() << "tessel did not reach the mark \"" << mark << "\" posted after its other messages; status part "
                      << SettlePart << " shows \"" << StatusText(SettlePart) << "\"";
    SetStatusText(SettlePart, "");
}

Resources Tessel::Held()
{
    Resources r{};
    for (HWND top : TopLevelWindowsOf(launch_.pid)) {
        ++r.windows;
        EnumChildWindows(top, CountWindow, reinterpret_cast<LPARAM>(&r.windows));
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(launch_.process, &counters, sizeof counters))
        r.pagefileKiB = counters.PagefileUsage / 1024;
    ProbeReply reply = Probe(ProbeResources, main_);
    r.gdiObjects = reply.gdiObjects;
    r.vmRssKiB = reply.vmRssKiB;
    r.rssFileKiB = reply.rssFileKiB;
    return r;
}

ProbeReply Tessel::Probe(ProbeQuery query, HWND window)
{
    static HMODULE probe = LoadLibraryA(ProbeDllPath().c_str());
    ProbeReply* reply = ReplyArea();
    if (probe == nullptr || reply == nullptr) {
        ADD_FAILURE() << "no probe: cannot load " << ProbeDllPath() << " or map its reply";
        return {};
    }
    if (hook_ == nullptr) {
        auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, ProbeHookName)));
        hook_ = SetWindowsHookExA(WH_CALLWNDPROC, proc, probe, GetWindowThreadProcessId(main_, nullptr));
        if (hook_ == nullptr) {
            ADD_FAILURE() << "cannot hook tessel's thread: error " << GetLastError();
            return {};
        }
    }
    std::memset(reply, 0, sizeof *reply);
    Send(main_, RegisterWindowMessageA(ProbeMessageName), query, reinterpret_cast<LPARAM>(window));
    if (reply->answered != query)
        ADD_FAILURE() << "the probe inside tessel.exe did not answer query " << query;
    return *reply;
}
