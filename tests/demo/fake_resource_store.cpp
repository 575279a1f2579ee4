// The test resource store: ResourceBlob::load over a table the test fills.
#include "fake_resource_store.h"

#include <map>

#include "gfx/resource_blob.h"

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::map<std::string, std::vector<uint8_t>>& table() {
    static std::map<std::string, std::vector<uint8_t>> resources;
    return resources;
}

} // namespace

void setFakeResource(const std::string& name, std::vector<uint8_t> bytes) {
    table()[lower(name)] = std::move(bytes);
}

void removeFakeResource(const std::string& name) {
    table().erase(lower(name));
}

void clearFakeResources() {
    table().clear();
}

const uint8_t* ResourceBlob::load(const char* name, uint32_t type) {
    data = nullptr;
    size = 0;
    if (name == nullptr || (type != 0 && type != kResourceTypeData)) return nullptr;
    auto found = table().find(lower(name));
    if (found == table().end() || found->second.empty()) return nullptr;
    data = found->second.data();
    size = static_cast<uint32_t>(found->second.size());
    return data;
}
