#include "axes/ActiveAxis.h"

#include "app/Console.h"
#include "axes/AxisTable.h"

const std::array<ControlId, 11> kAxisOperationControls = {
    ControlId::NewAxisValue, ControlId::Home,     ControlId::NudgePlus, ControlId::NudgeMinus,
    ControlId::DrivePlus,    ControlId::DriveMinus, ControlId::Halt,    ControlId::SetValue,
    ControlId::Increment,    ControlId::Keyboard, ControlId::FinestStep,
};

void disableAllAxisControls(Console& console) {
    for (ControlId id : kAxisOperationControls) console.ui.setEnabled(id, false);
    for (const AxisControls& row : kAxisControls) console.ui.setEnabled(row.locked, false);
}
