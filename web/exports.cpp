// The web shell's entry points into the core and the shared control table.
#include "exports.h"

#include "bit_cells.h"
#include "controls.h"
#include "instruction_table.h"
#include "instruction_text.h"
#include "placement.h"
#include "port_registers.h"
#include "port_summary.h"
#include "random_source.h"

namespace {
WebControl Control;
int32_t Placement[4];
}

void TesselCreate(uint32_t tickCount)
{
    // The same order as the window's creation: the controls' set-up, then seeding, then the table.
    for (const ControlGroup& group : ControlGroups)
        if (group.before != nullptr)
            group.before();
    SeedFromTickCount(tickCount);
    BuildInstructionTable();
}

const char* TesselInstructionText(uint32_t position)
{
    return TesselRecordText(SetRecordNumber(position));
}

const char* TesselRecordText(uint32_t record)
{
    LoadCurrentInstruction(static_cast<uint8_t>(record));
    return RenderInstruction();
}

const char* TesselDoubleClick(int32_t id)
{
    return FlipBitCell(id);
}

const char* TesselSummary()
{
    return PortSummary;
}

int32_t TesselControlCount()
{
    int32_t count = 0;
    for (const ControlGroup& group : ControlGroups)
        count += group.count;
    return count;
}

const WebControl* TesselControl(int32_t n)
{
    for (const ControlGroup& group : ControlGroups) {
        if (n < group.count) {
            ControlSpot spot = group.spot(n);
            Control = {spot.id, spot.x, spot.y, group.width, group.height, group.kind, spot.caption};
            return &Control;
        }
        n -= group.count;
    }
    return nullptr;
}

int32_t TesselStatusPartCount()
{
    return StatusPartCount;
}

int32_t TesselStatusPartEdge(int32_t part)
{
    return StatusPartRightEdges[part];
}

const char* TesselStatusPartText(int32_t part)
{
    for (const StatusLabel& label : StatusLabels)
        if (label.part == part)
            return label.text;
    return "";
}

const int32_t* TesselPlacement(int32_t viewportWidth, int32_t viewportHeight)
{
    WindowPlacement p = CentredMainWindow(viewportWidth, viewportHeight);
    Placement[0] = p.x;
    Placement[1] = p.y;
    Placement[2] = p.width;
    Placement[3] = p.height;
    return Placement;
}
