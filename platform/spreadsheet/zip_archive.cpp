#include "platform/spreadsheet/zip_archive.h"

#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <array>
#include <memory>
#include <vector>

namespace xl {

QString readFailure(const QString& fileName, const QString& what) {
    return QStringLiteral("No se puede leer el archivo \"%1\": %2.").arg(fileName, what);
}

namespace {

const QString kDamaged = QStringLiteral("el archivo está dañado o incompleto");

struct ErrorGuard {
    zip_error_t error;
    ErrorGuard() { zip_error_init(&error); }
    ~ErrorGuard() { zip_error_fini(&error); }
    ErrorGuard(const ErrorGuard&) = delete;
    ErrorGuard& operator=(const ErrorGuard&) = delete;
};

struct FileCloser {
    void operator()(zip_file_t* f) const noexcept { zip_fclose(f); }
};

QString partName(const std::string& name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string normalisedPartName(std::string_view name) {
    std::string decoded;
    decoded.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const int high = name[i] == '%' && i + 2 < name.size() ? hexValue(name[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(name[i + 2]) : -1;
        if (low >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += name[i];
        }
    }
    std::vector<std::string_view> segments;
    const std::string_view all(decoded);
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = all.size();
        const std::string_view segment = all.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    out.reserve(decoded.size());
    for (const std::string_view segment : segments) {
        if (!out.empty()) out += '/';
        out += segment;
    }
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

ZipArchive::ZipArchive(const QByteArray& bytes, const QString& fileName, ZipLimits limits)
    : fileName_(fileName), limits_(limits) {
    ErrorGuard err;
    zip_source_t* src = zip_source_buffer_create(bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0, &err.error);
    if (src == nullptr) fail(kDamaged);
    open(src);
}

ZipArchive::ZipArchive(int fd, const QString& fileName, ZipLimits limits) : fileName_(fileName), limits_(limits) {
    const auto cannotRead = [&] {
        fail(QStringLiteral("no se puede leer (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    };
    // libzip closes what it is given; the caller keeps its own descriptor.
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) cannotRead();
    std::FILE* file = ::fdopen(own, "rb");
    if (file == nullptr) {
        const int saved = errno;
        ::close(own);
        errno = saved;
        cannotRead();
    }
    ErrorGuard err;
    zip_source_t* src = zip_source_filep_create(file, 0, -1, &err.error);
    if (src == nullptr) {
        std::fclose(file);
        fail(kDamaged);
    }
    open(src);
}

void ZipArchive::open(zip_source* src) {
    ErrorGuard err;
    // No ZIP_CHECKCONS: it refuses streamed entries (data descriptors) that
    // Apache POI and others write; libzip bounds-checks every read anyway.
    archive_ = zip_open_from_source(src, ZIP_RDONLY, &err.error);
    if (archive_ == nullptr) {
        zip_source_free(src);
        fail(kDamaged);
    }
    try {
        indexParts();
    } catch (...) {
        zip_discard(archive_);
        archive_ = nullptr;
        throw;
    }
}

ZipArchive::~ZipArchive() {
    if (archive_ != nullptr) zip_discard(archive_);
}

ZipArchive::ZipArchive(ZipArchive&& other) noexcept
    : archive_(other.archive_), parts_(std::move(other.parts_)), fileName_(std::move(other.fileName_)), limits_(other.limits_),
      totalRead_(other.totalRead_) {
    other.archive_ = nullptr;
}

void ZipArchive::fail(const QString& what) const { throw ReadError(readFailure(fileName_, what)); }

void ZipArchive::indexParts() {
    // Of two parts with one name some tools read the first and others the
    // last, so what would be imported might not be what the user sees. The
    // names are those lookups see (libzip's reading of the name's encoding).
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    struct Named {
        std::string normalised;
        const char* written;
        zip_uint64_t index;
    };
    std::vector<Named> names;
    names.reserve(static_cast<std::size_t>(std::max<zip_int64_t>(count, 0)));
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* name = zip_get_name(archive_, index, 0);
        if (name == nullptr) continue;
        const std::size_t length = std::strlen(name);
        if (length == 0 || name[length - 1] == '/' || name[length - 1] == '\\') continue;  // a directory
        std::string normalised = normalisedPartName(name);
        if (normalised.empty()) continue;
        names.push_back(Named{std::move(normalised), name, index});
    }
    std::stable_sort(names.begin(), names.end(), [](const Named& a, const Named& b) { return a.normalised < b.normalised; });
    const auto twice = std::adjacent_find(names.begin(), names.end(),
                                          [](const Named& a, const Named& b) { return a.normalised == b.normalised; });
    if (twice != names.end()) {
        const QString first = QString::fromUtf8(twice->written);
        const QString second = QString::fromUtf8(std::next(twice)->written);
        if (first == second) fail(QStringLiteral("el archivo está dañado: tiene dos partes con el nombre «%1»").arg(first));
        fail(QStringLiteral("el archivo está dañado: tiene dos partes con el nombre «%1», escrito también «%2»").arg(first, second));
    }
    parts_.reserve(names.size());
    for (Named& n : names) parts_.emplace_back(std::move(n.normalised), n.index);
}

std::int64_t ZipArchive::locate(const std::string& name) const {
    const std::string key = normalisedPartName(name);
    const auto it = std::lower_bound(parts_.begin(), parts_.end(), key,
                                     [](const auto& part, const std::string& k) { return part.first < k; });
    if (it == parts_.end() || it->first != key) return -1;
    return static_cast<std::int64_t>(it->second);
}

bool ZipArchive::contains(const std::string& name) const { return locate(name) >= 0; }

ZipArchive::DeclaredSizes ZipArchive::declaredSizes(const std::string& name) const {
    const std::int64_t index = locate(name);
    zip_stat_t st;
    zip_stat_init(&st);
    if (index < 0 || zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0) return {};
    DeclaredSizes sizes;
    if (st.valid & ZIP_STAT_SIZE) sizes.inflated = st.size;
    if (st.valid & ZIP_STAT_COMP_SIZE) sizes.compressed = st.comp_size;
    return sizes;
}

void ZipArchive::read(const std::string& name, const Sink& sink) {
    std::array<char, 64 * 1024> chunk;
    readInto(name, chunk.size(), [&chunk] { return chunk.data(); },
             [&](std::size_t n) { sink(chunk.data(), n); });
}

void ZipArchive::readInto(const std::string& name, std::size_t chunk, const std::function<char*()>& buffer,
                          const std::function<void(std::size_t)>& filled) {
    const std::int64_t index = locate(name);
    if (index < 0)
        fail(QStringLiteral("falta la parte «%1»; el archivo está dañado o no es un libro de Excel").arg(partName(name)));
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0) fail(kDamaged);
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
        fail(QStringLiteral("está protegido con contraseña; quite la contraseña y vuelva a guardarlo"));
    const auto tooLarge = [&] {
        fail(QStringLiteral("la parte «%1» ocupa más de %2 MiB al descomprimirla; el archivo es demasiado grande o está manipulado")
                 .arg(partName(name))
                 .arg(limits_.maxPartBytes >> 20));
    };
    const auto tooDense = [&] {
        fail(QStringLiteral("la parte «%1» se descomprime en una proporción anómala (más de %2 a 1), propia de un archivo manipulado")
                 .arg(partName(name))
                 .arg(limits_.maxRatio));
    };
    const auto tooMuch = [&] {
        fail(QStringLiteral("sus partes ocupan más de %1 MiB al descomprimirlas; el archivo es demasiado grande o está manipulado")
                 .arg(limits_.maxTotalBytes >> 20));
    };
    const std::uint64_t compressed = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    const auto ratioBroken = [&](std::uint64_t inflated) {
        return inflated > limits_.ratioGraceBytes && inflated / (compressed == 0 ? 1 : compressed) >= limits_.maxRatio;
    };
    if (st.valid & ZIP_STAT_SIZE) {
        if (st.size > limits_.maxPartBytes) tooLarge();
        if (ratioBroken(st.size)) tooDense();
        if (totalRead_ + st.size > limits_.maxTotalBytes) tooMuch();
    }

    std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0));
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(archive_));
        if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP)
            fail(QStringLiteral("está protegido con contraseña; quite la contraseña y vuelva a guardarlo"));
        fail(kDamaged);
    }
    std::uint64_t inflated = 0;
    for (;;) {
        char* into = buffer();
        const zip_int64_t n = zip_fread(file.get(), into, chunk);
        if (n < 0) fail(kDamaged);
        if (n == 0) break;
        inflated += static_cast<std::uint64_t>(n);
        totalRead_ += static_cast<std::uint64_t>(n);
        if (inflated > limits_.maxPartBytes) tooLarge();
        if (ratioBroken(inflated)) tooDense();
        if (totalRead_ > limits_.maxTotalBytes) tooMuch();
        filled(static_cast<std::size_t>(n));
    }
}

std::string ZipArchive::readAll(const std::string& name) {
    std::string out;
    read(name, [&out](const char* data, std::size_t size) { out.append(data, size); });
    return out;
}

}  // namespace xl
