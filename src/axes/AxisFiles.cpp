#include "axes/AxisFiles.h"

#include <fstream>

#include "core/Console.h"
#include "core/Failure.h"
#include "core/FileNames.h"
#include "util/NumberFormat.h"
#include "util/TextFiles.h"

namespace {

void showAxisValues(ConsoleCore& console, bool showNow) {
    AxisTable& axes = console.state.axes;
    for (int i = 0; i < kAxisCount; ++i) {
        axes[i].value = axisValue(axes[i]);
        std::string text = cformat("%.3f", axes[i].value);
        console.fields.axisValue[static_cast<std::size_t>(i)] = text;
        if (showNow) console.messages.fieldChanged(kAxisControls[static_cast<std::size_t>(i)].value, text);
    }
}

}  // namespace

void loadSetupTable(ConsoleCore& console) {
    ConsoleState& state = console.state;
    std::string name = normalizeFileName(state, setupTableName(state.dutLocation, state.cyclotronCode));
    std::ifstream in = openInputOrStop(console, name);
    // Missing numbers or a zero scale would start the console with axes that
    // show 0 and move nowhere; the table is refused as a missing one is.
    if (!parseSetupTable(in, state.axes)) {
        stopOnBadContent(console, name, "it does not hold the eight unit words and all numbers of the eight axes");
    }
    for (int i = 0; i < kAxisCount; ++i) {
        if (state.axes[i].scale == 0) {
            stopOnBadContent(console, name, std::string("it gives axis ") + kAxisLetters[i] + " the scale 0");
        }
    }
    for (int i = 0; i < kAxisCount; ++i) console.fields.axisUnit[static_cast<std::size_t>(i)] = state.axes[i].unit;
}

void loadStatusFile(ConsoleCore& console) {
    ConsoleState& state = console.state;
    std::ifstream in = openInputOrStop(console, kStatusFileName);

    StoredStatus stored;
    for (int i = 0; i < kAxisCount; ++i) {
        stored.internalPosition[static_cast<std::size_t>(i)] = state.axes[i].internalPosition;
        stored.locked[static_cast<std::size_t>(i)] = state.axes[i].locked;
    }
    stored.dutLocation = state.dutLocation;
    // A status file without its numbers would reset every position and
    // lock: it is refused, and nothing is rewritten.
    if (!parseStatusFile(in, stored)) {
        stopOnBadContent(console, kStatusFileName, "it does not hold the location, eight positions and eight locks");
    }
    in.close();

    state.positionName = normalizeFileName(state, printablePositionName(stored.positionName));
    for (int i = 0; i < kAxisCount; ++i) {
        state.axes[i].internalPosition = stored.internalPosition[static_cast<std::size_t>(i)];
        state.axes[i].locked = stored.locked[static_cast<std::size_t>(i)];
        console.fields.locked[static_cast<std::size_t>(i)] = state.axes[i].locked;
    }
    console.fields.positionName = state.positionName;
    showAxisValues(console, false);

    if (stored.dutLocation != state.dutLocation) {
        state.positionName = "Current";
        for (int i = 0; i < kAxisCount; ++i) {
            state.axes[i].internalPosition = 0;
            state.axes[i].locked = 0;
            console.fields.locked[static_cast<std::size_t>(i)] = 0;
        }
        console.fields.positionName = state.positionName;
        showAxisValues(console, false);
        console.messages.report("Setup has changed - please move each axis to home position before proceeding.",
                                Icon::Warning);
        writeStatusFile(console);
    }
}

void writeStatusFile(ConsoleCore& console) {
    const ConsoleState& state = console.state;
    if (!replaceFileContent(kStatusFileName, formatStatusFile(state.positionName, state.dutLocation, state.axes))) {
        stopOnOpenError(console, kStatusFileName);
    }
}

void refreshAxisValues(Console& console) {
    showAxisValues(console, true);
}

void refreshPositionName(Console& console) {
    ConsoleState& state = console.state;
    bool atNamed = true;
    for (const Axis& axis : state.axes.axes) atNamed = atNamed && axis.internalPosition == axis.namedPosition;
    state.positionName = atNamed ? state.namedPositionName : "Current";
    console.fields.positionName = state.positionName;
    console.ui.setText(ControlId::DutPosition, state.positionName);
}

void nameCurrentPosition(Console& console) {
    ConsoleState& state = console.state;
    state.namedPositionName = state.positionName;
    for (Axis& axis : state.axes.axes) axis.namedPosition = axis.internalPosition;
}

void refreshAfterMotion(Console& console) {
    refreshPositionName(console);
    refreshAxisValues(console);
}
