// What the file layer does the same way on every system, on top of its
// system's InputFile.
#include "platform/files/files.h"

namespace pm {

namespace {

FileRead ReadWhole(const std::string& path, uint64_t most, bool firstOnly, InputFile::Streams streams) {
    FileRead read;
    InputFile file;
    auto failed = [&] {
        read.Status = FileRead::Result::Failed;
        read.SystemText = file.SystemText();
        read.Why = file.Why();
        read.Bytes.clear();
        return read;
    };
    switch (file.Open(path, streams)) {
        case InputFile::Opened::Ok: break;
        case InputFile::Opened::Missing:
            read.SystemText = file.SystemText();
            return read;
        case InputFile::Opened::NotRegular:
            read.Status = FileRead::Result::NotRegular;
            read.Kind = file.Kind();
            return read;
        case InputFile::Opened::Failed: return failed();
    }
    read.Kind = file.Kind();
    read.Size = file.Size();
    if (read.Size > most && !firstOnly) {
        read.Status = FileRead::Result::TooLarge;
        return read;
    }
    // Up to one byte past the most, to see a file that grew since it was
    // opened, or a stream longer than it may be.
    const uint64_t limit = firstOnly ? most : most + 1;
    std::string piece;
    while (read.Bytes.size() < limit) {
        const uint64_t left = limit - read.Bytes.size();
        if (!file.Read(static_cast<size_t>(left < 65536 ? left : 65536), piece)) return failed();
        if (piece.empty()) break;
        read.Bytes += piece;
    }
    if (read.Bytes.size() > most) {
        read.Status = FileRead::Result::TooLarge;
        read.Size = read.Bytes.size();
        read.Bytes.clear();
        return read;
    }
    read.Status = FileRead::Result::Ok;
    return read;
}

}  // namespace

FileRead ReadRegularFile(const std::string& path, uint64_t most, bool firstOnly) {
    return ReadWhole(path, most, firstOnly, InputFile::Streams::Refused);
}

FileRead ReadNamedFile(const std::string& path, uint64_t most) {
    return ReadWhole(path, most, false, InputFile::Streams::Read);
}

std::string NotAFileText(FileKind kind) {
    switch (kind) {
        case FileKind::Folder: return "is a directory, not a file";
        case FileKind::Pipe: return "is a named pipe, not a file";
        case FileKind::Device: return "is a device, not a file";
        default: return "is not a regular file";
    }
}

}  // namespace pm
