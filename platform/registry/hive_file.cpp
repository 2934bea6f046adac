#include "platform/registry/hive_file.h"

#include "platform/registry/registry_exception.h"
#include "platform/runtime/regular_file.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <algorithm>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace reg {

namespace {

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

QString unreadableText(const QString& path, const QString& why) {
    return QStringLiteral("No se pudo leer la configuración del usuario en %1: %2").arg(path, why);
}

// Holds an exclusive flock on the lock file while it lives. Waits at most
// `wait` for another holder, so a program that hangs while holding the lock
// cannot hang everyone else's start-up.
class ExclusiveLock {
public:
    ExclusiveLock(const QString& lockPath, std::chrono::milliseconds wait) {
        const QByteArray p = QFile::encodeName(lockPath);
        fd_ = rtl::FileDescriptor(::open(p.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        if (fd_.get() < 0) {
            throw EHiveUnwritable(QStringLiteral("No se pudo crear el archivo de bloqueo %1: %2")
                                         .arg(lockPath, errnoText(errno)));
        }
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK) {
                throw EHiveUnwritable(QStringLiteral("No se pudo bloquear el archivo %1: %2")
                                             .arg(lockPath, errnoText(errno)));
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                throw ERegistryException(
                    QStringLiteral("No se pudo bloquear el archivo %1: sigue tomado por otro programa "
                                   "tras %2 segundos de espera; no se guardó la configuración del "
                                   "usuario. Cierre los demás programas de Vexalon y vuelva a intentarlo.")
                        .arg(lockPath)
                        .arg(std::chrono::duration<double>(wait).count()));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    // Closing the descriptor releases the lock.

private:
    rtl::FileDescriptor fd_;
};

// The file a symbolic link finally points to (the path itself when it is no
// link). A dangling link gives the path it would create.
QString linkTarget(const QString& path) {
    QByteArray p = QFile::encodeName(path);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st{};
        if (::lstat(p.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return QFile::decodeName(p);
        std::vector<char> buf(PATH_MAX + 1);
        const ssize_t n = ::readlink(p.constData(), buf.data(), buf.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buf.size()) break;
        QByteArray next(buf.data(), n);
        if (!next.startsWith('/')) {
            const qsizetype slash = p.lastIndexOf('/');
            next.prepend(slash >= 0 ? p.left(slash + 1) : QByteArray());
        }
        p = next;
    }
    throw EHiveUnwritable(QStringLiteral("No se pudo seguir el enlace simbólico %1: hay demasiados enlaces encadenados o "
                                            "uno no se puede leer")
                                 .arg(path));
}

QString lockPathOf(const QString& target) { return target + QStringLiteral(".lock"); }

QByteArray tempTemplateOf(const QString& target) { return QFile::encodeName(target) + ".tmp-XXXXXX"; }

// Temporary files of a writer that died before its rename. Called under the
// lock, when no other writer can have one open.
void removeStaleTemporaries(const QString& target) {
    const QFileInfo fi(target);
    const QDir dir = fi.absoluteDir();
    const QString prefix = fi.fileName() + QStringLiteral(".tmp-");
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!name.startsWith(prefix) || name.size() != prefix.size() + 6) continue;
        const QByteArray p = QFile::encodeName(dir.filePath(name));
        struct stat st{};
        if (::lstat(p.constData(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(p.constData());
    }
}

void ensureDirectory(const QString& dir) {
    if (QFileInfo(dir).isDir()) return;
    const QString parent = QFileInfo(dir).absolutePath();
    if (!QFileInfo(parent).isDir() && !QDir().mkpath(parent)) {
        throw EHiveUnwritable(QStringLiteral("No se pudo crear la carpeta %1").arg(parent));
    }
    // Only its user reads the settings.
    if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST) {
        throw EHiveUnwritable(QStringLiteral("No se pudo crear la carpeta %1: %2").arg(dir, errnoText(errno)));
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

// Writes `data` to a new file beside `target` and renames it over `target`.
void replaceAtomically(const QString& target, const QByteArray& data) {
    const QString dir = QFileInfo(target).absolutePath();
    QByteArray tmpl = tempTemplateOf(target);
    // mkstemp creates the file with mode 0600.
    rtl::FileDescriptor fd(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        throw EHiveUnwritable(QStringLiteral("No se pudo guardar la configuración del usuario en %1: %2")
                                     .arg(target, errnoText(errno)));
    }
    const auto fail = [&](int err) {
        ::unlink(tmpl.constData());
        throw EHiveUnwritable(QStringLiteral("No se pudo guardar la configuración del usuario en %1: %2")
                                     .arg(target, errnoText(err)));
    };
    if (!writeAll(fd.get(), data) || ::fsync(fd.get()) != 0) fail(errno);
    if (::close(fd.release()) != 0) fail(errno);
    if (::rename(tmpl.constData(), QFile::encodeName(target).constData()) != 0) fail(errno);
    // Make the rename itself durable.
    rtl::FileDescriptor dirFd(::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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

HiveFile::HiveFile(QString path, std::chrono::milliseconds lockWait)
    : path_(std::move(path)), lockWait_(lockWait) {}

namespace {

// The file's bytes, or nullopt when there is no file (or no folder). Reads
// at most one byte past the size the parser takes, which is enough for it to
// refuse a longer file naming the line where it passes the bound.
std::optional<QByteArray> readBytes(const QString& path) {
    const rtl::OpenedForReading file = rtl::openForReading(path);
    if (file.error == ENOENT || file.error == ENOTDIR) return std::nullopt;
    if (file.error != 0) throw EHiveUnreadable(unreadableText(path, errnoText(file.error)));
    if (!file.isRegular()) throw EHiveUnreadable(unreadableText(path, QStringLiteral("no es un archivo común")));
    std::optional<QByteArray> data = rtl::readAtMost(file.fd.get(), kMaxFileBytes + 1);
    if (!data) throw EHiveUnreadable(unreadableText(path, errnoText(errno)));
    return data;
}

// The last text parsed or written, with its hive. The hive is made
// modifiable so that a change can take it over when nobody else holds it.
struct ParsedCache {
    std::mutex mutex;
    QString path;
    QByteArray text;
    std::shared_ptr<Hive> hive;
};

ParsedCache& parsedCache() {
    static ParsedCache cache;
    return cache;
}

// Runs `step` so that only the registry's own exceptions leave it: memory
// running out, or a container refusing to grow, become a clear message.
template <typename Step>
auto registryErrorsOnly(const QString& path, Step&& step) {
    try {
        return step();
    } catch (const ERegistryException&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ERegistryException(
            QStringLiteral("No hay memoria suficiente para leer o guardar la configuración del usuario en %1; "
                           "el archivo no se modificó.")
                .arg(path));
    } catch (const std::exception& e) {
        throw ERegistryException(QStringLiteral("No se pudo leer o guardar la configuración del usuario en %1 (%2); "
                                                "el archivo no se modificó.")
                                     .arg(path, QString::fromLocal8Bit(e.what())));
    }
}

}  // namespace

Hive HiveFile::read() const {
    return registryErrorsOnly(path_, [this] { return Hive(*load()); });
}

std::shared_ptr<const Hive> HiveFile::load() const {
    return registryErrorsOnly(path_, [this]() -> std::shared_ptr<const Hive> {
        const std::optional<QByteArray> text = readBytes(path_);
        if (!text) return std::make_shared<const Hive>();
        ParsedCache& cache = parsedCache();
        {
            const std::lock_guard guard(cache.mutex);
            if (cache.hive && cache.path == path_ && cache.text == *text) return cache.hive;
            // Let go of the old hive before the new one is built.
            cache.hive.reset();
            cache.text.clear();
        }
        auto hive = std::make_shared<Hive>(Hive::parse(*text, path_));
        const std::lock_guard guard(cache.mutex);
        cache.path = path_;
        cache.text = *text;
        cache.hive = hive;
        return hive;
    });
}

bool HiveFile::writable() const {
    QString target;
    try {
        target = linkTarget(path_);
    } catch (const ERegistryException&) {
        return false;
    }
    const QByteArray dir = QFile::encodeName(QFileInfo(target).absolutePath());
    struct stat st{};
    if (::stat(dir.constData(), &st) != 0) return errno == ENOENT;  // update() makes the folder
    if (!S_ISDIR(st.st_mode) || ::faccessat(AT_FDCWD, dir.constData(), W_OK | X_OK, AT_EACCESS) != 0) return false;
    const QByteArray lock = QFile::encodeName(lockPathOf(target));
    if (::stat(lock.constData(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode) && ::faccessat(AT_FDCWD, lock.constData(), R_OK | W_OK, AT_EACCESS) == 0;
}

void HiveFile::update(const std::function<bool(Hive&)>& change) const {
    registryErrorsOnly(path_, [&] {
        const QString target = linkTarget(path_);
        ensureDirectory(QFileInfo(target).absolutePath());
        const ExclusiveLock lock(lockPathOf(target), lockWait_);
        removeStaleTemporaries(target);
        const std::optional<QByteArray> before = readBytes(path_);
        // The hive of that text: the one parsed last, taken over when no
        // reader holds it, so that a large file is not held twice.
        ParsedCache& cache = parsedCache();
        std::optional<Hive> hive;
        bool taken = false;
        if (before) {
            const std::lock_guard guard(cache.mutex);
            if (cache.hive && cache.path == path_ && cache.text == *before) {
                taken = cache.hive.use_count() == 1;
                if (taken) {
                    hive.emplace(std::move(*cache.hive));
                    cache.hive.reset();
                    cache.text.clear();
                } else {
                    hive.emplace(*cache.hive);
                }
            }
        }
        if (!hive) hive.emplace(before ? Hive::parse(*before, path_) : Hive());
        if (!change(*hive)) {
            if (taken) {  // unchanged: it is still the hive of that text
                auto same = std::make_shared<Hive>(std::move(*hive));
                const std::lock_guard guard(cache.mutex);
                cache.text = *before;
                cache.hive = std::move(same);
            }
            return;
        }
        const QByteArray text = hive->serialize();
        // A file this program would refuse to read is never written.
        if (text.size() > kMaxFileBytes) {
            throw ERegistryException(
                QStringLiteral("No se guardó la configuración del usuario en %1: el archivo pasaría de %2 MiB, "
                               "el tamaño mayor que se lee.")
                    .arg(target)
                    .arg(kMaxFileBytes >> 20));
        }
        replaceAtomically(target, text);
        // The next reads find the file as written without parsing it again.
        auto written = std::make_shared<Hive>(std::move(*hive));
        const std::lock_guard guard(cache.mutex);
        cache.path = path_;
        cache.text = text;
        cache.hive = std::move(written);
    });
}

}  // namespace reg
