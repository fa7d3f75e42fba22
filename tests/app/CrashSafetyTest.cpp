// A writer killed at any moment leaves each state file whole, in its old or in
// its new content, and the append-only logs lose at most the entry being
// written. The writer runs in a child process that is killed after a random
// delay, as a power cut or a crash would stop it.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <sstream>
#include <thread>

#include "axes/AxisFiles.h"
#include "core/Console.h"
#include "positions/PositionFiles.h"
#include "positions/PositionList.h"
#include "support/ScriptedUi.h"
#include "support/WorkFolder.h"
#include "util/TextFiles.h"

namespace {

// Runs `work` in a child process until it is killed after a random delay.
template <typename Work>
void killWhileRunning(std::mt19937& random, Work work) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (long i = 0;; ++i) work(i);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 30000)(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
}

TEST(CrashSafety, ReplacedFileIsAlwaysWholeOldOrNew) {
    WorkFolder folder;
    const std::string old(100000, 'o');
    const std::string a = std::string(300000, 'a') + "\n";
    const std::string b = std::string(200000, 'b') + "\n";
    std::mt19937 random(7);
    for (int round = 0; round < 25; ++round) {
        folder.write("state.dat", old);
        killWhileRunning(random, [&](long i) { replaceFileContent("state.dat", i % 2 == 0 ? a : b); });
        std::string now = folder.read("state.dat");
        EXPECT_TRUE(now == old || now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
}

TEST(CrashSafety, StatusFileIsAlwaysWhole) {
    WorkFolder folder;
    std::mt19937 random(11);
    for (int round = 0; round < 20; ++round) {
        killWhileRunning(random, [&](long i) {
            ScriptedUi ui;
            Console console(ui);
            console.state.positionName = i % 2 == 0 ? "Even position" : "Odd";
            for (Axis& axis : console.state.axes.axes) axis.internalPosition = static_cast<int32_t>(i % 2 == 0 ? 1000000 : -7);
            writeStatusFile(console);
        });
        if (!folder.exists("TarvexStatus.dat")) continue;  // killed before the first write
        std::string text = folder.read("TarvexStatus.dat");
        EXPECT_TRUE(text == "Even position\n0\n1000000   1000000   1000000   1000000   1000000   1000000   1000000   "
                            "1000000\n0   0   0   0   0   0   0   0\n" ||
                    text == "Odd\n0\n-7   -7   -7   -7   -7   -7   -7   -7\n0   0   0   0   0   0   0   0\n")
            << text;
    }
}

TEST(CrashSafety, AppendedLogLosesAtMostTheEntryBeingWritten) {
    WorkFolder folder;
    std::mt19937 random(13);
    int complete = 0;
    // One log per kill: each kill may cut the one entry it interrupts, which
    // is then the last line of that log.
    for (int round = 0; round < 10; ++round) {
        const std::string name = "run" + std::to_string(round) + ".log";
        killWhileRunning(random, [&](long i) {
            appendToFile(name, "entry " + std::to_string(i) + " " + std::string(static_cast<std::size_t>(i % 300), 'x') + "\n");
        });
        std::istringstream log(folder.exists(name) ? folder.read(name) : "");
        std::string line;
        while (std::getline(log, line)) {
            if (log.eof()) break;  // the last line may be the one cut short
            std::istringstream fields(line);
            std::string word, padding;
            long number = -1;
            fields >> word >> number;
            std::getline(fields, padding);
            ASSERT_EQ(word, "entry") << line;
            EXPECT_EQ(padding, std::string(" ").append(static_cast<std::size_t>(number % 300), 'x')) << line;
            ++complete;
        }
    }
    EXPECT_GT(complete, 0);
}

// Save shows a new position file under its name only when it is whole: a kill
// at any moment leaves each "runN.po1" absent or complete, never empty or
// partial.
TEST(CrashSafety, SavedPositionFileIsAbsentOrWhole) {
    WorkFolder folder;
    folder.write("CurrentLogFileName.dat", "run.log\n");
    PositionFile expected;
    expected.internalPosition.fill(1234567);
    const std::string whole = formatPositionFile(expected);
    std::mt19937 random(17);
    int saved = 0;
    for (int round = 0; round < 20; ++round) {
        killWhileRunning(random, [&](long i) {
            ScriptedUi ui;
            Console console(ui);
            ui.controls.newPositionName = "run" + std::to_string(i);
            ui.controls.dutLocation = "Vacuum chamber";
            console.state.dutLocation = 1;  // the location the shown text says
            for (Axis& axis : console.state.axes.axes) axis.internalPosition = 1234567;
            console.state.demoStatus = 2;  // no simulated motion to halt
            try {
                onSave(console);
            } catch (const ProcessExit&) {
                std::_Exit(3);  // never back into the test program
            }
        });
        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            if (entry.path().extension() != ".po1") continue;
            ++saved;
            EXPECT_EQ(folder.read(entry.path().filename().string()), whole) << entry.path().filename();
            std::filesystem::remove(entry.path());
        }
    }
    EXPECT_GT(saved, 0);
}

}  // namespace
