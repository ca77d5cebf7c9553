#include "platform/system/NSDataAsset.h"

#include "platform/data/UTType.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

std::optional<fs::path> resourcePath(const fs::path& directory, std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    std::error_code error;
    const fs::path exact = directory / std::string(name);
    if (fs::is_regular_file(exact, error)) {
        return exact;
    }
    std::vector<fs::path> candidates;
    for (fs::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().stem() == name && it->is_regular_file(error)) {
            candidates.push_back(it->path());
        }
    }
    if (candidates.empty()) {
        return std::nullopt;
    }
    return *std::min_element(candidates.begin(), candidates.end());
}

} // namespace

std::optional<NSDataAsset> NSDataAsset::named(std::string_view name,
                                              const std::shared_ptr<const Bundle>& bundle) {
    if (!bundle) {
        return std::nullopt;
    }
    const auto path = resourcePath(bundle->resourcesDirectory(), name);
    if (!path) {
        return std::nullopt;
    }
    std::ifstream stream(*path, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    Data data{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) {
        return std::nullopt;
    }
    std::string extension = path->extension().string();
    if (!extension.empty()) {
        extension.erase(0, 1);
    }
    const auto type = UTType::withFilenameExtension(extension);
    return NSDataAsset(std::string(name), std::move(data),
                       type ? type->identifier : UTType::data().identifier);
}

} // namespace zestrel::platform
