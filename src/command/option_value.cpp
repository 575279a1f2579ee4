// Option values, their checks and bounded numbers.
#include "command/option_value.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

bool optionValue(int argc, char** argv, int& i, const char* name, const char*& value) {
    const size_t length = std::strlen(name);
    if (std::strncmp(argv[i], name, length) != 0) return false;
    if (argv[i][length] == '=') {
        value = argv[i] + length + 1;
        return true;
    }
    if (argv[i][length] != '\0') return false;
    value = (i + 1 < argc) ? argv[++i] : nullptr;
    return true;
}

bool acceptOptionValue(const char* argument, const char* value, bool& seen, std::string& error) {
    const std::string option(argument, std::strcspn(argument, "="));
    if (value == nullptr || *value == '\0') {
        error = option + " needs a value";
        return false;
    }
    if (seen) {
        error = option + " is given twice";
        return false;
    }
    seen = true;
    return true;
}

bool parseInteger(const char* text, int32_t low, int32_t high, int32_t& value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || parsed < low || parsed > high) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

bool parseNumber(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !std::isfinite(parsed) || parsed < low ||
        parsed > high)
        return false;
    value = parsed;
    return true;
}
