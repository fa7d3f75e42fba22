#include "util/TokenReader.h"

#include <charconv>
#include <cmath>

namespace {

bool isBlank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// from_chars accepts no leading '+'; the files may carry one.
const char* skipPlus(const char* first, const char* last) {
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-' && first[1] != '+') {
        return first + 1;
    }
    return first;
}

template <typename Int>
bool parseInteger(const std::string& text, Int& target) {
    const char* first = skipPlus(text.data(), text.data() + text.size());
    const char* last = text.data() + text.size();
    if (first == last) return false;
    Int value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value, 10);
    if (ec != std::errc() || ptr != last) return false;
    target = value;
    return true;
}

}  // namespace

bool parseInt(const std::string& text, int32_t& target) {
    return parseInteger(text, target);
}

bool parseInt64(const std::string& text, int64_t& target) {
    return parseInteger(text, target);
}

bool parseReal(const std::string& text, double& target) {
    const char* first = skipPlus(text.data(), text.data() + text.size());
    const char* last = text.data() + text.size();
    if (first == last) return false;
    // Only decimal or exponent notation: no "inf", "nan" or hexadecimal.
    for (const char* p = first; p != last; ++p) {
        char c = *p;
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) {
            return false;
        }
    }
    double value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || ptr != last || !std::isfinite(value)) return false;
    target = value;
    return true;
}

bool TokenReader::fail() {
    ok_ = false;
    return false;
}

bool TokenReader::next() {
    token_.clear();
    int c = in_.get();
    while (c != EOF && isBlank(c)) c = in_.get();
    if (c == EOF) return false;
    bool oversized = false;
    while (c != EOF && !isBlank(c)) {
        if (token_.size() < kMaxToken) {
            token_.push_back(static_cast<char>(c));
        } else {
            oversized = true;
        }
        c = in_.get();
    }
    if (c != EOF) in_.unget();  // keep the separator for readLine
    return !oversized;
}

bool TokenReader::readInt(int32_t& target) {
    if (!ok_ || !next()) return fail();
    return parseInt(token_, target) || fail();
}

bool TokenReader::readReal(double& target) {
    if (!ok_ || !next()) return fail();
    return parseReal(token_, target) || fail();
}

bool TokenReader::readWord(std::string& target) {
    if (!ok_ || !next()) return fail();
    target = token_;
    return true;
}

bool TokenReader::skipChars(int count) {
    if (!ok_) return false;
    for (int i = 0; i < count; ++i) {
        int c = in_.get();
        while (c != EOF && isBlank(c)) c = in_.get();
        if (c == EOF) return fail();
    }
    return true;
}

bool TokenReader::readLine(std::string& target) {
    if (!ok_) return false;
    std::string line;
    int c = in_.get();
    if (c == EOF) return fail();
    while (c != EOF && c != '\n') {
        if (line.size() < kMaxLine) line.push_back(static_cast<char>(c));
        c = in_.get();
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    target = line;
    return true;
}

double leadingNumber(const std::string& text) {
    auto digit = [&text](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    std::size_t i = 0;
    while (i < text.size() && isBlank(static_cast<unsigned char>(text[i]))) ++i;
    std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool digits = false;
    while (digit(i)) ++i, digits = true;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (digit(i)) ++i, digits = true;
    }
    if (!digits) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t e = i + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        if (digit(e)) {
            while (digit(e)) ++e;
            i = e;
        }
    }
    double value = 0;
    return parseReal(text.substr(start, i - start), value) ? value : 0;
}
