// The probe DLL: a hook inside tessel.exe answering what Wine keeps from other processes (fonts, class).
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
    reply.resourceIcon = Number(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(500)));
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
