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
    std::string text = "\n";
    text += ControllerSimulator::settingsText(4000);
    text += "# a comment\n\nshutter-S1-out 3\n";
    std::istringstream in(text);
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
    EXPECT_EQ(m.deceleration, 200000);
    EXPECT_EQ(m.answerTimeMs, 50) << "the default when answer-time is not declared";
    EXPECT_FALSE(parsed("journal\n").canWatch()) << "nothing declared, nothing moves";
    EXPECT_EQ(parsed("journal\n").deceleration, 0);
    EXPECT_EQ(parsed("journal\n").stoppingDeceleration(), 200000) << "assumed when not declared";
    MotionCommands declared = parsed("journal\ndeceleration 150000\nanswer-time 2000\n");
    EXPECT_TRUE(declared.errors.empty());
    EXPECT_EQ(declared.stoppingDeceleration(), 150000);
    EXPECT_EQ(declared.answerTimeMs, 2000);
}

TEST(MotionCommands, MalformedSettingsAreNamedAndLeftOut) {
    struct Row {
        std::string line;  // in place of the simulator's line for its key, if it has one
        const char* error;
        bool refusesMoves = true;
        bool added = false;  // after the simulator's line instead
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
        {"reply PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR MS LQ", "reply: unknown token \"LQ\""},
        {"halt-now ST;", "halt-now: unknown setting", false},
        {"deceleration 0", "deceleration: not a positive whole number of counts/s^2", false},
        {"deceleration -5", "deceleration: not a positive whole number of counts/s^2", false},
        {"deceleration 2e5", "deceleration: not a positive whole number of counts/s^2", false},
        {"deceleration 99999999999999999999", "deceleration: not a positive whole number of counts/s^2", false},
        {"answer-time 0", "answer-time: not a whole number of milliseconds from 1 to 2000", false},
        {"answer-time 2001", "answer-time: not a whole number of milliseconds from 1 to 2000", false},
        {"answer-time 100ms", "answer-time: not a whole number of milliseconds from 1 to 2000", false},
        {"move-to A{axis};PA{counts};", "move-to: given twice", true, true},
        {"deceleration 150000", "deceleration: given twice", false, true},
        {"query " + std::string(4091, 'Q') + ";", "query: the line is longer than 4096 bytes"},
        {"# " + std::string(4095, '#'), "#: the line is longer than 4096 bytes", false},
    };
    for (const Row& row : rows) {
        std::string settings = ControllerSimulator::settingsText(4000);
        const std::string key = row.line.substr(0, row.line.find(' ')) + " ";
        const std::size_t own = settings.find("\n" + key);
        if (own != std::string::npos && !row.added) settings.erase(own + 1, settings.find('\n', own + 1) - own);
        MotionCommands m = parsed(settings + row.line + "\n");
        EXPECT_EQ(m.errors, std::vector<std::string>{row.error}) << row.line;
        EXPECT_EQ(m.canMoveTo(), !row.refusesMoves) << row.line;
        EXPECT_EQ(m.answerTimeMs, 50) << row.line;
        EXPECT_EQ(m.stoppingDeceleration(), 200000) << row.line;
        EXPECT_EQ(m.deceleration, row.line.rfind("deceleration", 0) == 0 ? 0 : 200000) << "not given, " << row.line;
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
    EXPECT_FALSE(r.limitsKnown) << "no L field in the reply";
    const std::string good = "9,0,1,2,3,4,5,6,7,0,0,0,0,0,0,0,0,0,5";
    ASSERT_TRUE(parseReadBack(good + std::string(1024 - good.size(), ' '), m.reply, r)) << "1024 characters";
    for (const std::string& bad : {std::string(), std::string("9,0,1,2,3,4,5,6,7,0,0,0,0,0,0,0,0,0"),
                                   good + ",1", good + " 1", good + ",x", std::string(1100, ' ') + good,
                                   good + std::string(1025 - good.size(), ' '),
                                   std::string("9,0,1,2,3,4,5,6,7x,0,0,0,0,0,0,0,0,0,5"),
                                   std::string("9,0,1,2,3,4,5,6,2147483648,0,0,0,0,0,0,0,0,0,5"),
                                   std::string("9,0,1,2,3,4,5,6,1.5,0,0,0,0,0,0,0,0,0,5"), std::string("?,?,?")}) {
        EXPECT_FALSE(parseReadBack(bad, m.reply, r)) << bad;
    }

    MotionCommands limits = parsed("journal\nreply PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR MS LX LS LY\n");
    ASSERT_TRUE(limits.errors.empty());
    ReadBack l;
    ASSERT_TRUE(parseReadBack("1,2,3,4,5,6,7,8,0,0,0,0,0,0,0,0,-1,1,0", limits.reply, l));
    EXPECT_TRUE(l.limitsKnown);
    EXPECT_EQ(l.limit[kAxisX], -1);
    EXPECT_EQ(l.limit[kAxisS], 1);
    EXPECT_EQ(l.limit[kAxisY], 0);
    for (const char* bad : {"8,7,6,5,4,3,2,1,0,0,0,0,0,0,0,0,-1,2,0", "8,7,6,5,4,3,2,1,0,0,0,0,0,0,0,0,-2,0,0"}) {
        EXPECT_FALSE(parseReadBack(bad, limits.reply, l)) << bad;
    }
    EXPECT_EQ(l.position[kAxisX], 1) << "a refused answer changes nothing";
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
    EXPECT_EQ(console.channel->shownLink(), ControllerLink::SettingsRefused) << "not \"No controller\"";

    // Many: ten are listed, all are logged; a controller not reached yet is
    // not said to be absent.
    folder.write("CurrentLogFileName.dat", "run.log\n");
    std::string many = "tcp 127.0.0.1 9\n", listed;
    for (int i = 1; i <= 12; ++i) many += "bad-" + std::to_string(i) + " x\n";
    for (int i = 1; i <= 10; ++i) listed += "\nbad-" + std::to_string(i) + ": unknown setting";
    folder.write("Controller.dat", many);
    console.channel = openControllerChannel(console);
    EXPECT_EQ(ui.lastBox().text, "Controller.dat: malformed motion setting(s):" + listed +
                                     "\n… and 2 more; see the operator log\nThe moves these settings serve are refused.");
    for (int i = 1; i <= 12; ++i) {
        EXPECT_NE(folder.read("run.log").find("Controller.dat: bad-" + std::to_string(i) + ": unknown setting\n"),
                  std::string::npos) << i;
    }
    EXPECT_EQ(console.channel->currentLink(), ControllerLink::Absent);
    EXPECT_EQ(console.channel->shownLink(), ControllerLink::SettingsRefused);
    folder.write("Controller.dat", "journal\nquery TS;\n");
    console.channel = openControllerChannel(console);
    EXPECT_EQ(console.channel->shownLink(), ControllerLink::Journal);
}

}  // namespace
