#include "platform/testing/DesktopEnvironment.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zestrel::platform::testing {

DesktopEnvironment::DesktopEnvironment() : desktop_(Desktop::make()) {
    Desktop::setCurrent(desktop_);
}

DesktopEnvironment::~DesktopEnvironment() {
    Desktop::setCurrent(nullptr);
}

std::shared_ptr<FileManagerApplication> DesktopEnvironment::finder() {
    return desktop_->application<FileManagerApplication>(kFinderBundleIdentifier);
}

DesktopEnvironment::CutScene DesktopEnvironment::makeCutScene() {
    CutScene scene{makeFolder("Source"), makeFolder("Target"), finder()};
    writeFile(scene.source / "a.txt", "alpha");
    writeFile(scene.source / "b.txt", "beta");
    scene.finder->openFolder(scene.source);
    scene.finder->select({"a.txt", "b.txt"});
    return scene;
}

std::filesystem::path DesktopEnvironment::makeFolder(const std::string& name) {
    auto folder = home() / name;
    std::filesystem::create_directories(folder);
    return folder;
}

std::filesystem::path DesktopEnvironment::writeFile(const std::filesystem::path& path,
                                                    const std::string& contents) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
    return path;
}

std::string DesktopEnvironment::readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void DesktopEnvironment::press(const SimulatedApplication& app, std::uint16_t keyCode,
                               NSEvent::ModifierFlags flags, const std::string& characters) {
    desktop_->deliverKeyEvent(app.processIdentifier(), keyCode, flags, characters);
}

} // namespace zestrel::platform::testing
