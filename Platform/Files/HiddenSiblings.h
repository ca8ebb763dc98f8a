#pragma once

#include "Platform/Files/UniqueFd.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Platform {

// The hidden siblings of one item, ".<name>.foldwise-XXXXXX" in the item's folder: a copy is
// staged in one and renamed into place, a removal first renames the item to one. What a run
// that stopped half-way (a crash, a power cut) left in them is swept away by the next run, except
// what a run still at work holds locked.
class HiddenSiblings {
public:
    HiddenSiblings(std::filesystem::path folder, const std::string& name);

    // Clears away what an earlier run left here: only names of our own pattern, and none that is
    // locked. Gives back those it could not clear away (none when the folder cannot be listed),
    // with the error number of the first failure in `code`.
    std::vector<std::filesystem::path> sweepLeftovers(int& code) const;
    // A new, empty staging folder among the siblings (mkdtemp); none with the error number in
    // `code` when it cannot be made.
    std::optional<std::filesystem::path> makeStagingFolder(int& code) const;
    // A sibling's path under a fresh name, for a command that makes it itself (and fails where
    // something is already there).
    std::filesystem::path freshName() const;
    // Renames the item to a sibling of a fresh name, in one step and without replacing anything;
    // gives back 0 or the error number, and the sibling's path in `aside`.
    int moveAside(const std::filesystem::path& item, std::filesystem::path& aside) const;

    // A lock on a folder of ours while we work in it, so that another run's sweep leaves it
    // alone. Invalid, errno set, when the path is no folder that can be opened: links and
    // files are not locked, since nothing works inside them.
    static UniqueFd lockFolder(const std::filesystem::path& path);

private:
    std::filesystem::path m_folder;
    std::string m_prefix;
};

}  // namespace Platform
