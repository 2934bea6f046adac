#include "platform/registry/hive_file.h"

#include "platform/registry/registry_exception.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace reg {

namespace {

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// A file descriptor closed on every road out.
class Fd {
public:
    explicit Fd(int fd = -1) noexcept : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const noexcept { return fd_; }
    int release() noexcept { return std::exchange(fd_, -1); }
    void reset() noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// Holds an exclusive flock on the lock file while it lives.
class ExclusiveLock {
public:
    explicit ExclusiveLock(const QString& lockPath) {
        const QByteArray p = QFile::encodeName(lockPath);
        fd_ = Fd(::open(p.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (fd_.get() < 0) {
            throw ERegistryException(QStringLiteral("No se pudo crear el archivo de bloqueo %1: %2")
                                         .arg(lockPath, errnoText(errno)));
        }
        while (::flock(fd_.get(), LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            throw ERegistryException(QStringLiteral("No se pudo bloquear el archivo %1: %2")
                                         .arg(lockPath, errnoText(errno)));
        }
    }
    // Closing the descriptor releases the lock.

private:
    Fd fd_;
};

void ensureDirectory(const QString& dir) {
    if (QFileInfo(dir).isDir()) return;
    const QString parent = QFileInfo(dir).absolutePath();
    if (!QFileInfo(parent).isDir() && !QDir().mkpath(parent)) {
        throw ERegistryException(QStringLiteral("No se pudo crear la carpeta %1").arg(parent));
    }
    // Only its user reads the settings.
    if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST) {
        throw ERegistryException(
            QStringLiteral("No se pudo crear la carpeta %1: %2").arg(dir, errnoText(errno)));
    }
}

bool writeAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Writes `data` to a new file beside `path` and renames it over `path`.
void replaceAtomically(const QString& path, const QByteArray& data) {
    const QString dir = QFileInfo(path).absolutePath();
    ensureDirectory(dir);
    QByteArray tmpl = QFile::encodeName(path) + ".XXXXXX";
    // mkstemp creates the file with mode 0600.
    Fd fd(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        throw ERegistryException(QStringLiteral("No se pudo guardar la configuración del usuario en %1: %2")
                                     .arg(path, errnoText(errno)));
    }
    const auto fail = [&](int err) {
        ::unlink(tmpl.constData());
        throw ERegistryException(QStringLiteral("No se pudo guardar la configuración del usuario en %1: %2")
                                     .arg(path, errnoText(err)));
    };
    if (!writeAll(fd.get(), data) || ::fsync(fd.get()) != 0) fail(errno);
    if (::close(fd.release()) != 0) fail(errno);
    if (::rename(tmpl.constData(), QFile::encodeName(path).constData()) != 0) fail(errno);
    // Make the rename itself durable.
    Fd dirFd(::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());
}

}  // namespace

QString userHivePath() {
    QString base = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        QString home = QString::fromLocal8Bit(qgetenv("HOME"));
        if (home.isEmpty()) {
            if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
                home = QString::fromLocal8Bit(pw->pw_dir);
        }
        base = home + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/vexalon/registry.reg");
}

HiveFile::HiveFile(QString path) : path_(std::move(path)) {}

Hive HiveFile::read() const {
    QFile f(path_);
    if (!f.exists()) return Hive();
    if (!f.open(QIODevice::ReadOnly)) {
        throw ERegistryException(QStringLiteral("No se pudo leer la configuración del usuario en %1: %2")
                                     .arg(path_, f.errorString()));
    }
    const QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        throw ERegistryException(QStringLiteral("No se pudo leer la configuración del usuario en %1: %2")
                                     .arg(path_, f.errorString()));
    }
    return Hive::parse(data, path_);
}

void HiveFile::update(const std::function<bool(Hive&)>& change) const {
    ensureDirectory(QFileInfo(path_).absolutePath());
    const ExclusiveLock lock(path_ + QStringLiteral(".lock"));
    Hive hive = read();
    if (!change(hive)) return;
    replaceAtomically(path_, hive.serialize());
}

}  // namespace reg
