// Files: an owned descriptor, and writing a file's whole content so that a failure never
// leaves a partial file behind.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace Base {

// An open file descriptor, closed when the handle goes.
class FileHandle {
public:
    explicit FileHandle(int fd = -1) : m_fd(fd) {}
    // Opens as open(2) does, `path` taken relative to the folder `dir` when one is given; a
    // handle that isn't open (errno tells why) when it can't.
    static FileHandle Open(const char* path, int flags, const FileHandle* dir = nullptr,
                           unsigned mode = 0);
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept : m_fd(other.Release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    // Gives up ownership without closing.
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Writes all the bytes at the file's position: 0, or the errno of the failure (ENOSPC
    // when the system takes no more).
    int WriteAll(std::span<const uint8_t> bytes) const;
    // Closes now; the errno of a failed close, else 0 (also when nothing was open).
    int Close();

private:
    int m_fd;
};

// A file installed with the program, `belowPrefix` below the prefix it runs from: the program
// is <prefix>/bin/NAME when installed; in a build tree it is <tree>/FOLDER/NAME or a test
// program two folders down, with the file below <tree>. Empty when there is none.
std::string FindBesideProgram(const std::string& belowPrefix);

// Writes the bytes as the file's whole content: into a temporary file beside it, then renamed
// into place (no fsync), so a failure leaves the target as it was and no partial or empty
// file. A device or pipe of that name is written in place. Throws Except "can't write
// <file>: <reason>" with the name in code page 936.
void WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes);
// The same without the throw or an allocation, the file made of the pieces in turn, `path`
// taken relative to the folder `dir` when one is given (a bulk export opens the folder once
// for many files): 0, or the errno of the failure.
int TryWriteWholeFile(const char* path, std::span<const std::span<const uint8_t>> pieces,
                      const FileHandle* dir = nullptr);

// A file written piece by piece as WriteWholeFile writes one whole: into a temporary file
// beside `path`, renamed over it by Commit. Until Commit succeeds `path` is as it was; an
// object that goes without a Commit takes its temporary file along. For files too large to
// hold in memory (an archive being packed). Every failure throws Except "can't write <file>:
// <reason>" with the name in code page 936.
class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Appends at the end of what was written.
    void Write(std::span<const uint8_t> bytes);
    // Writes over bytes written before, at `offset` from the start.
    void WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
    // Closes the temporary file and renames it over `path`.
    void Commit();
    const std::string& Path() const { return m_path; }

private:
    [[noreturn]] void Fail(int error) const;

    std::string m_path;
    std::string m_temporary;
    FileHandle m_file;
};

}  // namespace Base
