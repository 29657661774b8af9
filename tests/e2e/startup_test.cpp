// Start-up: the window class, title, style, the size and place on this screen, a clean exit, the file's version
// and its headers.
#include "tessel_session.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace {
// 75 % by 80 % of the screen, centred; 1024.5 rounds to even.
struct Placement {
    int screenWidth, screenHeight;
    Rect window;
};
const Placement Placements[] = {
    {1024, 768, {128, 77, 768, 614}},
    {1366, 768, {171, 77, 1024, 614}},
    {1920, 1080, {240, 108, 1440, 864}},
    {1280, 1024, {160, 103, 960, 819}},
};

class Startup : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tessel.Start()); }
    Tessel tessel;
};

TEST_F(Startup, WindowClass)
{
    HWND main = tessel.Main();
    EXPECT_EQ("TesselClass", ClassOf(main));
    EXPECT_EQ(Hex(0x3000), Hex(GetClassLongA(main, GCL_STYLE))) << "class style";
    EXPECT_EQ(0u, GetClassLongA(main, GCL_CBCLSEXTRA)) << "class extra bytes";
    EXPECT_EQ(0u, GetClassLongA(main, GCL_CBWNDEXTRA)) << "window extra bytes";

    // Icons, cursor and brush only as tessel.exe itself sees them: Wine answers other processes with 0.
    ProbeReply r = tessel.Probe(ProbeClass, main);
    EXPECT_EQ(Hex(0x3000), Hex(r.classStyle)) << "class style seen inside tessel.exe";
    EXPECT_EQ(static_cast<DWORD>(COLOR_BTNFACE + 1), r.background) << "class background brush";
    EXPECT_NE(0u, r.resourceIcon) << "icon group 500 does not load";
    EXPECT_EQ(r.resourceIcon, r.icon) << "class icon is not icon group 500";
    EXPECT_EQ(r.resourceIcon, r.smallIcon) << "class small icon is not icon group 500";
    EXPECT_EQ(32, r.iconWidth) << "icon width";
    EXPECT_EQ(32, r.iconHeight) << "icon height";
    EXPECT_EQ(r.arrowCursor, r.cursor) << "class cursor is not the arrow";
}

TEST_F(Startup, TitleAndStyle)
{
    HWND main = tessel.Main();
    EXPECT_EQ("Tessel C-Language Simulator", TextOf(main));
    // Every top-level window gains WS_CLIPSIBLINGS.
    DWORD style = static_cast<DWORD>(GetWindowLongA(main, GWL_STYLE)) & ~static_cast<DWORD>(WS_CLIPSIBLINGS);
    EXPECT_EQ(Hex(WS_OVERLAPPEDWINDOW | WS_VISIBLE), Hex(style)) << "main window style";
    EXPECT_EQ(nullptr, GetMenu(main)) << "main window menu";
    EXPECT_EQ(nullptr, GetWindow(main, GW_OWNER)) << "main window owner";
    EXPECT_EQ(1u, TesselWindows().size()) << "windows of class TesselClass";
}

TEST_F(Startup, CentredAtThreeQuartersByFourFifths)
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const Placement* expected = nullptr;
    for (const Placement& p : Placements)
        if (p.screenWidth == width && p.screenHeight == height)
            expected = &p;
    ASSERT_NE(nullptr, expected) << "no expected placement for a " << width << " x " << height << " screen";
    EXPECT_EQ(expected->window, ScreenRect(tessel.Main())) << "main window on a " << width << " x " << height
                                                           << " screen";
}

TEST_F(Startup, ExitsWithZeroAfterClose)
{
    EXPECT_EQ(0u, tessel.Close()) << "exit code after WM_CLOSE";
    EXPECT_TRUE(TesselWindows().empty()) << "a Tessel window outlived its process";
}

// What Explorer's Properties show: the version resource read back as Windows reads it, without starting tessel.exe.
TEST(FileVersion, NamesTesselAndItsVersion)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(TesselPath.c_str(), &ignored);
    ASSERT_NE(0u, size) << "no version resource in " << TesselPath << ": error " << GetLastError();
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(TesselPath.c_str(), 0, size, info.data())) << "error " << GetLastError();

    void* data = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", &data, &length)) << "no VS_FIXEDFILEINFO";
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(data);
    EXPECT_EQ(Hex(VS_FFI_SIGNATURE), Hex(fixed->dwSignature)) << "fixed file info signature";
    EXPECT_EQ(Hex(TESSEL_VERSION_MS), Hex(fixed->dwFileVersionMS)) << "FILEVERSION, high word pair";
    EXPECT_EQ(Hex(TESSEL_VERSION_LS), Hex(fixed->dwFileVersionLS)) << "FILEVERSION, low word pair";
    EXPECT_EQ(Hex(TESSEL_VERSION_MS), Hex(fixed->dwProductVersionMS)) << "PRODUCTVERSION, high word pair";
    EXPECT_EQ(Hex(TESSEL_VERSION_LS), Hex(fixed->dwProductVersionLS)) << "PRODUCTVERSION, low word pair";
    EXPECT_EQ(Hex(VFT_APP), Hex(fixed->dwFileType)) << "file type";

    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &data, &length)) << "no translation";
    ASSERT_EQ(4u, length) << "bytes of \\VarFileInfo\\Translation";
    const auto* translation = static_cast<const WORD*>(data);
    EXPECT_EQ(Hex(0x0409), Hex(translation[0])) << "translation language";
    EXPECT_EQ(1200, translation[1]) << "translation code page";

    const struct {
        const char* name;
        const char* value;
    } Strings[] = {
        {"CompanyName", "Tessel team"},
        {"FileDescription", "Tessel C-Language Simulator"},
        {"FileVersion", TESSEL_VERSION},
        {"InternalName", "tessel"},
        {"LegalCopyright", "Copyright (C) 2026 Tessel team, MIT License"},
        {"OriginalFilename", "tessel.exe"},
        {"ProductName", "Tessel"},
        {"ProductVersion", TESSEL_VERSION},
    };
    for (const auto& s : Strings) {
        std::string path = std::string("\\StringFileInfo\\040904B0\\") + s.name;
        char* text = nullptr;
        if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) {
            ADD_FAILURE() << "no " << path;
            continue;
        }
        EXPECT_EQ(s.value, std::string(text)) << path;
    }
}

// What the loader sees: a GUI program for this driver's processor, for Windows 4.0 on 32-bit and 5.2 (the first
// 64-bit Windows) on x86-64, with no manifest (so the classic controls) and nothing imported but Windows' own four.
TEST(FileHeaders, WindowsProgramOfTheFourSystemLibraries)
{
    HMODULE image = LoadLibraryExA(TesselPath.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, image) << "cannot map " << TesselPath << ": error " << GetLastError();
    const auto* base = reinterpret_cast<const BYTE*>(image);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
#ifdef _WIN64
    const WORD machine = IMAGE_FILE_MACHINE_AMD64, major = 5, minor = 2;
#else
    const WORD machine = IMAGE_FILE_MACHINE_I386, major = 4, minor = 0;
#endif
    EXPECT_EQ(Hex(machine), Hex(nt->FileHeader.Machine)) << "processor";
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt->OptionalHeader.Subsystem) << "subsystem";
    EXPECT_EQ(major, nt->OptionalHeader.MajorSubsystemVersion) << "subsystem version, major";
    EXPECT_EQ(minor, nt->OptionalHeader.MinorSubsystemVersion) << "subsystem version, minor";
    EXPECT_EQ(nullptr, FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) << "a manifest resource";

    std::set<std::string> imported;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         directory.VirtualAddress != 0 && entry->Name != 0; ++entry) {
        std::string name = reinterpret_cast<const char*>(base + entry->Name);
        for (char& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        imported.insert(name);
    }
    EXPECT_EQ((std::set<std::string>{"COMCTL32.DLL", "GDI32.DLL", "KERNEL32.DLL", "USER32.DLL"}), imported)
        << "imported libraries";
    FreeLibrary(image);
}
}
