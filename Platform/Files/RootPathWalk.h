#pragma once

#include "Platform/Files/UniqueFd.h"

#include <QByteArray>

namespace Platform {

// Why root's walk declined a file it could otherwise have opened.
enum class RootWalkRefusal {
    none,
    // A link stands in a folder that someone other than root can change, or below one.
    linkOthersCanChange,
    // The file has other names, and the folder holding this one is not its owner's: a user can
    // give a file of root's a name in their own folder where hard links are not protected.
    hardLinkOfAnotherOwner,
};

struct RootOpenedFile {
    UniqueFd fd;
    // The error number when fd is not open.
    int error = 0;
    RootWalkRefusal refusal = RootWalkRefusal::none;
};

// Opens the regular file at `path` for reading, without blocking, as root reads files in trees
// that users own. The path is walked from "/" one folder at a time by descriptor. A link on the
// way is followed only while every folder walked so far is changeable by root alone (or is a
// sticky folder of root's, like /tmp, and the link is root's); below the first folder anyone else
// can change, no link is followed and no ".." is taken. A relative path starts at the working
// folder.
RootOpenedFile openFileAsRoot(const QByteArray& path);

}  // namespace Platform
