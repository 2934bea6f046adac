#include "platform/spreadsheet/xls/compound_file.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>

namespace xl {
namespace {

constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();
constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

std::uint32_t u32At(const char* p) { return qFromLittleEndian<std::uint32_t>(p); }
std::uint16_t u16At(const char* p) { return qFromLittleEndian<std::uint16_t>(p); }

[[noreturn]] void fail(const char* reason) { throw CompoundFileError(QString::fromUtf8(reason)); }

}  // namespace

bool CompoundFile::hasSignature(const QByteArray& bytes) {
    return bytes.size() >= 8 && std::memcmp(bytes.constData(), kSignature, 8) == 0;
}

CompoundFile::CompoundFile(const QByteArray& bytes)
    : bytes_(&bytes), size_(static_cast<std::uint64_t>(bytes.size())),
      source_([&bytes](std::uint64_t offset, char* out, std::size_t size) -> std::size_t {
          const auto total = static_cast<std::uint64_t>(bytes.size());
          if (offset >= total) return 0;
          const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, total - offset));
          std::memcpy(out, bytes.constData() + offset, n);
          return n;
      }) {
    load();
}

CompoundFile::CompoundFile(std::uint64_t size, Source source) : size_(size), source_(std::move(source)) { load(); }

void CompoundFile::load() {
    char h[512];
    if (size_ < 512 || source_(0, h, sizeof h) != sizeof h || std::memcmp(h, kSignature, 8) != 0)
        fail("es demasiado corto o no tiene el encabezado de un documento de Office");
    // The format fixes these fields. Believing another value would read other
    // bytes than every other program does: a mini-stream cutoff of 0 or 2^31
    // turns the same sectors into a different workbook.
    const std::uint16_t version = u16At(h + 0x1A);
    const std::uint16_t sectorShift = u16At(h + 0x1E);
    const std::uint16_t miniShift = u16At(h + 0x20);
    if (version != 3 && version != 4) fail("su encabezado declara una versión de documento de Office no válida");
    if (sectorShift != (version == 3 ? 9 : 12)) fail("su encabezado declara un tamaño de sector no válido");
    if (miniShift != 6) fail("su encabezado declara un tamaño de sector pequeño no válido");
    if (u32At(h + 0x38) != kMiniStreamCutoff) fail("su encabezado declara un límite de flujo pequeño no válido");
    sectorSize_ = 1u << sectorShift;
    miniSectorSize_ = 1u << miniShift;
    // The header fills sector -1; a partial last sector still counts. The
    // file size cap keeps the count far below 2^32.
    const std::uint64_t sectors = size_ > sectorSize_ ? (size_ - sectorSize_ + sectorSize_ - 1) / sectorSize_ : 0;
    if (sectors >= kEndOfChain) fail("es demasiado grande para un documento de Office");
    sectorCount_ = static_cast<std::uint32_t>(sectors);
    scratch_.resize(sectorSize_);
    firstDirSector_ = u32At(h + 0x30);
    firstMiniFatSector_ = u32At(h + 0x3C);
    miniFatSectors_ = u32At(h + 0x40);
    loadFat(h);
    loadDirectory();
    loadMiniStreamChain();
    collectRootChildren();
}

const char* CompoundFile::sector(std::uint32_t index, std::size_t& available) const {
    if (index >= sectorCount_) return nullptr;
    const std::uint64_t offset = (static_cast<std::uint64_t>(index) + 1) * sectorSize_;
    available = static_cast<std::size_t>(std::min<std::uint64_t>(sectorSize_, size_ - offset));
    if (bytes_ != nullptr) return bytes_->constData() + offset;
    readExactly(offset, scratch_.data(), available, "el archivo");
    return scratch_.data();
}

void CompoundFile::readExactly(std::uint64_t offset, char* out, std::size_t size, const char* what) const {
    if (source_(offset, out, size) != size)
        throw CompoundFileError(QStringLiteral("%1 está cortado").arg(QString::fromUtf8(what)));
}

void CompoundFile::loadFat(const char* h) {
    const std::uint32_t fatSectors = u32At(h + 0x2C);
    if (fatSectors > sectorCount_) fail("declara más sectores de asignación de los que contiene");
    std::vector<std::uint32_t> fatList;
    fatList.reserve(fatSectors);
    for (std::uint32_t i = 0; i < 109 && fatList.size() < fatSectors; ++i)
        fatList.push_back(u32At(h + 0x4C + 4 * i));

    // The rest of the list lives in a chain of extension sectors, each ending
    // with the index of the next one.
    std::uint32_t difat = u32At(h + 0x44);
    std::vector<bool> seen(sectorCount_, false);
    const std::uint32_t perSector = sectorSize_ / 4 - 1;
    while (fatList.size() < fatSectors) {
        if (difat >= sectorCount_) fail("la lista de sectores de asignación apunta fuera del archivo");
        if (seen[difat]) fail("la lista de sectores de asignación forma un ciclo");
        seen[difat] = true;
        std::size_t available = 0;
        const char* s = sector(difat, available);
        if (available < sectorSize_) fail("la lista de sectores de asignación está incompleta");
        for (std::uint32_t i = 0; i < perSector && fatList.size() < fatSectors; ++i)
            fatList.push_back(u32At(s + 4 * i));
        difat = u32At(s + 4 * perSector);
    }

    fat_.assign(static_cast<std::size_t>(fatSectors) * (sectorSize_ / 4), kFreeSect);
    std::size_t pos = 0;
    for (const std::uint32_t idx : fatList) {
        std::size_t available = 0;
        const char* s = sector(idx, available);
        if (!s) fail("la tabla de asignación de sectores apunta fuera del archivo");
        for (std::size_t i = 0; i + 4 <= available; i += 4) fat_[pos + i / 4] = u32At(s + i);
        pos += sectorSize_ / 4;
    }
}

std::vector<std::uint32_t> CompoundFile::chain(const std::vector<std::uint32_t>& table, std::uint32_t start,
                                               std::size_t needed, std::size_t limit,
                                               const char* what) const {
    std::vector<std::uint32_t> out;
    std::vector<bool> seen(limit, false);
    std::uint32_t cur = start;
    while (out.size() < needed) {
        if (cur == kEndOfChain) {
            if (needed == kUnbounded) break;
            throw CompoundFileError(QStringLiteral("la cadena de sectores de %1 termina antes de tiempo")
                                        .arg(QString::fromUtf8(what)));
        }
        if (cur >= limit || cur >= table.size())
            throw CompoundFileError(QStringLiteral("la cadena de sectores de %1 apunta fuera del archivo")
                                        .arg(QString::fromUtf8(what)));
        if (seen[cur])
            throw CompoundFileError(
                QStringLiteral("la cadena de sectores de %1 forma un ciclo").arg(QString::fromUtf8(what)));
        seen[cur] = true;
        out.push_back(cur);
        cur = table[cur];
    }
    return out;
}

QByteArray CompoundFile::readRegular(std::uint32_t start, std::uint64_t size, const char* what) const {
    if (size > static_cast<std::uint64_t>(sectorCount_) * sectorSize_)
        throw CompoundFileError(
            QStringLiteral("%1 declara un tamaño mayor que el archivo").arg(QString::fromUtf8(what)));
    QByteArray out;
    if (size == 0) return out;
    const std::size_t needed = static_cast<std::size_t>((size + sectorSize_ - 1) / sectorSize_);
    const auto sectors = chain(fat_, start, needed, sectorCount_, what);
    // Writers lay a stream out in consecutive sectors as a rule: then a
    // stream in memory is the input's own bytes, without a copy.
    bool consecutive = true;
    for (std::size_t i = 1; i < sectors.size() && consecutive; ++i) consecutive = sectors[i] == sectors[0] + i;
    const std::uint64_t first = (static_cast<std::uint64_t>(sectors[0]) + 1) * sectorSize_;
    if (bytes_ != nullptr && consecutive && first + size <= size_)
        return QByteArray::fromRawData(bytes_->constData() + first, static_cast<qsizetype>(size));
    // Otherwise the stream is gathered run by run of consecutive sectors,
    // each read once, straight into its place.
    out.resize(static_cast<qsizetype>(size));
    std::size_t pos = 0;
    for (std::size_t i = 0; i < sectors.size();) {
        std::size_t j = i + 1;
        while (j < sectors.size() && sectors[j] == sectors[j - 1] + 1) ++j;
        const std::size_t take = std::min<std::size_t>((j - i) * sectorSize_, static_cast<std::size_t>(size) - pos);
        readExactly((static_cast<std::uint64_t>(sectors[i]) + 1) * sectorSize_, out.data() + pos, take, what);
        pos += take;
        i = j;
    }
    return out;
}

void CompoundFile::loadDirectory() {
    const auto sectors = chain(fat_, firstDirSector_, kUnbounded, sectorCount_, "el directorio");
    const std::uint32_t perSector = sectorSize_ / 128;
    entries_.reserve(sectors.size() * perSector);
    for (const std::uint32_t idx : sectors) {
        std::size_t available = 0;
        const char* s = sector(idx, available);
        for (std::uint32_t k = 0; k < perSector && (k + 1) * 128 <= available; ++k) {
            const char* e = s + k * 128;
            Entry entry;
            const std::uint16_t nameBytes = std::min<std::uint16_t>(u16At(e + 64), 64);
            entry.nameLength = static_cast<std::uint8_t>(nameBytes >= 2 ? nameBytes / 2 - 1 : 0);
            for (int i = 0; i < entry.nameLength; ++i) entry.name[static_cast<std::size_t>(i)] = u16At(e + 2 * i);
            entry.type = static_cast<std::uint8_t>(e[66]);
            entry.left = u32At(e + 68);
            entry.right = u32At(e + 72);
            entry.child = u32At(e + 76);
            entry.start = u32At(e + 116);
            entry.size = qFromLittleEndian<std::uint64_t>(e + 120);
            // Version 3 files may leave garbage in the high half of the size.
            if (sectorSize_ == 512) entry.size &= 0xFFFFFFFFu;
            entries_.push_back(std::move(entry));
        }
    }
    if (entries_.empty() || entries_[0].type != 5) fail("no tiene la entrada raíz de su directorio");
}

// Only the chain of the mini stream is kept: a small stream is read from
// its sectors when asked for, so the mini stream is never held whole.
void CompoundFile::loadMiniStreamChain() {
    const Entry& root = entries_[0];
    const char* what = "el flujo de sectores pequeños";
    if (root.size > static_cast<std::uint64_t>(sectorCount_) * sectorSize_)
        throw CompoundFileError(QStringLiteral("%1 declara un tamaño mayor que el archivo").arg(QString::fromUtf8(what)));
    if (root.size == 0) return;
    miniStreamSize_ = root.size;
    miniStreamSectors_ = chain(fat_, root.start, static_cast<std::size_t>((root.size + sectorSize_ - 1) / sectorSize_),
                               sectorCount_, what);
    // Its last sector must hold what the size says.
    const std::uint64_t tail = root.size - (miniStreamSectors_.size() - 1) * std::uint64_t{sectorSize_};
    if ((static_cast<std::uint64_t>(miniStreamSectors_.back()) + 1) * sectorSize_ + tail > size_)
        throw CompoundFileError(QStringLiteral("%1 está cortado").arg(QString::fromUtf8(what)));
    const auto sectors = chain(fat_, firstMiniFatSector_, kUnbounded, sectorCount_,
                               "la tabla de sectores pequeños");
    miniFat_.reserve(sectors.size() * (sectorSize_ / 4));
    for (const std::uint32_t idx : sectors) {
        std::size_t got = 0;
        const char* s = sector(idx, got);
        for (std::size_t i = 0; i + 4 <= got; i += 4) miniFat_.push_back(u32At(s + i));
    }
}

void CompoundFile::collectRootChildren() {
    std::vector<bool> seen(entries_.size(), false);
    std::vector<std::uint32_t> pending{entries_[0].child};
    seen[0] = true;
    while (!pending.empty()) {
        const std::uint32_t idx = pending.back();
        pending.pop_back();
        if (idx == kNoStream) continue;
        if (idx >= entries_.size()) fail("su directorio apunta a una entrada que no existe");
        if (seen[idx]) fail("su directorio forma un ciclo");
        seen[idx] = true;
        const Entry& e = entries_[idx];
        if (e.type == 1 || e.type == 2) rootChildren_.push_back(idx);
        pending.push_back(e.right);
        pending.push_back(e.left);
    }
    std::sort(rootChildren_.begin(), rootChildren_.end());
}

std::vector<QString> CompoundFile::rootStreamNames() const {
    std::vector<QString> names;
    for (const std::uint32_t idx : rootChildren_)
        if (entries_[idx].type == 2) names.push_back(nameOf(entries_[idx]));
    return names;
}

QString CompoundFile::nameOf(const Entry& e) {
    return QString(reinterpret_cast<const QChar*>(e.name.data()), e.nameLength);
}

const CompoundFile::Entry* CompoundFile::findRoot(const QString& name) const {
    // Names are unique within a storage; of two entries with one name some
    // readers would take one and some the other.
    const Entry* found = nullptr;
    for (const std::uint32_t idx : rootChildren_) {
        if (nameOf(entries_[idx]).compare(name, Qt::CaseInsensitive) != 0) continue;
        if (found != nullptr)
            throw CompoundFileError(QStringLiteral("su directorio tiene dos entradas con el nombre «%1»").arg(name));
        found = &entries_[idx];
    }
    return found;
}

bool CompoundFile::hasRootEntry(const QString& name) const { return findRoot(name) != nullptr; }

QByteArray CompoundFile::readRootStream(const QString& name) const {
    const Entry* e = findRoot(name);
    if (!e || e->type != 2) throw CompoundFileError(QStringLiteral("no contiene el flujo %1").arg(name));
    if (e->size >= kMiniStreamCutoff) return readRegular(e->start, e->size, "un flujo");

    const std::uint64_t miniSize = miniStreamSize_;
    if (e->size > miniSize) fail("un flujo pequeño declara un tamaño mayor que el archivo");
    QByteArray out;
    if (e->size == 0) return out;
    const std::size_t needed = static_cast<std::size_t>((e->size + miniSectorSize_ - 1) / miniSectorSize_);
    const std::size_t limit = static_cast<std::size_t>((miniSize + miniSectorSize_ - 1) / miniSectorSize_);
    const auto sectors = chain(miniFat_, e->start, needed, limit, "un flujo pequeño");
    out.resize(static_cast<qsizetype>(e->size));
    std::size_t pos = 0;
    for (const std::uint32_t idx : sectors) {
        // A mini sector lies inside one regular sector of the mini stream.
        const std::uint64_t offset = static_cast<std::uint64_t>(idx) * miniSectorSize_;
        const std::size_t take = std::min<std::size_t>(miniSectorSize_, static_cast<std::size_t>(e->size) - pos);
        if (offset + take > miniSize) fail("un flujo pequeño está cortado");
        const std::uint32_t regular = miniStreamSectors_[static_cast<std::size_t>(offset / sectorSize_)];
        readExactly((static_cast<std::uint64_t>(regular) + 1) * sectorSize_ + offset % sectorSize_, out.data() + pos,
                    take, "un flujo pequeño");
        pos += take;
    }
    return out;
}

}  // namespace xl
