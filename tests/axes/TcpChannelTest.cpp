#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "ControllerSimulator.h"
#include "axes/TcpChannel.h"
#include "core/Console.h"
#include "core/ControllerCommands.h"
#include "support/ScriptedUi.h"
#include "support/SimulatorThread.h"
#include "support/ToolRun.h"
#include "support/WorkFolder.h"

namespace {

using namespace std::chrono_literals;

// Waits until `done`, giving up after 10 s: the bound only keeps a failing
// test from hanging. How long the channel takes is measured in
// bench/motion_bench.
template <typename Done>
bool waitUntil(Done done) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(5ms);
    }
}

// The stand-in controller served from a thread on a free loopback port.
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

// The simulator on a clock the test moves by hand.
class SimulatorKinematics : public ::testing::Test {
protected:
    SimulatorKinematics() {
        sim.setClock([this] { return now; });
        sim.setProfile(100000, 1000000, 1000000);
    }
    ControllerSimulator::AxisState axis(char letter) {
        return sim.snapshot().axes[static_cast<std::size_t>(std::string("XYZTUVRS").find(letter))];
    }
    ControllerSimulator::Clock::time_point now = ControllerSimulator::Clock::time_point{} + 1h;
    ControllerSimulator sim;
};

TEST_F(SimulatorKinematics, MoveEndsAtRestOnItsTarget) {
    EXPECT_EQ(sim.answer("AY;PA-2500;BG;"), ":::");
    now += 50ms;
    EXPECT_TRUE(axis('Y').moving);
    EXPECT_LT(axis('Y').velocity, -10000) << "accelerated towards the target";
    EXPECT_FALSE(axis('X').moving);
    now += 100ms;
    EXPECT_EQ(axis('Y').position, -2500);
    EXPECT_EQ(axis('Y').velocity, 0);
    EXPECT_FALSE(axis('Y').moving);
    now += 1s;
    EXPECT_EQ(axis('Y').position, -2500) << "stays at rest";
}

TEST_F(SimulatorKinematics, JogStopsAtTheHardLimitAndTellsIt) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* log = ::open_memstream(&text, &size);
    sim.setLogFile(log);
    EXPECT_EQ(sim.answer("#LIMIT X -100 1000"), ":");
    EXPECT_EQ(sim.answer("#LIMIT X 5 5"), "?");
    EXPECT_EQ(sim.answer("AX;AF;JG+20000;"), ":::");
    now += 20ms;
    EXPECT_TRUE(axis('X').moving);
    EXPECT_EQ(sim.answer("AX;LS?;"), ":0\r\n:");
    now += 200ms;
    EXPECT_EQ(axis('X').position, 1000);
    EXPECT_FALSE(axis('X').moving);
    EXPECT_EQ(axis('X').limit, 1);
    EXPECT_EQ(sim.answer("AX;LS?;JG?;"), ":1\r\n:0\r\n:");
    EXPECT_EQ(sim.answer("TS"), "1000,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0,0,0,0,0\r\n:") << "LX after the inputs";
    EXPECT_EQ(sim.answer("JG-20000;"), ":") << "leaves the switch the other way";
    now += 100ms;
    EXPECT_EQ(sim.answer("LS?"), "-1\r\n:");
    EXPECT_EQ(axis('X').position, -100);
    std::fclose(log);
    std::string logged(text, size);
    std::free(text);
    EXPECT_NE(logged.find(" X stopped at the high limit switch (1000)\n"), std::string::npos) << logged;
    EXPECT_NE(logged.find(" X stopped at the low limit switch (-100)\n"), std::string::npos) << logged;
}

TEST_F(SimulatorKinematics, StopDeceleratesTheSelectedAxisOrEveryAxis) {
    sim.answer("AZ;JG20000;AY;JG-20000;");
    now += 50ms;
    EXPECT_EQ(axis('Z').velocity, 20000);
    EXPECT_EQ(sim.answer("AZ;ST;"), "::");
    now += 5ms;
    EXPECT_TRUE(axis('Z').moving);
    EXPECT_NEAR(axis('Z').velocity, 15000, 1) << "decelerates at 1000000 counts/s^2";
    now += 50ms;
    EXPECT_EQ(axis('Z').velocity, 0);
    EXPECT_FALSE(axis('Z').moving);
    EXPECT_EQ(sim.answer("AZ;JG?;"), ":0\r\n:");
    EXPECT_EQ(axis('Y').velocity, -20000) << "only Z was stopped";
    EXPECT_EQ(sim.answer("AY;JG?;"), ":-20000\r\n:");
    EXPECT_EQ(sim.answer("ST;"), ":") << "a bare ST stops every axis";
    now += 50ms;
    EXPECT_FALSE(axis('Y').moving);
    EXPECT_EQ(sim.answer("AY;PA10;BG;SA;"), "::::");
    now += 50ms;
    EXPECT_FALSE(axis('Y').moving) << "SA stops a move as well";
}

TEST_F(SimulatorKinematics, TellsPositionsMovingFlagsAndInputsThatFollowTheOutputs) {
    sim.answer("AT;PA-3;BG;AS;PA40;BG;BH2;BH4;");
    now += 50ms;
    sim.answer("AR;JG10000;");
    EXPECT_EQ(sim.answer("TS;"), "0,0,0,-3,0,0,0,40,0,0,0,0,0,0,1,0,0,0,0,0,0,0,0,0,0\r\n:")
        << "inputs still 0 after 50 ms";
    now += 60ms;
    EXPECT_EQ(sim.answer("TS"), "0,0,0,-3,0,0,550,40,0,0,0,0,0,0,1,0,20,0,0,0,0,0,0,0,0\r\n:");
    sim.answer("BL4");
    now += 110ms;
    EXPECT_EQ(sim.answer("TS"), "0,0,0,-3,0,0,1650,40,0,0,0,0,0,0,1,0,4,0,0,0,0,0,0,0,0\r\n:");
    EXPECT_EQ(sim.answer("PA1;NOPE;JGx"), ":??");
}

TEST(ControllerSimulator, WritesTheSettingsForItsPortByteForByte) {
    const std::string tool = siblingProgram("tarvex-controller-sim");
    ASSERT_FALSE(tool.empty());
    WorkFolder folder;
    ToolRun run = runCommand(shellQuoted(tool) + " --port 4321 --write-settings Controller.dat");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(folder.read("Controller.dat"),
              "tcp 127.0.0.1 4321\n"
              "stop-axis A{axis};ST;\n"
              "stop-all ST;\n"
              "move-to A{axis};PA{counts};\n"
              "begin-move A{axis};BG;\n"
              "query TS;\n"
              "reply PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR MS I LX LY LZ LT LU LV LR LS\n"
              "deceleration 200000\n");
    EXPECT_FALSE(folder.exists("Controller.dat.tmp"));
    const std::string slower = " --port 4321 --deceleration 50000 --write-settings Slow.dat";
    EXPECT_EQ(runCommand(shellQuoted(tool) + slower).exitCode, 0);
    EXPECT_NE(folder.read("Slow.dat").find("\ndeceleration 50000\n"), std::string::npos) << folder.read("Slow.dat");
    EXPECT_EQ(runCommand(shellQuoted(tool) + " --port 0 --write-settings Other.dat").exitCode, 2);
    EXPECT_EQ(runCommand(shellQuoted(tool) + " --port 1 --limit X:5:-5").exitCode, 2);
    EXPECT_FALSE(folder.exists("Other.dat"));
}

TEST_F(TcpChannelTest, SimulatorRewritesItsStateFile) {
    const std::string path = (folder.path() / "state.json").string();
    SimulatorThread sim([&](ControllerSimulator& simulator) { simulator.setStateFile(path); });
    sim.simulator.answer("BH5;AV;PA-7;BG;");
    const std::string expected =
        "{\"axes\": {\"X\": {\"position\": 0, \"velocity\": 0, \"moving\": false}, "
        "\"Y\": {\"position\": 0, \"velocity\": 0, \"moving\": false}, "
        "\"Z\": {\"position\": 0, \"velocity\": 0, \"moving\": false}, "
        "\"T\": {\"position\": 0, \"velocity\": 0, \"moving\": false}, "
        "\"U\": {\"position\": 0, \"velocity\": 0, \"moving\": false}, "
        "\"V\": {\"position\": -7, \"velocity\": 0, \"moving\": false}, "
        "\"R\": {\"position\": 0, \"velocity\": 0, \"moving\": false}, "
        "\"S\": {\"position\": 0, \"velocity\": 0, \"moving\": false}}, \"bits\": 32}\n";
    EXPECT_TRUE(waitUntil([&] { return fileContent(path) == expected; }))
        << "the state file did not show V at -7 within 10 s:\n"
        << fileContent(path);
    sim.simulator.answer("AX;JG1000;");
    EXPECT_TRUE(waitUntil([&] { return fileContent(path).find("\"X\": {\"position\": 0,") == std::string::npos; }))
        << "X did not leave 0 in the state file within 10 s";
    EXPECT_NE(fileContent(path).find("\"velocity\": 1000, \"moving\": true}, \"Y\""), std::string::npos)
        << fileContent(path);
}

TEST_F(TcpChannelTest, MutedConnectionNeverAnswersButStillActs) {
    SimulatorThread sim;
    int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(sim.simulator.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string sent = "BH3;#MUTE;BH4;\rTB;JG?;\r";
    ASSERT_EQ(::send(socket, sent.data(), sent.size(), 0), static_cast<ssize_t>(sent.size()));
    pollfd fd{socket, POLLIN, 0};
    EXPECT_EQ(::poll(&fd, 1, 300), 0) << "not a single byte, not even the prompts before #MUTE";
    ::close(socket);
    EXPECT_EQ(sim.simulator.bits(), 24u) << "every command ran";
    TcpChannel channel("127.0.0.1", sim.simulator.port(), 300ms);
    channel.send("TB;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Connected) << "a new connection answers again";
    EXPECT_EQ(channel.reply(), "24");
    std::vector<ControllerSimulator::Received> log = sim.simulator.snapshot().log;
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].connection, 1);
    EXPECT_EQ(log[0].text, "BH3;#MUTE;BH4;");
    EXPECT_EQ(log[1].text, "TB;JG?;");
    EXPECT_EQ(log[2].connection, 2);
    EXPECT_EQ(log[2].text, "TB;");
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
    EXPECT_EQ(channel.currentLink(), ControllerLink::Absent);
    channel.send("AY;AF;JG+2000;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Connected);
    EXPECT_EQ(channel.reply(), "");
    channel.send("JG?;");
    EXPECT_EQ(channel.reply(), "2000");
    channel.send("BH5;TB;");
    EXPECT_EQ(channel.reply(), "32");
    channel.send("NOPE;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Connected);
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
    ASSERT_EQ(channel.currentLink(), ControllerLink::Connected);
    channel.send("TB;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Lost) << "given up before the answer came";
    channel.send("TB;");
    EXPECT_NE(folder.read("ControllerJournal.txt").find("not sent"), std::string::npos)
        << "no second wait within 100 ms of a timeout";
    std::this_thread::sleep_for(100ms);
    channel.send("#SLOW 0;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Lost) << "the slow setting still holds for this answer";
    std::this_thread::sleep_for(100ms);
    channel.send("TB;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Connected);
    EXPECT_EQ(channel.reply(), "0");
}

TEST_F(TcpChannelTest, DroppedConnectionIsRemadeAtTheNextCommand) {
    SimulatorThread sim;
    TcpChannel channel("127.0.0.1", sim.simulator.port(), 500ms);
    channel.send("BH7;#DROP;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Lost);
    channel.send("TB;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Connected);
    EXPECT_EQ(channel.reply(), "128") << "the controller kept its bits";
}

TEST_F(TcpChannelTest, NoiseWithoutPromptNeverBlocks) {
    SimulatorThread sim;
    TcpChannel channel("127.0.0.1", sim.simulator.port(), 300ms);
    channel.send("#NOISE;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Lost);
}

TEST_F(TcpChannelTest, StoppedControllerTurnsTheLinkLost) {
    auto sim = std::make_unique<SimulatorThread>();
    TcpChannel channel("127.0.0.1", sim->simulator.port(), 500ms);
    channel.send("BH5;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Connected);
    sim.reset();
    channel.send("BL5;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Lost);
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
    EXPECT_EQ(channel.currentLink(), ControllerLink::Absent);
}

// A host name whose lookup hangs does not hold the commands: they come back
// while the lookup is still held, and the name is looked up once, not at every
// command or reconnection.
TEST_F(TcpChannelTest, HostNameIsLookedUpOnceAndNeverWaitedFor) {
    struct HeldLookup {
        std::atomic<int> lookups{0};
        std::atomic<bool> released{false};
        std::atomic<bool> ended{false};
        std::atomic<bool> endedReleased{false};
    };
    auto held = std::make_shared<HeldLookup>();
    {
        TcpChannel unresolved("controller.example", 5000, 300ms,
                              [held](const std::string&, const std::string&, addrinfo**) {
                                  ++held->lookups;
                                  // Held until the commands are back; the bound only keeps a
                                  // channel that waits for the lookup from hanging the test.
                                  waitUntil([&] { return held->released.load(); });
                                  held->endedReleased = held->released.load();
                                  held->ended = true;
                                  return EAI_NONAME;
                              });
        for (int i = 0; i < 4; ++i) {
            unresolved.send("BH5;");
            EXPECT_EQ(unresolved.currentLink(), ControllerLink::Absent);
        }
        held->released = true;
        ASSERT_TRUE(waitUntil([&] { return held->ended.load(); })) << "the lookup did not end within 10 s";
    }
    EXPECT_TRUE(held->endedReleased) << "the commands waited for the lookup: it was not released within 10 s";
    EXPECT_EQ(held->lookups, 1);

    SimulatorThread sim;
    auto lookups = std::make_shared<std::atomic<int>>(0);
    TcpChannel channel("controller.example", sim.simulator.port(), 300ms,
                       [lookups](const std::string&, const std::string& port, addrinfo** found) {
                           ++*lookups;
                           return systemHostResolver("127.0.0.1", port, found);
                       });
    channel.send("BH5;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Connected);
    channel.send("#DROP;");
    channel.send("TB;");
    channel.send("TB;");
    EXPECT_EQ(channel.currentLink(), ControllerLink::Connected);
    EXPECT_EQ(*lookups, 1);
}

// A controller on a loopback port that answers the texts of one connection,
// in order, with the given bytes, and keeps the connection until the channel
// closes it.
class ScriptedController {
public:
    explicit ScriptedController(std::vector<std::string> answers) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 1);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        thread_ = std::thread([this, answers = std::move(answers)] {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 2000) != 1) return;
            int client = ::accept(listener_, nullptr, nullptr);
            for (const std::string& answer : answers) {
                char c = 0;
                pollfd fd{client, POLLIN, 0};
                while (c != '\r' && ::poll(&fd, 1, 2000) == 1 && ::recv(client, &c, 1, 0) == 1) {
                }
                if (c != '\r') break;
                ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
            }
            char c = 0;
            pollfd fd{client, POLLIN, 0};
            while (::poll(&fd, 1, 2000) == 1 && ::recv(client, &c, 1, 0) == 1) {
            }
            ::close(client);
        });
    }
    ~ScriptedController() {
        thread_.join();
        ::close(listener_);
    }
    int port = 0;

private:
    int listener_ = -1;
    std::thread thread_;
};

// A query's answer as the read-back takes it, within a bounded wait.
std::string queryAnswer(ControllerChannel& channel) {
    std::string answer = "(none)";
    waitUntil([&] { return channel.takeQueryAnswer(answer); });
    return answer;
}

TEST_F(TcpChannelTest, QueryAnswerLongerThanTheChannelKeepsIsNoAnswer) {
    const std::string positions = "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n:";
    std::string prefix;
    while (prefix.size() < 6000) prefix += "1,";
    ScriptedController controller({prefix + positions, positions});
    std::istringstream settings(ControllerSimulator::settingsText(controller.port));
    const MotionCommands commands = parseControllerSettings(settings).motion;
    TcpChannel channel("127.0.0.1", controller.port, 500ms);
    ReadBack readBack;
    ASSERT_TRUE(channel.sendQuery("TS;"));
    EXPECT_FALSE(parseReadBack(queryAnswer(channel), commands.reply, readBack)) << "6 kB of numbers before the answer";
    ASSERT_TRUE(channel.sendQuery("TS;"));
    EXPECT_TRUE(parseReadBack(queryAnswer(channel), commands.reply, readBack)) << "the same answer without them";
}

// Each answer comes 60 ms after its text: within an answer time of 200 ms a
// move sent behind an unanswered query is answered, and the connection
// stays for the next command; within the default 50 ms it is not.
TEST_F(TcpChannelTest, SlowControllerIsWaitedForWithinTheAnswerTime) {
    struct Row {
        const char* setting;
        bool nextSent;
    };
    for (const Row& row : {Row{"", false}, Row{"answer-time 200\n", true}}) {
        SimulatorThread sim;
        folder.write("Controller.dat", ControllerSimulator::settingsText(sim.simulator.port()) + row.setting);
        ScriptedUi ui;
        Console console(ui);
        console.channel = openControllerChannel(console);
        EXPECT_TRUE(ui.boxes.empty()) << row.setting;
        ControllerChannel& channel = *console.channel;
        ASSERT_TRUE(sendCommand(console, "#SLOW 60;"));
        ASSERT_TRUE(channel.sendQuery("TS;"));
        EXPECT_TRUE(sendCommand(console, "AX;PA500;AX;BG;")) << "went out, answered in time or not";
        EXPECT_EQ(sendCommand(console, "TB;"), row.nextSent) << row.setting;
        EXPECT_EQ(channel.currentLink(), row.nextSent ? ControllerLink::Connected : ControllerLink::Lost)
            << row.setting;
        EXPECT_TRUE(waitUntil([&] { return sim.simulator.snapshot().axes[0].position == 500; }))
            << "X did not reach 500 within 10 s; " << row.setting;
        std::vector<ControllerSimulator::Received> log = sim.simulator.snapshot().log;
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log[2].text, "AX;PA500;AX;BG;");
    }
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
    EXPECT_EQ(console.channel->currentLink(), ControllerLink::Journal);
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
