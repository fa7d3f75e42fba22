// A long simulated shift: randomly chosen operator actions, with timer ticks
// between them, on a simulation-mode station; after every action the files and
// the axis table must still make sense. TARVEX_SHIFT_ACTIONS sets the number
// of actions (the test command runs a short shift) and TARVEX_SHIFT_SEED the
// seed, so a finding can be replayed.

#include <gtest/gtest.h>

#include <malloc.h>
#include <cstddef>
#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "app/TarvexDlg.h"
#include "core/AxisTable.h"
#include "support/RecordingChannel.h"
#include "support/ScriptedUi.h"
#include "support/Site.h"

namespace {

long environmentNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

// Bytes the program holds on the heap now (freed memory that the address
// sanitizer keeps in quarantine does not count).
long heapBytesInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<long>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<long>(mallinfo2().uordblks);
#endif
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

const ControlId kButtons[] = {
    ControlId::NudgePlus,  ControlId::NudgeMinus,   ControlId::DrivePlus,   ControlId::DriveMinus,
    ControlId::Halt,       ControlId::Home,         ControlId::SetValue,    ControlId::Increment,
    ControlId::FinestStep, ControlId::AllHalt,      ControlId::Go,          ControlId::Summary,
    ControlId::Save,       ControlId::Restore,      ControlId::Preview,     ControlId::Hide,
    ControlId::Unhide,     ControlId::ShowUnhidden, ControlId::ShowHidden,  ControlId::CameraOn,
    ControlId::CameraOff,  ControlId::LightOn,      ControlId::LightOff,    ControlId::LaserOn,
    ControlId::LaserOff,   ControlId::OpenS1,       ControlId::CloseS1,     ControlId::OpenS2,
    ControlId::CloseS2,    ControlId::CheckParallax, ControlId::UndoParallax, ControlId::Clear,
    ControlId::Help,
};

const char* const kTexts[] = {"", "0", "1.5", "-2", "12.345 mm", "1e3", "abc", "-0.001", "99999", "7",
                              "run", "spot 2", "../x", "5e-1"};

TEST(Shift, RandomOperatorActionsKeepTheStationConsistent) {
    const long actions = environmentNumber("TARVEX_SHIFT_ACTIONS", 1500);
    const auto seed = static_cast<unsigned>(environmentNumber("TARVEX_SHIFT_SEED", 20261209));
    std::mt19937 random(seed);
    auto pick = [&random](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };

    WorkFolder folder;
    Site site;
    // The demo station's calibrations; a slow beam keeps every recomputation
    // short; T, R and S start at 0 degrees and no foil.
    std::ifstream setup(std::string(TARVEX_SOURCE_DIR) + "/examples/demo-site/VacArdo.dat");
    site.set("VacArdo.dat", std::string(std::istreambuf_iterator<char>(setup), std::istreambuf_iterator<char>()));
    site.set("CurrentBeamNZAMeV.tmp", "4 36 84 84\n");
    site.set("TarvexStatus.dat", "Park\n1\n0 0 0 0 10000 10000 0 0\n0 0 0 0 0 0 0 0\n");
    site.install(folder);
    ScriptedUi ui;
    CTarvexDlg dialog(ui);
    ui.events = &dialog;
    ASSERT_TRUE(dialog.onInitDialog());
    Console& console = dialog.console();
    console.channel = std::make_unique<RecordingChannel>();
    ui.chooseAnswer = [&](Buttons buttons, Button defaultButton) {
        switch (buttons) {
            case Buttons::YesNo: return pick(2) == 0 ? Button::Yes : Button::No;
            case Buttons::OkCancel: return pick(2) == 0 ? Button::Ok : Button::Cancel;
            default: return defaultButton;
        }
    };

    long heapAfterWarmUp = 0;
    std::string lastStatus = folder.read("TarvexStatus.dat");
    for (long action = 0; action < actions; ++action) {
        SCOPED_TRACE("action " + std::to_string(action) + ", seed " + std::to_string(seed));
        switch (pick(8)) {
            case 0:
            case 1:
                dialog.onCommand(kButtons[pick(std::size(kButtons))]);
                break;
            case 2: {
                int axis = static_cast<int>(pick(kAxisCount));
                ui.controls.activeAxis = axis;
                dialog.onCommand(kAxisControls[static_cast<std::size_t>(axis)].radio);
                break;
            }
            case 3:
                if (console.state.activeAxis >= 0) {
                    dialog.onCommand(kAxisControls[static_cast<std::size_t>(console.state.activeAxis)].locked);
                }
                break;
            case 4:
                dialog.onKeyboardChar("+-8642 a"[pick(8)]);
                break;
            case 5: {
                const char* text = kTexts[pick(std::size(kTexts))];
                switch (pick(3)) {
                    case 0: ui.controls.newAxisValue = text; break;
                    case 1: ui.controls.goal = text; break;
                    default: ui.controls.newPositionName = text + std::to_string(pick(4)); break;
                }
                break;
            }
            case 6:
                if (pick(2) == 0) {
                    ui.controls.bragg = ui.controls.bragg == 0 ? 1 : 0;
                    dialog.onCommand(ControlId::Bragg);
                } else {
                    ui.controls.unitChoice = static_cast<int>(pick(3));
                    dialog.onCommand(ControlId::UnitLet);
                }
                break;
            default: {
                const std::vector<std::string>& items = ui.listItems[ControlId::PositionList];
                if (!items.empty()) {
                    ui.controls.positionListSelection = items[pick(items.size())];
                    dialog.onListSelectionChanged(ControlId::PositionList);
                }
                break;
            }
        }
        // Whenever an action rewrote the status file, it holds exactly the
        // positions, locks and name of that moment, whole.
        std::string status = folder.read("TarvexStatus.dat");
        if (status != lastStatus) {
            ASSERT_EQ(status, formatStatusFile(console.state.positionName, 1, console.state.axes));
            lastStatus = status;
        }
        ui.tick(kMotionTimer, static_cast<int>(pick(4)));
        if (pick(50) == 0) ui.tick(kCameraTimer);
        ASSERT_FALSE(ui.closedWith.has_value()) << "the console must keep running";
        ui.boxes.clear();
        ui.focusHistory.clear();

        // Positions stay within their software limits.
        for (const Axis& axis : console.state.axes.axes) {
            ASSERT_GE(axis.internalPosition, axis.softLimitLow) << axis.letter;
            ASSERT_LE(axis.internalPosition, axis.softLimitHigh) << axis.letter;
        }
        // Files the console rewrites do not grow without bound.
        for (const char* name : {"RangeTable.txt", "TarvexStatus.dat", "Preview.txt", "CurrentBeamDELReB.dat"}) {
            if (folder.exists(name)) {
                ASSERT_LT(std::filesystem::file_size(folder.path() / name), 1u << 20) << name;
            }
        }
        if (action == actions / 10) heapAfterWarmUp = heapBytesInUse();
    }
    // Memory stays flat once the shift is under way: what the double records
    // is cleared after every action, so only the console could grow.
    long growth = heapBytesInUse() - heapAfterWarmUp;
    EXPECT_LT(growth, 4L << 20) << "the heap grew by " << growth << " bytes";
    std::printf("shift: %ld actions, seed %u, heap growth %ld bytes, peak RSS %ld kB\n", actions, seed, growth,
                peakRssKb());
}

}  // namespace
