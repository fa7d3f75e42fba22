// One read-back cycle of real motion: the console's CPU time to take the
// controller's answer, parse it by the reply list, apply it (positions,
// moving marks, displays, the jog limit test) and send the next query.
// Target: at most 2 ms.
//
// The events of real motion while the controller stalls: a read-back tick,
// a command and a stop to a controller that takes the connection and never
// answers. No event waits for it: each gives up at the channel's deadline.
// Target: the three together at most 200 ms (the default deadline is 50 ms).

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sstream>

#include "axes/MotionDriver.h"
#include "axes/TcpChannel.h"
#include "core/Console.h"
#include "core/ControllerChannel.h"
#include "core/ControllerCommands.h"
#include "core/Headless.h"

namespace {

// A connected controller that answers every query at once.
class AnsweringChannel : public ControllerChannel {
public:
    AnsweringChannel() { link_ = ControllerLink::Connected; }
    bool send(const std::string&) override { return true; }
    bool sendQuery(const std::string&) override { return true; }
    bool takeQueryAnswer(std::string& answer) override {
        answer = answers[next++ % 2];
        return true;
    }
    std::string answers[2];
    unsigned next = 0;
};

void BM_ReadBackCycle(benchmark::State& state) {
    HeadlessMessages messages{stderr};
    HeadlessUi ui{messages};
    Console console(ui);
    console.state.demoStatus = 2;
    std::istringstream settings(
        "tcp 127.0.0.1 7000\nstop-axis A{axis};ST;\nstop-all ST;\nmove-to A{axis};PA{counts};\n"
        "begin-move A{axis};BG;\nquery TS;\nreply PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR MS I\n");
    console.state.motion.commands = parseControllerSettings(settings).motion;
    for (Axis& axis : console.state.axes.axes) {
        axis.unit = "mm";
        axis.scale = 1000;
        axis.softLimitLow = -1000000;
        axis.softLimitHigh = 1000000;
    }
    auto channel = std::make_unique<AnsweringChannel>();
    AnsweringChannel& answering = *channel;
    console.channel = std::move(channel);
    // First the positions the console already holds, then X jogging.
    answering.answers[0] = answering.answers[1] = "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0";
    onReadBackTimer(console);
    onReadBackTimer(console);
    // X jogs: every cycle runs the limit watch.
    console.state.motion.model.axes[kAxisX].phase = AxisPhase::Jogging;
    console.state.motion.model.axes[kAxisX].jogVelocity = 5000;
    answering.answers[0] = "12345,-200,300,0,4000,5000,0,0,1,0,0,0,0,0,0,0,96";
    answering.answers[1] = "12845,-200,300,0,4000,5000,0,0,1,0,0,0,0,0,0,0,96";
    for (auto _ : state) {
        onReadBackTimer(console);
    }
    if (!console.state.motion.model.link.known || console.state.axes[kAxisX].internalPosition < 12345) {
        state.SkipWithError("the read-back was not applied");
    }
}
BENCHMARK(BM_ReadBackCycle);

// A loopback listener that never accepts: connections are made by the
// kernel, nothing is ever answered.
class SilentController {
public:
    SilentController() {
        socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(socket_, 64);
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~SilentController() { ::close(socket_); }
    SilentController(const SilentController&) = delete;
    SilentController& operator=(const SilentController&) = delete;
    int port = 0;

private:
    int socket_ = -1;
};

void BM_EventsAgainstASilentController(benchmark::State& state) {
    SilentController silent;
    HeadlessMessages messages{stderr};
    HeadlessUi ui{messages};
    Console console(ui);
    console.state.demoStatus = 2;
    std::istringstream settings("tcp 127.0.0.1 " + std::to_string(silent.port) +
                                "\nstop-axis A{axis};ST;\nstop-all ST;\nmove-to A{axis};PA{counts};\n"
                                "begin-move A{axis};BG;\nquery TS;\n"
                                "reply PX PY PZ PT PU PV PR PS MX MY MZ MT MU MV MR MS I\n");
    console.state.motion.commands = parseControllerSettings(settings).motion;
    console.channel = std::make_unique<TcpChannel>("127.0.0.1", silent.port);
    for (auto _ : state) {
        onReadBackTimer(console);
        sendCommand(console, "BH5;");
        stopAxis(console, kAxisX);
    }
    if (console.channel->currentLink() == ControllerLink::Connected) {
        state.SkipWithError("a controller that never answers was taken as connected");
    }
}
BENCHMARK(BM_EventsAgainstASilentController)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
