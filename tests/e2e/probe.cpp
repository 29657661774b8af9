// The probe DLL: a hook inside tessel.exe answering what Wine keeps from other processes (fonts, class).
#include "controls.h"
#include "probe_protocol.h"

namespace {
DWORD Number(const void* handle)
{
    return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(handle));
}

DWORD ClassValue(HWND window, int index)
{
    return static_cast<DWORD>(GetClassLongPtrA(window, index));
}

void AnswerFont(HWND window, ProbeReply& reply)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    reply.font = Number(font);
    if (font != nullptr)
        GetObjectA(font, sizeof reply.logFont, &reply.logFont);
}

void AnswerClass(HWND window, ProbeReply& reply)
{
    reply.classStyle = ClassValue(window, GCL_STYLE);
    reply.icon = ClassValue(window, GCLP_HICON);
    reply.smallIcon = ClassValue(window, GCLP_HICONSM);
    reply.cursor = ClassValue(window, GCLP_HCURSOR);
    reply.background = ClassValue(window, GCLP_HBRBACKGROUND);
    reply.resourceIcon = Number(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IdAppIcon)));
    reply.arrowCursor = Number(LoadCursorA(nullptr, IDC_ARROW));
    ICONINFO info;
    BITMAP bitmap;
    HICON icon = reinterpret_cast<HICON>(static_cast<UINT_PTR>(reply.icon));
    if (icon != nullptr && GetIconInfo(icon, &info)) {
        if (GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap) != 0) {
            reply.iconWidth = bitmap.bmWidth;
            reply.iconHeight = bitmap.bmHeight;
        }
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

// Wine finds a GDI object by its table index alone when the handle's high word is 0, so asking the
// type of every index counts the process's live objects.
int CountGdiObjects()
{
    int count = 0;
    for (UINT_PTR index = 1; index <= 0xFFFF; ++index)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0)
            ++count;
    return count;
}

// The count is trusted only if one new brush adds exactly one and its deletion takes it back.
int GdiObjects()
{
    int before = CountGdiObjects();
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    int with = CountGdiObjects();
    DeleteObject(brush);
    return with == before + 1 && CountGdiObjects() == before ? before : -1;
}

// The figure of one line of /proc/PID/status, or -1 when it has no such line.
int StatusKiB(const char* text, const char* key)
{
    for (const char* line = text; *line != '\0'; ++line) {
        int k = 0;
        while (key[k] != '\0' && line[k] == key[k])
            ++k;
        if (key[k] != '\0')
            continue;
        int kib = 0;
        for (const char* c = line + k; *c == ' ' || *c == '\t' || (*c >= '0' && *c <= '9'); ++c)
            if (*c >= '0' && *c <= '9')
                kib = kib * 10 + (*c - '0');
        return kib;
    }
    return -1;
}

// The resident set of tessel's Linux process (VmRSS, KiB) and the part of it that is pages of its program
// and libraries (RssFile), which the kernel drops under memory pressure and reads back, 64 KiB at a time,
// when they are next used. False when /proc cannot be read.
// A Wine process is a Linux process. Its /proc entry is found by number: Wine's server opens the files,
// so "self" there would be the server. The number comes from the kernel's own getpid call: in 64-bit
// code the syscall instruction (getpid is 39), in 32-bit code the i386 gate (getpid is 20), which a
// kernel without 32-bit support does not offer to 64-bit programs.
bool ResidentKiB(int& all, int& file)
{
    long pid = 0;
#if defined(__x86_64__)
    asm volatile("syscall" : "=a"(pid) : "a"(39L) : "rcx", "r11", "memory");
#else
    asm volatile("int $0x80" : "=a"(pid) : "a"(20L) : "memory");
#endif
    char path[32];
    wsprintfA(path, "Z:\\proc\\%ld\\status", pid);
    HANDLE status = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (status == INVALID_HANDLE_VALUE)
        return false;
    char text[8192];
    DWORD length = 0;
    BOOL read = ReadFile(status, text, sizeof text - 1, &length, nullptr);
    CloseHandle(status);
    if (!read)
        return false;
    text[length] = '\0';
    all = StatusKiB(text, "\nVmRSS:");
    file = StatusKiB(text, "\nRssFile:");
    return all >= 0 && file >= 0;
}

void Answer(WPARAM query, HWND window)
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, ProbeReplyName);
    if (mapping == nullptr)
        return;
    auto* reply = static_cast<ProbeReply*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(ProbeReply)));
    if (reply != nullptr) {
        if (query == ProbeFont)
            AnswerFont(window, *reply);
        else if (query == ProbeClass)
            AnswerClass(window, *reply);
        else if (query == ProbeResources) {
            reply->gdiObjects = GdiObjects();
            if (!ResidentKiB(reply->vmRssKiB, reply->rssFileKiB))
                reply->vmRssKiB = reply->rssFileKiB = -1;
        }
        reply->answered = query;
        UnmapViewOfFile(reply);
    }
    CloseHandle(mapping);
}
}

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM wParam, LPARAM lParam)
{
    static UINT probeMessage;
    if (probeMessage == 0)
        probeMessage = RegisterWindowMessageA(ProbeMessageName);
    if (code == HC_ACTION) {
        const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->message == probeMessage)
            Answer(sent->wParam, reinterpret_cast<HWND>(sent->lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
