#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "ControllerSimulator.h"
#include "app/Console.h"
#include "axes/TcpChannel.h"
#include "support/ScriptedUi.h"
#include "support/WorkFolder.h"

namespace {

using namespace std::chrono_literals;

// The stand-in controller served from a thread on a free loopback port.
class SimulatorThread {
public:
    SimulatorThread() {
        EXPECT_TRUE(simulator.listen(0));
        thread = std::thread([this] { simulator.run(); });
    }
    ~SimulatorThread() { stopNow(); }
    void stopNow() {
        simulator.stop();
        if (thread.joinable()) thread.join();
    }
    ControllerSimulator simulator;
    std::thread thread;
};

class TcpChannelTest : public ::testing::Test {
protected:
    WorkFolder folder;
};

TEST(ControllerSimulator, AnswersTheCommandLanguage) {
    ControllerSimulator sim;
    EXPECT_EQ(sim.answer("BH5"), ":");
    EXPECT_EQ(sim.answer("BH13"), ":");
    EXPECT_EQ(sim.answer("TB"), "8224\r\n:");
    EXPECT_EQ(sim.answer("BL5"), ":");
    EXPECT_EQ(sim.answer("AY"), ":");
    EXPECT_EQ(sim.answer("JG+2000"), ":");
    EXPECT_EQ(sim.answer("JG?"), "2000\r\n:");
    EXPECT_EQ(sim.answer("BH99"), "?");
    EXPECT_EQ(sim.answer("XYZ"), "?");
    EXPECT_EQ(sim.answer("SA"), ":");
    EXPECT_EQ(sim.answer("TB"), "0\r\n:");
}

TEST(TcpChannel, CommandCount) {
    EXPECT_EQ(TcpChannel::commandCount("AY;AF;JG+2000;"), 3);
    EXPECT_EQ(TcpChannel::commandCount("TB"), 1);
    EXPECT_EQ(TcpChannel::commandCount("BH5;TB"), 2);
    EXPECT_EQ(TcpChannel::commandCount(""), 0);
}

TEST_F(TcpChannelTest, RepliesRejectionsAndJournal) {
    SimulatorThread sim;
    TcpChannel channel("127.0.0.1", sim.simulator.port());
    EXPECT_EQ(channel.link(), ControllerLink::Absent);
    channel.send("AY;AF;JG+2000;");
    EXPECT_EQ(channel.link(), ControllerLink::Connected);
    EXPECT_EQ(channel.reply(), "");
    channel.send("JG?;");
    EXPECT_EQ(channel.reply(), "2000");
    channel.send("BH5;TB;");
    EXPECT_EQ(channel.reply(), "32");
    channel.send("NOPE;");
    EXPECT_EQ(channel.link(), ControllerLink::Connected);
    std::string journal = folder.read("ControllerJournal.txt");
    EXPECT_NE(journal.find("   AY;AF;JG+2000;\n"), std::string::npos);
    EXPECT_NE(journal.find("   NOPE;\n"), std::string::npos);
    EXPECT_NE(journal.find("rejected by the controller (1 command(s))"), std::string::npos);
    EXPECT_NE(journal.find("answer: 32"), std::string::npos);
}

TEST_F(TcpChannelTest, SlowControllerIsLostWithinTheDeadlineAndReconnected) {
    SimulatorThread sim;
    TcpChannel channel("127.0.0.1", sim.simulator.port(), 300ms);
    channel.send("#SLOW 1500;");
    ASSERT_EQ(channel.link(), ControllerLink::Connected);
    auto start = std::chrono::steady_clock::now();
    channel.send("TB;");
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(channel.link(), ControllerLink::Lost);
    EXPECT_LT(waited, 1s);
    channel.send("#SLOW 0;");
    EXPECT_EQ(channel.link(), ControllerLink::Lost) << "the slow setting still holds for this answer";
    channel.send("TB;");
    EXPECT_EQ(channel.link(), ControllerLink::Connected);
    EXPECT_EQ(channel.reply(), "0");
}

TEST_F(TcpChannelTest, DroppedConnectionIsRemadeAtTheNextCommand) {
    SimulatorThread sim;
    TcpChannel channel("127.0.0.1", sim.simulator.port(), 500ms);
    channel.send("BH7;#DROP;");
    EXPECT_EQ(channel.link(), ControllerLink::Lost);
    channel.send("TB;");
    EXPECT_EQ(channel.link(), ControllerLink::Connected);
    EXPECT_EQ(channel.reply(), "128") << "the controller kept its bits";
}

TEST_F(TcpChannelTest, NoiseWithoutPromptNeverBlocks) {
    SimulatorThread sim;
    TcpChannel channel("127.0.0.1", sim.simulator.port(), 300ms);
    auto start = std::chrono::steady_clock::now();
    channel.send("#NOISE;");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(channel.link(), ControllerLink::Lost);
}

TEST_F(TcpChannelTest, StoppedControllerTurnsTheLinkLost) {
    auto sim = std::make_unique<SimulatorThread>();
    TcpChannel channel("127.0.0.1", sim->simulator.port(), 500ms);
    channel.send("BH5;");
    EXPECT_EQ(channel.link(), ControllerLink::Connected);
    sim.reset();
    auto start = std::chrono::steady_clock::now();
    channel.send("BL5;");
    EXPECT_EQ(channel.link(), ControllerLink::Lost);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_NE(folder.read("ControllerJournal.txt").find("   BL5;\n"), std::string::npos) << "journalled anyway";
}

TEST_F(TcpChannelTest, AbsentControllerStaysAbsent) {
    int port = 0;
    {
        ControllerSimulator probe;  // find a free port, then let it go
        ASSERT_TRUE(probe.listen(0));
        port = probe.port();
    }
    TcpChannel channel("127.0.0.1", port, 300ms);
    channel.send("BH5;");
    EXPECT_EQ(channel.link(), ControllerLink::Absent);
}

TEST(ControllerSettings, KindsAndBadInput) {
    auto parse = [](const std::string& text) {
        std::istringstream in(text);
        return parseControllerSettings(in);
    };
    EXPECT_FALSE(parse("").tcp);
    EXPECT_TRUE(parse("").error.empty());
    EXPECT_FALSE(parse("journal").tcp);
    ControllerSettings tcp = parse("tcp 127.0.0.1 7000\n");
    EXPECT_TRUE(tcp.tcp);
    EXPECT_EQ(tcp.host, "127.0.0.1");
    EXPECT_EQ(tcp.port, 7000);
    EXPECT_EQ(parse("serial /dev/ttyS0").error, "unknown controller channel \"serial\" (expected journal or tcp)");
    EXPECT_EQ(parse("tcp").error, "no controller host given");
    EXPECT_EQ(parse("tcp host 70000").error, "no valid controller port given (1 to 65535)");
    EXPECT_EQ(parse("tcp host x").error, "no valid controller port given (1 to 65535)");
}

TEST_F(TcpChannelTest, BadSettingsFileWarnsOnceAndFallsBackToTheJournal) {
    folder.write("Controller.dat", "tcp localhost\n");
    ScriptedUi ui;
    Console console(ui);
    console.channel = openControllerChannel(console);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.lastBox().text,
              "Controller.dat: no valid controller port given (1 to 65535).\nNo controller is attached: commands are "
              "only written to ControllerJournal.txt.");
    EXPECT_EQ(ui.lastBox().icon, Icon::Warning);
    EXPECT_EQ(console.channel->link(), ControllerLink::Journal);
    sendCommand(console, "BH6;");
    EXPECT_NE(folder.read("ControllerJournal.txt").find("   BH6;\n"), std::string::npos);
}

TEST_F(TcpChannelTest, LongCommandIsCutToTheBuffer) {
    ScriptedUi ui;
    Console console(ui);
    sendCommand(console, std::string(200, 'B'));
    EXPECT_EQ(console.state.commandBuffer.text(), std::string(127, 'B'));
}

}  // namespace
