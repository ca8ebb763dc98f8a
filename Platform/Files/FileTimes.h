#pragma once

#include <ctime>
#include <sys/stat.h>

// The times of a stat result: Linux names the fields st_atim, st_mtim and st_ctim, macOS
// st_atimespec, st_mtimespec and st_ctimespec.
namespace Platform {

inline timespec accessTime(const struct stat& info)
{
#ifdef __APPLE__
    return info.st_atimespec;
#else
    return info.st_atim;
#endif
}

inline timespec modificationTime(const struct stat& info)
{
#ifdef __APPLE__
    return info.st_mtimespec;
#else
    return info.st_mtim;
#endif
}

inline timespec changeTime(const struct stat& info)
{
#ifdef __APPLE__
    return info.st_ctimespec;
#else
    return info.st_ctim;
#endif
}

}  // namespace Platform
