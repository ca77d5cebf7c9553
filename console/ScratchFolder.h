#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zestrel::console {

// The session's own folder, made in the system's temporary folder: $TMP for the commands
// (unless a folder is named), and the app's home and defaults database, so nothing is written
// into the user's own. Removed at the end unless kept.
//
// A guard of the machine that stops the program (`platform::fatal`: a run loop that does not
// settle, an object used from the wrong thread) ends it as a failure ends it, on whichever
// thread and in whatever state: said, with status 1 and no core, the folder removed or named
// as kept as at the end. Making the folder sets that end for the rest of the program's life,
// so one is made in a program, on the main thread.
class ScratchFolder {
public:
    // A folder the session keeps, as the end names it: what it is, and its real path.
    struct Part {
        std::string what;
        std::filesystem::path path;
    };

    // Throws `std::system_error` when the folder cannot be made.
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Removes the folder, or names what is kept of it. Answers false when the folder cannot
    // be removed (a folder in it made read-only from outside), having said so. Ends no more
    // than once; a fatal error's end under way on another thread ends the program instead.
    bool end();

    std::filesystem::path root() const { return root_; }
    std::filesystem::path files() const { return root_ / "tmp"; }
    // Keeps the folder and names its `parts` at the end, by their real paths (the temporary
    // folder's own path may lead through a link). Throws `std::filesystem::filesystem_error`
    // when a part is not there.
    void keep(std::vector<Part> parts);

private:
    std::filesystem::path root_;
    bool kept_ = false;
    bool ended_ = false;
    std::filesystem::path realRoot_;
    // What the end says of a kept folder.
    std::string keptSaying_;
};

} // namespace zestrel::console
