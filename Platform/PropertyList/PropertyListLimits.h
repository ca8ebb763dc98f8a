#pragma once

#include <QtGlobal>

namespace Platform {

// What reading one property list, and one discovery's reads together, may cost at most. The
// readers of each format check these themselves.
struct PropertyListLimits {
    // Real Info.plist files take a few KB, the largest some tens of KB. The limit leaves ample
    // room above that while bounding what one file can cost.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;
    // Values nested deeper than this make the file unreadable (an empty array counts as a level).
    static constexpr int kMaxDepth = 512;
    // A binary file names each object once and may refer to it many times; every reference
    // counts as the value it becomes. It may describe no more values than it has bytes or than
    // an XML file within the size limit can hold, and no more text and data bytes than that.
    static constexpr quint64 kMaxBinaryValues = 1 << 17;
    static constexpr quint64 kMaxBinaryExpandedBytes = quint64(kMaxFileSize);
    // What one discovery keeps of all the files it read (PropertyListCache): the dictionaries of
    // files up to kMaxCachedFileSize each and kMaxCachedBytes together, which decode to some
    // eight times their bytes at most. Any other file is read again when it is asked for, so that
    // crafted files cost their memory one at a time, never all together.
    static constexpr qint64 kMaxCachedFileSize = 64 * 1024;
    static constexpr qint64 kMaxCachedBytes = 4 * 1024 * 1024;
};

}  // namespace Platform
