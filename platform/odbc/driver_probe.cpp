#include "platform/odbc/driver_probe.h"

#include <odbcinst.h>

#include <QByteArray>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <dlfcn.h>
#include <link.h>

#include <vector>

namespace odbc {

namespace {

// SQLSetConfigMode is process-wide state: one reader at a time.
QMutex& configMutex() {
    static QMutex m;
    return m;
}

// Keys and values of a connection string, keys upper-cased (a-z only);
// braced values unwrapped with "}}" read as "}".
QHash<QString, QString> parseConnectionString(const QString& cs) {
    QHash<QString, QString> out;
    qsizetype i = 0;
    const qsizetype n = cs.size();
    while (i < n) {
        const qsizetype eq = cs.indexOf(u'=', i);
        if (eq < 0) break;
        QString key = cs.mid(i, eq - i).trimmed();
        for (QChar& c : key)
            if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - 32);
        qsizetype j = eq + 1;
        QString value;
        if (j < n && cs[j] == u'{') {
            ++j;
            while (j < n) {
                if (cs[j] == u'}') {
                    if (j + 1 < n && cs[j + 1] == u'}') {
                        value += u'}';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += cs[j++];
            }
            while (j < n && cs[j] != u';') ++j;
        } else {
            const qsizetype semi = cs.indexOf(u';', j);
            const qsizetype end = semi < 0 ? n : semi;
            value = cs.mid(j, end - j).trimmed();
            j = end;
        }
        if (!out.contains(key)) out.insert(key, value);
        i = j + 1;
    }
    return out;
}

// A driver name of odbcinst.ini, or a library path, as a library path.
QString libraryOf(const QString& driver) {
    if (driver.isEmpty()) return QString();
    if (driver.startsWith(u'/')) return driver;
    return profileString(ODBC_BOTH_DSN, driver, QStringLiteral("Driver"), "odbcinst.ini");
}

DriverProbe inspectLibrary(const QString& path) {
    static QMutex mutex;
    static QHash<QString, DriverProbe> cache;
    QMutexLocker lock(&mutex);
    if (auto it = cache.constFind(path); it != cache.constEnd()) return *it;
    DriverProbe result = DriverProbe::Unknown;
    const QByteArray p = QFile::encodeName(path);
    if (void* h = dlopen(p.constData(), RTLD_LAZY | RTLD_LOCAL)) {
        result = dlsym(h, "SQLExecDirectW") ? DriverProbe::Wide : DriverProbe::Narrow;
        dlclose(h);
    }
    if (result != DriverProbe::Unknown) cache.insert(path, result);
    return result;
}

}  // namespace

QString profileString(unsigned short mode, const QString& section, const QString& key, const char* file,
                      bool* present) {
    QMutexLocker lock(&configMutex());
    const QByteArray s = section.toUtf8();
    const QByteArray k = key.toUtf8();
    // unixODBC keeps answers for 20 s, keyed by file, mode, section, key and
    // default value: a default never asked before always reads the file.
    static quint64 calls = 0;
    const QByteArray absent = "\x01" "absent-" + QByteArray::number(++calls);
    std::vector<char> buf(4096, 0);
    SQLSetConfigMode(mode);
    const int n = SQLGetPrivateProfileString(s.constData(), k.constData(), absent.constData(), buf.data(),
                                             static_cast<int>(buf.size()), file);
    SQLSetConfigMode(ODBC_BOTH_DSN);
    const QByteArray value =
        n < 0 ? absent : QByteArray(buf.data(), static_cast<qsizetype>(qstrnlen(buf.data(), buf.size())));
    if (present) *present = value != absent;
    if (value == absent) return QString();
    return QString::fromUtf8(value).trimmed();
}

ResolvedDriver resolveDriver(const QString& connectionString) {
    const auto keys = parseConnectionString(connectionString);
    ResolvedDriver r;
    QString driver = keys.value(QStringLiteral("DRIVER"));
    if (driver.isEmpty()) {
        const QString dsn = keys.value(QStringLiteral("DSN"));
        if (dsn.isEmpty()) return r;
        // The driver manager looks in the user list first, then the system one.
        driver = profileString(ODBC_USER_DSN, dsn, QStringLiteral("Driver"), "odbc.ini");
        if (driver.isEmpty()) driver = profileString(ODBC_SYSTEM_DSN, dsn, QStringLiteral("Driver"), "odbc.ini");
        r.viaDataSource = true;
    }
    r.library = libraryOf(driver);
    if (!r.library.isEmpty()) r.probe = inspectLibrary(r.library);
    return r;
}

bool driverLibraryIsNarrow(const QString& driverFileName) {
    if (driverFileName.isEmpty()) return false;
    struct Search {
        QByteArray wanted;
        QByteArray found;
    } search{QFile::encodeName(driverFileName), {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            if (!info->dlpi_name || !*info->dlpi_name) return 0;
            const QByteArray name(info->dlpi_name);
            const qsizetype slash = name.lastIndexOf('/');
            if (name.mid(slash + 1) == s->wanted) {
                s->found = name;
                return 1;
            }
            return 0;
        },
        &search);
    if (search.found.isEmpty()) return false;
    return inspectLibrary(QFile::decodeName(search.found)) == DriverProbe::Narrow;
}

}  // namespace odbc
