#include "platform/runtime/regular_file.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace rtl {

void FileDescriptor::reset() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

OpenedForReading openForReading(const QString& path) {
    OpenedForReading opened;
    const QByteArray local = QFile::encodeName(path);
    int fd = -1;
    do fd = ::open(local.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        opened.error = errno;
        return opened;
    }
    opened.fd = FileDescriptor(fd);
    if (::fstat(fd, &opened.status) != 0) {
        opened.error = errno;
        return opened;
    }
    if (S_ISREG(opened.status.st_mode)) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) opened.error = errno;
    }
    return opened;
}

std::optional<QByteArray> readAtMost(int fd, qint64 most) {
    QByteArray data;
    char buf[65536];
    while (data.size() < most) {
        const auto want = static_cast<std::size_t>(std::min<qint64>(sizeof buf, most - data.size()));
        const ssize_t n = ::read(fd, buf, want);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        data.append(buf, n);
    }
    return data;
}

}  // namespace rtl
