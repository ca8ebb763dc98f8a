#pragma once

// The few file calls whose best form differs per system, each defined in
// Platform/<system>/FileSystemCalls.cpp; the portable fallbacks they share are in
// Platform/FileSystemCalls.cpp. Each gives back 0 or the error number.
#include <filesystem>
#include <functional>
#include <sys/types.h>

namespace Platform {

// Every call that changes the file system during a copy, a removal or a sweep passes this gate
// first, so that a test can fail it or stop the process right there: the gate gives back 0 to
// go on, or the error number the call fails with. None is set outside tests.
using FileSystemCallGate = std::function<int(const char* call)>;
void setFileSystemCallGate(FileSystemCallGate gate);
int passGate(const char* call);

// The portable changing calls, through the gate.
int makeFolder(const char* path, mode_t mode);
// A new file, never an existing one nor through a link; its descriptor in `fd`.
int createFile(const char* path, mode_t mode, int& fd);
int changeMode(const char* path, mode_t mode);
int makeLink(const std::filesystem::path& target, const std::filesystem::path& link);
// A fresh folder from a template ending in XXXXXX, which is filled in.
int makeUniqueFolder(char* pathTemplate);
// Deletes a file or a tree, links not followed, entry by entry.
int removeAll(const std::filesystem::path& path);

// Renames without ever replacing an item that appeared at the destination meanwhile.
int renameNoReplace(const char* from, const char* to);
// For a file system that cannot rename exclusively: a check narrows the window as far as we can.
int renameAfterCheck(const char* from, const char* to);
// Swaps two items in one step, so that each name holds one whole item at every moment. Where the
// file system cannot swap, it fails (EINVAL, ENOTSUP) and both stay as they were: there is no
// step-by-step stand-in, since one would leave the name empty for a moment.
int exchangeItems(const char* first, const char* second);

// Copies the bytes from one open file to another, from where each stands.
int copyBytes(int in, int out);
// The same through a buffer of ours, which works between any two files.
int copyBytesThroughBuffer(int in, int out);

// A staged copy is written out to the disk before it is renamed into place, so that a crash
// never leaves a copy under the real name whose files are empty or missing. Each system does
// that the way cheapest for it: Linux for the whole tree at once (syncfs, which also reports a
// write-back failure found late), macOS file by file (F_FULLFSYNC, which has the drive write its
// own cache out too). Both are called for every copy; on each system one of them does nothing.
int flushCopiedFile(int fd);
int flushCopiedTree(int folderFd);

// Has this child process end when its parent does, so that a run stopped by a signal never
// goes on working in a child; false when the parent is already gone.
bool endWithParent(int parentPid);

}  // namespace Platform
