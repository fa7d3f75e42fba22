#pragma once

#include <cstdint>
#include <istream>
#include <string>

// Reads a text stream as white-space separated tokens, the one token rule of
// every file the console reads: a value is assigned only when its whole token
// converts; a missing or malformed token leaves the target unchanged and puts
// the reader into the failed state, in which every later read of the same
// stream leaves its target unchanged too. Numbers always use the decimal
// point, whatever the process locale.
class TokenReader {
public:
    explicit TokenReader(std::istream& in) : in_(in) {}

    // Optional sign followed by decimal digits, within 32 bits.
    bool readInt(int32_t& target);
    // Decimal or exponent notation, finite.
    bool readReal(double& target);
    // Any token (at most kMaxToken characters kept; longer ones are malformed).
    bool readWord(std::string& target);
    // Skips `count` characters that are not white space, one by one, across
    // token boundaries (a short label eats into the following numbers).
    bool skipChars(int count);
    // The rest of the current line, without its line end (CR LF or LF).
    // At most kMaxLine characters are kept; the rest of the line is dropped.
    bool readLine(std::string& target);

    bool ok() const { return ok_; }

    static constexpr std::size_t kMaxToken = 4096;
    static constexpr std::size_t kMaxLine = 65536;

private:
    // Next token into token_; false at end of input or for an oversized token.
    bool next();
    bool fail();

    std::istream& in_;
    std::string token_;
    bool ok_ = true;
};

// Whole-string conversions behind TokenReader, for texts from other sources.
bool parseInt(const std::string& text, int32_t& target);
bool parseInt64(const std::string& text, int64_t& target);
bool parseReal(const std::string& text, double& target);

// The leading decimal number of a text as the C library's text-to-double
// conversion reads it (white space, sign, digits, point, exponent), with the
// decimal point whatever the locale; 0 when the text starts with no number or
// the number is out of range.
double leadingNumber(const std::string& text);
