// Settings files and folders that refuse to be read or written, made so that
// the fault holds when the tests run as root too (root passes permission
// bits, so those cases only count for other users).
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vextest {

enum class Unwritable {
    LockIsAFolder,    // the lock file cannot be made: a folder holds its name
    ImmutableFolder,  // chattr +i: refused to root as well (needs CAP_LINUX_IMMUTABLE and ext4 or alike)
    ReadOnlyFolder,   // mode 0500: refused to other users only
};

inline const char* nameOf(Unwritable u) {
    switch (u) {
        case Unwritable::LockIsAFolder: return "lock file is a folder";
        case Unwritable::ImmutableFolder: return "immutable folder";
        case Unwritable::ReadOnlyFolder: return "read-only folder";
    }
    return "?";
}

// Makes the folder of `hivePath` refuse writes while it lives; applied() is
// false where this machine or user cannot show the fault.
class UnwritableFolder {
public:
    UnwritableFolder(const QString& hivePath, Unwritable how) : how_(how) {
        folder_ = QFileInfo(hivePath).absolutePath();
        lock_ = hivePath + QStringLiteral(".lock");
        switch (how) {
            case Unwritable::LockIsAFolder:
                QFile::remove(lock_);
                applied_ = QDir().mkdir(lock_);
                break;
            case Unwritable::ImmutableFolder: applied_ = setImmutable(true); break;
            case Unwritable::ReadOnlyFolder:
                applied_ = ::geteuid() != 0 && ::chmod(QFile::encodeName(folder_).constData(), 0500) == 0;
                break;
        }
    }
    ~UnwritableFolder() {
        if (!applied_) return;
        switch (how_) {
            case Unwritable::LockIsAFolder: QDir().rmdir(lock_); break;
            case Unwritable::ImmutableFolder: setImmutable(false); break;
            case Unwritable::ReadOnlyFolder: ::chmod(QFile::encodeName(folder_).constData(), 0700); break;
        }
    }
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;

    bool applied() const { return applied_; }

private:
    bool setImmutable(bool on) const {
        const int fd = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }

    Unwritable how_;
    QString folder_;
    QString lock_;
    bool applied_ = false;
};

enum class Unreadable {
    FolderInItsPlace,  // a folder where the file belongs
    Fifo,              // a named pipe, which must not hang the reader
    NoPermission,      // mode 0000: refused to other users only
};

inline const char* nameOf(Unreadable u) {
    switch (u) {
        case Unreadable::FolderInItsPlace: return "folder in its place";
        case Unreadable::Fifo: return "named pipe";
        case Unreadable::NoPermission: return "no read permission";
    }
    return "?";
}

// Turns the (existing or missing) hive file into one that cannot be read;
// false where this user cannot show the fault.
inline bool makeUnreadable(const QString& hivePath, Unreadable how) {
    const QByteArray p = QFile::encodeName(hivePath);
    QDir().mkpath(QFileInfo(hivePath).absolutePath());
    switch (how) {
        case Unreadable::FolderInItsPlace:
            QFile::remove(hivePath);
            return QDir().mkdir(hivePath);
        case Unreadable::Fifo:
            QFile::remove(hivePath);
            return ::mkfifo(p.constData(), 0600) == 0;
        case Unreadable::NoPermission:
            if (::geteuid() == 0) return false;
            if (!QFile::exists(hivePath)) {
                QFile f(hivePath);
                if (!f.open(QIODevice::WriteOnly)) return false;
                f.write("VEXALON REGISTRY Version 1\n");
            }
            return ::chmod(p.constData(), 0) == 0;
    }
    return false;
}

}  // namespace vextest
