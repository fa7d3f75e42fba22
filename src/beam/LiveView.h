#pragma once

#include <optional>
#include <string>
#include <string_view>

// The read-only live view: a small web page the console serves for the
// counting room, with what "TarvexLive.json" holds and the cross-section
// plot. Here are what it answers and the station file that asks for it; the
// sockets belong to the toolkit layer, which hands every request to
// LiveViewSite::answer and sends back what it returns.

// "LiveView.dat": one line "address:port" ("127.0.0.1:8642"); absent, the
// console serves no live view.
inline constexpr const char* kLiveViewFile = "LiveView.dat";
inline constexpr std::size_t kLiveViewFileMaxBytes = 256;      // bytes
inline constexpr std::size_t kLiveStatusMaxBytes = 64 * 1024;  // bytes of TarvexLive.json served

struct LiveViewAddress {
    std::string host;  // an IPv4 or IPv6 address as written ("::1" also as "[::1]")
    int port = 0;      // 1..65535
};
// The address of the file's first line, or none with the reason in `why`
// ("'localhost:80' is not address:port" and so on).
std::optional<LiveViewAddress> parseLiveViewAddress(std::string_view content, std::string& why);

// One answer: the status code, its Content-Type, an Allow header when not
// empty, and the body (sent also for HEAD's length, never as HEAD's body).
struct LiveViewAnswer {
    int status = 200;
    std::string contentType;
    std::string allow;
    std::string body;
};

// The page: one self-contained HTML text, nothing fetched from elsewhere.
const std::string& liveViewPage();

// The answers over one working folder. GET and HEAD of "/", "/live.json" and
// "/cross-section.svg"; any other method 405 (Allow: GET, HEAD), any other
// path 404. The plot is drawn again only when a logbook or the events file
// changed (name, size or time), so a flood of requests costs one reading.
class LiveViewSite {
public:
    explicit LiveViewSite(std::string folder) : folder_(std::move(folder)) {}
    LiveViewAnswer answer(std::string_view method, std::string_view path);

private:
    LiveViewAnswer liveJson() const;
    LiveViewAnswer crossSection();

    std::string folder_;
    std::string plotKey_;  // what the cached plot was drawn from
    std::string plot_;
};
