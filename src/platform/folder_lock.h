// An exclusive lock on a folder, held for the object's life, so that copies
// of the game saving into the same folder take turns. Where the file system
// has no such locks the object holds nothing and the save goes ahead
// without one: reading the file again just before the write still keeps
// the higher record in all but a narrow race.
#pragma once

#include <cstdint>
#include <string>

namespace pm {

class FolderLock {
public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    intptr_t handle_ = -1;   // the descriptor or handle holding the lock; -1 for none
};

}  // namespace pm
