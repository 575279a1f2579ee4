// What the commands' option parsers share: an option's value in either spelling, the checks
// every option gets, and numbers within bounds.
#pragma once

#include <cstdint>
#include <string>

// True when argv[i] is the option `name`, as "--name=value" or "--name value" (then i moves
// to the value); `value` is null when the value is missing.
bool optionValue(int argc, char** argv, int& i, const char* name, const char*& value);

// The checks on an option just read by optionValue from `argument`: it has a value and was
// not given before (`seen`, which it then sets). False with a one-line reason otherwise.
bool acceptOptionValue(const char* argument, const char* value, bool& seen, std::string& error);

// Reads the whole of `text` as a number from `low` to `high`. False, leaving `value` alone,
// for anything else (trailing characters, out of range, not finite).
bool parseInteger(const char* text, int32_t low, int32_t high, int32_t& value);
bool parseNumber(const char* text, double low, double high, double& value);
