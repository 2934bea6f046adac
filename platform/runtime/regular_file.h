// Opening a file to read it, without waiting on what is not a file.
//
// A plain open() of a FIFO with no writer blocks until one comes, and a
// device can be read forever: whoever reads a file the user names, or one
// a person may have replaced, opens it through openForReading and reads
// what fstat says is a regular file through that one descriptor.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/stat.h>
#include <utility>

namespace rtl {

// A file descriptor closed on every road out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) noexcept : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }
    int get() const noexcept { return fd_; }
    int release() noexcept { return std::exchange(fd_, -1); }
    void reset() noexcept;

private:
    int fd_;
};

// What openForReading found at a path.
struct OpenedForReading {
    FileDescriptor fd;      // open when `error` is 0
    int error = 0;          // errno of the open or fstat that failed
    struct stat status {};  // what fstat said, when `error` is 0
    bool isRegular() const { return error == 0 && S_ISREG(status.st_mode); }
};

// Opens `path` read-only without waiting (O_NONBLOCK: a FIFO without a
// writer answers at once) and without becoming its controlling terminal, and
// takes its status. A regular file is switched back to blocking reads.
// Never throws; a failure is in `error`.
OpenedForReading openForReading(const QString& path);

// The bytes of `fd` from where it stands to its end, at most `most` of them;
// nothing when a read fails (errno says why).
std::optional<QByteArray> readAtMost(int fd, qint64 most);

}  // namespace rtl
