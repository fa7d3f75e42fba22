#include "util/NumberFormat.h"

#include <charconv>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <locale.h>

namespace {

locale_t classicLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

std::string vformat(const char* format, va_list args) {
    locale_t previous = uselocale(classicLocale());
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(length));
    }
    uselocale(previous);
    return text;
}

}  // namespace

std::string cformat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    return text;
}

std::string formatFixed(double value, int decimals) {
    return cformat("%.*f", decimals, value);
}

std::string formatGeneral(double value) {
    return cformat("%g", value);
}

std::string formatShortest(double value) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : formatGeneral(value);
}

std::string formatBeamValue(double value) {
    if (value < 1) return cformat("%.3f", value);
    if (value < 10) return cformat("%.2f", value);
    return cformat("%.1f", value);
}

std::string logTimeStamp(const std::tm& localTime) {
    char text[64];
    std::size_t length = std::strftime(text, sizeof text, "%y/%m/%d   %H:%M:%S   ", &localTime);
    return std::string(text, length);
}
