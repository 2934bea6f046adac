#include "platform/spreadsheet/zip_archive.h"

#include <zip.h>

#include <algorithm>
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

}  // namespace

ZipArchive::ZipArchive(const QByteArray& bytes, const QString& fileName, ZipLimits limits)
    : fileName_(fileName), limits_(limits) {
    ErrorGuard err;
    zip_source_t* src = zip_source_buffer_create(bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0, &err.error);
    if (src == nullptr) fail(kDamaged);
    // No ZIP_CHECKCONS: it refuses streamed entries (data descriptors) that
    // Apache POI and others write; libzip bounds-checks every read anyway.
    archive_ = zip_open_from_source(src, ZIP_RDONLY, &err.error);
    if (archive_ == nullptr) {
        zip_source_free(src);
        fail(kDamaged);
    }
    refuseRepeatedNames();
}

ZipArchive::ZipArchive(const QString& path, ZipLimits limits) : fileName_(path), limits_(limits) {
    ErrorGuard err;
    const QByteArray local = path.toLocal8Bit();
    zip_source_t* src = zip_source_file_create(local.constData(), 0, -1, &err.error);
    if (src == nullptr) fail(QStringLiteral("no se puede abrir"));
    archive_ = zip_open_from_source(src, ZIP_RDONLY, &err.error);
    if (archive_ == nullptr) {
        zip_source_free(src);
        fail(kDamaged);
    }
    refuseRepeatedNames();
}

ZipArchive::~ZipArchive() {
    if (archive_ != nullptr) zip_discard(archive_);
}

ZipArchive::ZipArchive(ZipArchive&& other) noexcept
    : archive_(other.archive_), fileName_(std::move(other.fileName_)), limits_(other.limits_),
      totalRead_(other.totalRead_) {
    other.archive_ = nullptr;
}

void ZipArchive::fail(const QString& what) const { throw ReadError(readFailure(fileName_, what)); }

void ZipArchive::refuseRepeatedNames() {
    // Part names compare without regard to ASCII case; of two parts with one
    // name some tools read the first and others the last, so what would be
    // imported might not be what the user sees.
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    std::vector<std::pair<std::string, const char*>> names;  // folded, as written
    names.reserve(static_cast<std::size_t>(std::max<zip_int64_t>(count, 0)));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (name == nullptr) continue;
        std::string folded(name);
        for (char& c : folded)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        names.emplace_back(std::move(folded), name);
    }
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto twice = std::adjacent_find(names.begin(), names.end(),
                                          [](const auto& a, const auto& b) { return a.first == b.first; });
    if (twice == names.end()) return;
    const QString part = QString::fromUtf8(std::next(twice)->second);
    zip_discard(archive_);
    archive_ = nullptr;
    fail(QStringLiteral("el archivo está dañado: tiene dos partes con el nombre «%1»").arg(part));
}

bool ZipArchive::contains(const std::string& name) const {
    return zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE) >= 0;
}

ZipArchive::DeclaredSizes ZipArchive::declaredSizes(const std::string& name) const {
    const zip_int64_t index = zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE);
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
    const zip_int64_t index = zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE);
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
