// A resource store for tests, linked instead of the embedded one: it serves the bytes a test
// gives it under any name, so a test can hide a resource or hand out broken data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Serves `bytes` under `name` (matched without regard to case) until changed or cleared.
void setFakeResource(const std::string& name, std::vector<uint8_t> bytes);
void removeFakeResource(const std::string& name);
void clearFakeResources();
