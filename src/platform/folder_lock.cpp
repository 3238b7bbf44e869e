#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace pm {

// An advisory lock on the folder itself: the folder, unlike the file, is
// never replaced by a rename, so every copy of the game locks the same thing.
FolderLock::FolderLock(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    handle_ = fd;
}

FolderLock::~FolderLock() {
    // Closing gives the lock back.
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

}  // namespace pm
