// The game's one way to the file system: everything the hosts, the driver
// and the tools do with files and folders goes through here. One
// implementation per system, chosen by the build: files_posix.cpp (Linux and
// the browser's runner, whose file system is POSIX too) and
// files_windows.cpp (the wide-character Windows API). Every name is UTF-8.
//
// Texts of failures never name the file; the caller does, in its own words.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pm {

// --- names -------------------------------------------------------------------

// '/' everywhere; '\\' too on Windows.
bool IsSeparator(char c);

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);

// A folder's name with a separator at its end ("./" or ".\\" for none).
std::string WithSeparator(std::string folder);

// --- looking ---------------------------------------------------------------

enum class FileKind : uint8_t { Missing, Regular, Folder, Pipe, Device, Other };

// What the name holds now, links followed; Missing also when it cannot be
// examined at all.
FileKind KindOf(const std::string& path);

// The folder exists and new files can be made and renamed in it.
bool IsWritableFolder(const std::string& path);

// The folder holding the running program, with a separator at its end;
// throws StartupError when the system will not say.
std::string MyPath();

// An environment variable's value; null when it is not set.
const char* GetEnv(const char* name);

// The account's home folder from the system's account database; empty when
// there is none (and on systems without one).
std::string AccountHome();

// What the path decisions need to know about the machine.
struct PathProbe {
    std::function<bool(const std::string& path)> IsDirectory;
    // The folder exists and new files can be created and renamed in it.
    std::function<bool(const std::string& path)> IsWritableDirectory;
    // An environment variable's value; null when it is not set.
    std::function<const char*(const char* name)> GetEnv;
    // The account's home folder from the password database; empty when
    // there is none. May be left unset.
    std::function<std::string()> AccountHome;
};

// The folder where this system keeps a player's own files of the game, with
// a separator at its end: on Linux $XDG_DATA_HOME/pellimunch, else
// $HOME/.local/share/pellimunch, else the account's home folder's; on
// Windows %APPDATA%\Pellimunch. Empty when there is none.
std::string PlayerFolder(const PathProbe& probe);

// --- reading -----------------------------------------------------------------

// A regular file opened for reading. Opening never waits: a named pipe or a
// device put where a file was expected is refused, not opened for good.
class InputFile {
public:
    enum class Opened : uint8_t { Ok, Missing, NotRegular, Failed };
    // A pipe or a device is refused, or (for a name the user gave a tool on
    // its command line) read as a stream, waiting for it as it must.
    enum class Streams : uint8_t { Refused, Read };

    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Missing when nothing has that name; NotRegular (with Kind()) when
    // something else has; Failed when the system refused (SystemText() says
    // why, Why() says it with the step: "cannot open: ...").
    Opened Open(const std::string& path, Streams streams = Streams::Refused);
    // The size of what was opened, not of what the name holds a moment later.
    uint64_t Size() const { return size_; }
    FileKind Kind() const { return kind_; }
    // Up to `count` bytes from `offset` into `bytes` (fewer at the end of the
    // file). False on a failed read, with SystemText() and Why().
    bool ReadAt(uint64_t offset, size_t count, std::string& bytes);
    // Up to `count` bytes from where the last Read ended (fewer at the end):
    // the way to read a stream.
    bool Read(size_t count, std::string& bytes);

    const std::string& SystemText() const { return system_; }
    const std::string& Why() const { return why_; }

private:
    void Close();
    void Failure(const char* step);   // records the system's last error
    intptr_t handle_ = -1;
    uint64_t size_ = 0;
    uint64_t next_ = 0;   // where Read goes on; streams ignore it
    FileKind kind_ = FileKind::Missing;
    std::string system_, why_;
};

// A whole file read at once, refusing one larger than it should be.
struct FileRead {
    enum class Result : uint8_t { Ok, Missing, NotRegular, TooLarge, Failed };
    Result Status = Result::Missing;
    FileKind Kind = FileKind::Missing;   // what the name held, for NotRegular
    uint64_t Size = 0;                   // the file's size, for TooLarge
    std::string Bytes;
    std::string SystemText;              // the system's words, for Missing and Failed
    std::string Why;                     // with the step, for Failed: "cannot read: ..."
};

// Reads a regular file of at most `most` bytes. With `firstOnly`, a larger
// file is not refused: its first `most` bytes are read.
FileRead ReadRegularFile(const std::string& path, uint64_t most, bool firstOnly = false);

// The same for a name given on a command line, where a pipe or a device
// (`<(...)`, /dev/stdin) is read too, up to `most` bytes: a longer one is
// TooLarge, without reading it to its end.
FileRead ReadNamedFile(const std::string& path, uint64_t most);

// "is a directory, not a file" and the like, for a NotRegular.
std::string NotAFileText(FileKind kind);

// --- writing -----------------------------------------------------------------

// Writes `bytes` to a temporary file in the same folder, flushes it to disk
// and renames it over `path`. New files get the permissions an ordinary
// create would give; a replaced file keeps its own. A file without write
// permission is left alone and reported as a failure, as is anything that is
// not a regular file. Returns false with a reason on error; the old file is
// then as it was.
bool ReplaceFile(const std::string& path, std::string_view bytes, std::string* reason = nullptr);

// Renames `from` to `to`, replacing what `to` held. False with the system's
// reason.
bool RenameOver(const std::string& from, const std::string& to, std::string* reason = nullptr);

// Removes a file; true when it is gone (or was never there).
bool RemoveFile(const std::string& path);

// Removes what saves of `path` killed between making their temporary file
// and the rename left behind: ReplaceFile's temporary files beside it that
// are regular files of this user, unchanged for at least `minAgeSeconds`.
// Returns how many went. Meant to run under the folder's lock, where no
// live save of ours is writing one; the age spares a writer that takes no
// lock (an older copy of the game).
int RemoveStaleTemporaries(const std::string& path, int64_t minAgeSeconds = 60);

// Creates the folders above `file` that are missing (private to the player,
// as the data folder should be). False with a reason naming the folder when
// one cannot be made.
bool MakeFolderFor(const std::string& file, std::string* reason = nullptr);

// An exclusive lock on a folder, held for the object's life, so that copies
// of the game saving into the same folder take turns. It leaves nothing
// behind in the folder. Where the file system has no such locks the object
// holds nothing and the save goes ahead without one: reading the file again
// just before the write still keeps the higher record in all but a narrow
// race.
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
