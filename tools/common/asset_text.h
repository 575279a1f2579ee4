// Reading the readable asset sources in assets/: one line at a time, counted for error
// messages, with everything from a '#' on cut off as a comment.
#pragma once

#include <istream>
#include <string>

// Reads the next line into `text` without its comment and counts it. False at the end.
inline bool readAssetLine(std::istream& in, std::string& text, int& lineNumber) {
    if (!std::getline(in, text)) return false;
    ++lineNumber;
    const size_t hash = text.find('#');
    if (hash != std::string::npos) text.erase(hash);
    return true;
}
