#include <gtest/gtest.h>

#include <sstream>

#include "ControllerSimulator.h"
#include "axes/TcpChannel.h"
#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "support/ScriptedUi.h"
#include "support/WorkFolder.h"

namespace {

MotionCommands parsed(const std::string& text) {
    std::istringstream in(text);
    return parseControllerSettings(in).motion;
}

TEST(MotionCommands, TheSimulatorsSetFillsItsPlaceholders) {
    std::istringstream in("\n" + ControllerSimulator::settingsText(4000) + "# a comment\n\nshutter-S1-out 3\n");
    ControllerSettings settings = parseControllerSettings(in);
    EXPECT_TRUE(settings.tcp) << "the channel line may follow blank lines";
    EXPECT_EQ(settings.port, 4000);
    const MotionCommands& m = settings.motion;
    EXPECT_TRUE(m.errors.empty());
    EXPECT_TRUE(m.canMoveTo());
    EXPECT_EQ(m.stopAxisText(kAxisS), "AS;ST;");
    EXPECT_EQ(m.stopAllText(), "ST;");
    EXPECT_EQ(m.moveText(kAxisR, -2147483647 - 1), "AR;PA-2147483648;AR;BG;");
    EXPECT_EQ(m.query, "TS;");
    EXPECT_FALSE(parsed("journal\n").canWatch()) << "nothing declared, nothing moves";
}

TEST(MotionCommands, MalformedSettingsAreNamedAndLeftOut) {
    struct Row {
        const char* line;
        const char* error;
    };
    const Row rows[] = {
        {"move-to A{axis};PA;", "move-to: no {counts} placeholder"},
        {"move-to PA{counts};", "move-to: no {axis} placeholder"},
        {"stop-axis ST;", "stop-axis: no {axis} placeholder"},
        {"stop-all A{axis};ST;", "stop-all: {axis} is not known here"},
        {"query TS", "query: the text does not end with ';'"},
        {"query", "query: no command text"},
        {"query T\x01S;", "query: control character in the text"},
        {"begin-move A{axle};BG;", "begin-move: unknown placeholder"},
        {"reply PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR", "reply: no MS"},
        {"reply PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR MS Q", "reply: unknown token \"Q\""},
        {"halt-now ST;", "halt-now: unknown setting"},
    };
    for (const Row& row : rows) {
        MotionCommands m = parsed(ControllerSimulator::settingsText(4000) + row.line + "\n");
        EXPECT_EQ(m.errors, std::vector<std::string>{row.error}) << row.line;
        EXPECT_FALSE(m.canMoveTo() && std::string(row.line).rfind("halt", 0) != 0) << row.line;
    }
    MotionCommands longText = parsed(std::string("journal\nstop-all ") + std::string(127, 'S') + ";\n");
    EXPECT_EQ(longText.errors, std::vector<std::string>{"stop-all: longer than 127 characters once filled in"});
}

TEST(MotionCommands, ReadBackFollowsTheReplyList) {
    MotionCommands m = parsed("journal\nreply - I PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR MS B\n");
    ASSERT_TRUE(m.errors.empty());
    ReadBack r;
    EXPECT_TRUE(parseReadBack("9, 4294967295 1,-2,3,+4,5,6,7,-2147483648 0,1,0,0,0,0,0,7, 12\r\n", m.reply, r));
    EXPECT_EQ(r.inputs, 4294967295);
    EXPECT_EQ(r.position[kAxisX], 1);
    EXPECT_EQ(r.position[kAxisY], -2);
    EXPECT_EQ(r.position[kAxisS], -2147483647 - 1);
    EXPECT_TRUE(r.moving[kAxisY]);
    EXPECT_TRUE(r.moving[kAxisS]) << "anything but 0 is moving";
    EXPECT_FALSE(r.moving[kAxisX]);
    EXPECT_EQ(r.outputs, 12);
    for (const char* bad : {"", "9,0,1,2,3,4,5,6,7,0,0,0,0,0,0,0,0", "9,0,1,2,3,4,5,6,7x,0,0,0,0,0,0,0,0,0",
                            "9,0,1,2,3,4,5,6,2147483648,0,0,0,0,0,0,0,0,0", "9,0,1,2,3,4,5,6,1.5,0,0,0,0,0,0,0,0,0",
                            "?,?,?"}) {
        EXPECT_FALSE(parseReadBack(bad, m.reply, r)) << bad;
    }
}

TEST(MotionCommands, StartUpNamesAMalformedSetting) {
    WorkFolder folder;
    folder.write("Controller.dat", "journal\nstop-axis ST;\nquery TS;\n");
    ScriptedUi ui;
    Console console(ui);
    console.channel = openControllerChannel(console);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text,
              "Controller.dat: malformed motion setting(s):\nstop-axis: no {axis} placeholder\nThe moves these "
              "settings serve are refused.");
    EXPECT_EQ(console.state.motion.commands.query, "TS;");
}

}  // namespace
