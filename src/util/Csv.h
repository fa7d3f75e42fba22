#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The CSV files of the working folder (the beam-run logbooks, the test plans):
// fields separated by commas, records ended by LF or CR LF, a field quoted
// (quotes doubled) when it holds a comma, a quote or a line break.

// A control character other than a line break or a tab, or DEL: what marks a
// file as binary rather than text.
bool isBinaryByte(unsigned char c);

// Splits CSV text into records of fields. Stops at the first fault: after
// one, nothing more is read.
class CsvReader {
public:
    // `maxFields`: a record with more fields is a fault; 0: no limit.
    explicit CsvReader(std::string_view text, std::size_t maxFields = 0) : text_(text), maxFields_(maxFields) {}
    // The limit of the records read from now on (a header may tell it).
    void setMaxFields(std::size_t maxFields) { maxFields_ = maxFields; }

    bool atEnd() const { return pos_ >= text_.size(); }
    int line() const { return line_; }

    // One record; false with `why` on a fault.
    bool next(std::vector<std::string>& fields, std::string& why);
    // The line the record last read starts on.
    int recordLine() const { return recordLine_; }
    // True after a fault that is the end of the text coming too soon.
    bool cut() const { return cut_; }

private:
    bool endField(bool& endOfRecord, std::string& why);
    bool readField(std::string& field, bool& endOfRecord, std::string& why);

    std::string_view text_;
    std::size_t maxFields_;
    std::size_t pos_ = 0;
    int line_ = 1;
    int recordLine_ = 1;
    bool cut_ = false;
};

// One field as CSV: quoted (quotes doubled) when it holds a comma, a quote,
// a line break or a leading or trailing blank.
std::string csvField(const std::string& text);
// The fields as one CSV line, ended by "\n".
std::string csvLine(const std::vector<std::string>& fields);
