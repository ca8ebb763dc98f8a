#include "Platform/Files/HiddenSiblings.h"

#include "Platform/Files/FileSystemCalls.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace Platform {

namespace {

// Names are at most 255 bytes; 200 of the item's name leave room for the dot and the suffix.
constexpr size_t kNameRoom = 200;
constexpr char kSiblingMark[] = ".foldwise-";
constexpr size_t kSuffixLength = 6;
constexpr char kSuffixCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// Fresh names tried before a removal gives up with EEXIST.
constexpr int kAsideAttempts = 100;

bool isOurSibling(const std::string& entry, const std::string& prefix)
{
    if (entry.size() != prefix.size() + kSuffixLength || entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    return entry.find_first_not_of(kSuffixCharacters, prefix.size()) == std::string::npos;
}

std::string randomSuffix()
{
    std::string suffix;
    for (size_t i = 0; i < kSuffixLength; ++i)
        suffix += kSuffixCharacters[QRandomGenerator::global()->bounded(int(sizeof kSuffixCharacters - 1))];
    return suffix;
}

UniqueFd openFolder(const fs::path& path)
{
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

HiddenSiblings::HiddenSiblings(fs::path folder, const std::string& name)
    : m_folder(std::move(folder)),
      m_prefix("." + name.substr(0, kNameRoom) + kSiblingMark)
{
}

std::vector<fs::path> HiddenSiblings::sweepLeftovers(int& code) const
{
    std::vector<fs::path> leftovers;
    std::error_code error;
    for (fs::directory_iterator entry(m_folder, error), end; !error && entry != end; entry.increment(error)) {
        if (isOurSibling(entry->path().filename().native(), m_prefix))
            leftovers.push_back(entry->path());
    }
    std::vector<fs::path> left;
    for (const fs::path& leftover : leftovers) {
        // Held while it is removed, so that no other run starts to work in it meanwhile; one that
        // another run holds is at work, not left over.
        const UniqueFd lock = openFolder(leftover);
        if (lock.valid() && ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (const int removal = removeAll(leftover)) {
            if (left.empty())
                code = removal;
            left.push_back(leftover);
        }
    }
    return left;
}

std::optional<fs::path> HiddenSiblings::makeStagingFolder(int& code) const
{
    std::string stagingTemplate = (m_folder / (m_prefix + "XXXXXX")).native();
    if (const int made = makeUniqueFolder(stagingTemplate.data())) {
        code = made;
        return std::nullopt;
    }
    return fs::path(stagingTemplate);
}

fs::path HiddenSiblings::freshName() const
{
    return m_folder / (m_prefix + randomSuffix());
}

int HiddenSiblings::moveAside(const fs::path& item, fs::path& aside) const
{
    int code = EEXIST;
    for (int attempt = 0; attempt < kAsideAttempts && code == EEXIST; ++attempt) {
        aside = freshName();
        code = renameNoReplace(item.c_str(), aside.c_str());
    }
    return code;
}

UniqueFd HiddenSiblings::lockFolder(const fs::path& path)
{
    UniqueFd fd = openFolder(path);
    if (fd.valid())
        ::flock(fd.get(), LOCK_EX | LOCK_NB);
    return fd;
}

}  // namespace Platform
