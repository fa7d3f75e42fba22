#include "util/Csv.h"

bool isBinaryByte(unsigned char c) {
    return (c < 0x20 && c != '\n' && c != '\r' && c != '\t') || c == 0x7F;
}

bool CsvReader::next(std::vector<std::string>& fields, std::string& why) {
    fields.clear();
    recordLine_ = line_;
    for (;;) {
        std::string field;
        bool endOfRecord = false;
        if (!readField(field, endOfRecord, why)) return false;
        fields.push_back(std::move(field));
        if (endOfRecord) return true;
        if (maxFields_ != 0 && fields.size() > maxFields_) {
            why = "more than " + std::to_string(maxFields_) + " fields";
            return false;
        }
    }
}

// After a field: a comma, or a line end that ends the record.
bool CsvReader::endField(bool& endOfRecord, std::string& why) {
    if (atEnd()) {
        why = "the last record has no line end (truncated)";
        cut_ = true;
        return false;
    }
    char c = text_[pos_];
    if (c == ',') {
        ++pos_;
        return true;
    }
    if (c == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    if (text_[pos_] == '\n') {
        ++pos_;
        ++line_;
        endOfRecord = true;
        return true;
    }
    why = "unexpected character after a field";
    return false;
}

bool CsvReader::readField(std::string& field, bool& endOfRecord, std::string& why) {
    if (!atEnd() && text_[pos_] == '"') {
        ++pos_;
        for (;;) {
            if (atEnd()) {
                why = "a quoted field is not closed (truncated)";
                cut_ = true;
                return false;
            }
            char c = text_[pos_++];
            if (c == '"') {
                if (!atEnd() && text_[pos_] == '"') {
                    field += '"';
                    ++pos_;
                    continue;
                }
                return endField(endOfRecord, why);
            }
            if (c == '\n') ++line_;
            field += c;
        }
    }
    while (!atEnd()) {
        char c = text_[pos_];
        if (c == ',' || c == '\n' || (c == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')) break;
        if (c == '"' || c == '\r') {
            why = "a quote or carriage return inside an unquoted field";
            return false;
        }
        field += c;
        ++pos_;
    }
    return endField(endOfRecord, why);
}

std::string csvField(const std::string& text) {
    bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                 (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string csvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += ',';
        line += csvField(fields[i]);
    }
    return line + "\n";
}
