// Layout: every child in creation order with class, style, caption, rectangle and font; the seeded captions.
#include "tessel_session.h"

#include "instruction_table.h"
#include "instruction_text.h"
#include "random_source.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {
enum class Font { Shared, None, Own };

struct Child {
    int id;
    const char* className;
    DWORD style;
    std::string caption;  // empty for the instruction check boxes: they follow the seed
    Rect rect;            // unused for the status bar, which places itself
    Font font;
};

// Columns of bit labels and bits of the cells are made in the port order A, C, B, D.
const int PortOrder[] = {0, 2, 1, 3};

// The children as the identifier plan lays them out, in the order they are created.
std::vector<Child> PlannedChildren()
{
    std::vector<Child> plan;
    plan.push_back({200, "msctls_statusbar32", 0x50000010, "Tessel team - version 1.0", {}, Font::Own});
    const char* panels[] = {"  Port A ", "  Port B ", "  Port C ", "  Port D "};
    for (int p = 0; p < 4; ++p)
        plan.push_back({600 + p, "Button", 0x50000007, panels[p], {p % 2 ? 300 : 16, p < 2 ? 20 : 170, 270, 135},
                        Font::None});
    const struct {
        int id, x, y;
        const char* text;
    } listing[] = {
        {500, 700, 10, "#include <p18f4520.h>"}, {501, 700, 23, "void ShortDelay (void)"}, {502, 700, 36, "{"},
        {503, 740, 49, "int i ;"},  {503, 740, 75, "Nop() ;"}, {504, 700, 88, "}"},
        {505, 700, 101, "void main (void)"}, {506, 700, 114, "{"}, {507, 700, 505, "}"},
    };
    for (const auto& line : listing)
        plan.push_back({line.id, "Static", 0x50000000, line.text, {line.x, line.y, 150, 12}, Font::Shared});
    for (int c = 0; c < 8; ++c)
        for (int p : PortOrder)
            plan.push_back({508 + 8 * p + c, "Static", 0x50000000, " " + std::to_string(7 - c) + " ",
                            {(p % 2 ? 327 : 42) + 30 * c, p < 2 ? 45 : 195, 20, 12}, Font::Shared});
    for (int b = 0; b < 8; ++b)
        for (int p : PortOrder)
            plan.push_back({700 + 8 * p + b, "Static", 0x50801101, " 0 ",
                            {(p % 2 ? 530 : 245) - 30 * b, p < 2 ? 65 : 215, 31, 25}, Font::Shared});
    for (int b = 0; b < 8; ++b)
        for (int p : PortOrder)
            plan.push_back({750 + 8 * p + b, "Static", 0x50000101, "Out",
                            {(p % 2 ? 530 : 245) - 30 * b, p < 2 ? 95 : 245, 31, 25}, Font::Shared});
    for (int i = 0; i < 25; ++i)
        plan.push_back({800 + i, "Button", 0x50010003, "", {720, 130 + 15 * i, 190, 12}, Font::Shared});
    plan.push_back({825, "Button", 0x50010003, "for (i=0 ; i < 10000; i++)", {720, 62, 150, 12}, Font::Shared});
    const char* buttons[] = {"New Set", "New Game", "Click Instruction"};
    for (int n = 0; n < 3; ++n)
        plan.push_back({900 + n, "Button", 0x50010000, buttons[n], {50 + 200 * n, 520, 120, 25}, Font::Shared});
    return plan;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The captions of set 0 for a tessel.exe seeded with `tick`.
std::vector<std::string> CaptionsForTick(DWORD tick)
{
    SeedFromTickCount(tick);
    BuildInstructionTable();
    SetIndex = 0;
    std::vector<std::string> captions;
    for (unsigned position = 0; position < InstructionsPerSet; ++position) {
        LoadCurrentInstruction(SetRecordNumber(position));
        captions.push_back(RenderInstruction());
    }
    return captions;
}

// One window for the whole group: nothing here changes it.
class Layout : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        tessel = std::make_unique<Tessel>();
        if (tessel->Start())
            for (HWND w = GetWindow(tessel->Main(), GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
                children.push_back(w);
    }
    static void TearDownTestSuite()
    {
        children.clear();
        tessel.reset();
    }
    void SetUp() override
    {
        ASSERT_NE(nullptr, tessel->Main()) << "tessel.exe did not start";
        std::string ids;
        for (HWND child : children)
            ids += " " + std::to_string(GetDlgCtrlID(child));
        ASSERT_EQ(plan.size(), children.size()) << "children of the main window, by identifier:" << ids;
    }

    static std::unique_ptr<Tessel> tessel;
    static std::vector<HWND> children;
    const std::vector<Child> plan = PlannedChildren();
};
std::unique_ptr<Tessel> Layout::tessel;
std::vector<HWND> Layout::children;

TEST_F(Layout, ChildrenInCreationOrder)
{
    for (size_t n = 0; n < plan.size(); ++n)
        EXPECT_EQ(plan[n].id, GetDlgCtrlID(children[n]))
            << "child " << n << " in window order should be " << ControlName(plan[n].id);
}

TEST_F(Layout, ClassesAndStyles)
{
    for (size_t n = 0; n < plan.size(); ++n) {
        SCOPED_TRACE(ControlName(plan[n].id));
        EXPECT_EQ(Lower(plan[n].className), Lower(ClassOf(children[n]))) << "class";
        EXPECT_EQ(Hex(plan[n].style), Hex(static_cast<DWORD>(GetWindowLongA(children[n], GWL_STYLE)))) << "style";
    }
}

TEST_F(Layout, CaptionsPlacesAndSizes)
{
    for (size_t n = 0; n < plan.size(); ++n) {
        SCOPED_TRACE(ControlName(plan[n].id));
        if (!plan[n].caption.empty()) {
            EXPECT_EQ(plan[n].caption, TextOf(children[n])) << "caption";
        }
        if (plan[n].id != 200) {
            EXPECT_EQ(plan[n].rect, ChildRect(children[n])) << "client rectangle";
        }
    }
}

TEST_F(Layout, FontsSeenInsideTheProgram)
{
    DWORD shared = 0;
    for (size_t n = 0; n < plan.size(); ++n) {
        SCOPED_TRACE(ControlName(plan[n].id));
        ProbeReply r = tessel->Probe(ProbeFont, children[n]);
        if (plan[n].font == Font::None) {
            EXPECT_EQ(0u, r.font) << "WM_GETFONT of a control that should keep the system font";
            continue;
        }
        if (plan[n].font == Font::Own) {
            // Checked after the loop, once the shared font is known.
            continue;
        }
        ASSERT_NE(0u, r.font) << "WM_GETFONT";
        if (shared == 0)
            shared = r.font;
        EXPECT_EQ(shared, r.font) << "not the font the other controls share";
        EXPECT_STREQ("MS Sans Serif", r.logFont.lfFaceName) << "font face";
        EXPECT_EQ(-8, r.logFont.lfHeight) << "font height";
        EXPECT_EQ(400, r.logFont.lfWeight) << "font weight";
        EXPECT_EQ(0, r.logFont.lfWidth) << "font width";
        EXPECT_EQ(0, r.logFont.lfItalic + r.logFont.lfUnderline + r.logFont.lfStrikeOut) << "font decorations";
        EXPECT_EQ(0, r.logFont.lfCharSet) << "font character set";
    }
    SCOPED_TRACE(ControlName(200));
    EXPECT_NE(shared, tessel->Probe(ProbeFont, tessel->StatusBar()).font) << "the status bar took the shared font";
}

TEST_F(Layout, InstructionCaptionsFollowTheTickCountSeed)
{
    std::vector<std::string> shown;
    for (int i = 0; i < 25; ++i)
        shown.push_back(TextOf(tessel->Item(800 + i)));
    DWORD first = tessel->TickBefore(), last = tessel->TickAfter();
    for (DWORD tick = first; tick - first <= last - first; ++tick)
        if (CaptionsForTick(tick) == shown)
            return;
    std::string listing;
    for (int i = 0; i < 25; ++i)
        listing += "\n  " + std::to_string(800 + i) + ": \"" + shown[static_cast<size_t>(i)] + "\"";
    ADD_FAILURE() << "no tick count in " << first << ".." << last << " gives the instruction captions shown:"
                  << listing;
}

TEST_F(Layout, CheckBoxesStartUnchecked)
{
    for (int id = 800; id <= 825; ++id)
        EXPECT_EQ(BST_UNCHECKED, Send(tessel->Item(id), BM_GETCHECK, 0, 0)) << ControlName(id);
}
}
