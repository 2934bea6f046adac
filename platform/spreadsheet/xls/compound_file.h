// A small, bounded reader of compound documents (the OLE2 container that
// holds .xls workbooks, encrypted .xlsx packages and other Office files).
//
// It parses the header, the sector allocation table (with its extension
// sectors), the directory and the mini stream, and hands out the streams that
// sit directly under the root storage. Every sector chain, size and tree link
// is checked against the bytes actually present, so a hostile file ends in a
// CompoundFileError, never in a hang or a read outside the buffer.
//
// Limits: a chain may not be longer than the number of sectors in the file
// (a longer one loops); a stream's declared size may not exceed what its
// chain can hold; the directory tree is walked with every entry visited at
// most once. Memory stays proportional to the input's size.
//
// The input is either a buffer already in memory or a file read as needed:
// from a file only the tables and the stream asked for are read, each byte
// once, so reading a stream never holds the whole file beside it.
#pragma once

#include "platform/runtime/exception.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace xl {

// What is wrong with a compound document, in Spanish, without the file name
// (the caller adds it).
class CompoundFileError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

class CompoundFile {
public:
    // Copies `size` bytes from `offset` of the input into `out` and returns
    // how many it copied (fewer only past the input's end). Whatever it throws
    // (an I/O error) passes through.
    using Source = std::function<std::size_t(std::uint64_t offset, char* out, std::size_t size)>;

    // The 8 bytes every compound document starts with.
    static bool hasSignature(const QByteArray& bytes);

    // Parses the header, allocation tables and directory of `bytes`, which
    // must outlive this object. Throws CompoundFileError when the container
    // is not well formed.
    explicit CompoundFile(const QByteArray& bytes);
    // The same for an input of `size` bytes read through `source` (a file).
    CompoundFile(std::uint64_t size, Source source);

    // Names of the streams directly under the root storage, in directory order.
    std::vector<QString> rootStreamNames() const;

    // Whether a stream or storage of that name (compared without regard to
    // case, as the format requires) sits directly under the root storage.
    // Two of that name are damage (CompoundFileError), here and in readRootStream.
    bool hasRootEntry(const QString& name) const;

    // The whole content of the root-level stream `name` (case-insensitive),
    // read from the regular sectors or from the mini stream as its size
    // says. From a buffer, a stream in consecutive sectors shares the
    // buffer's memory (so it must not outlive it) and any other is copied;
    // from a source, the stream is read straight into the result. Throws
    // CompoundFileError if there is no such stream or its chain is broken.
    QByteArray readRootStream(const QString& name) const;

private:
    // As stored, name included, so that a directory costs less memory than
    // its sectors in the file.
    struct Entry {
        std::array<char16_t, 31> name{};
        std::uint8_t nameLength = 0;
        std::uint8_t type = 0;  // 1 storage, 2 stream, 5 root
        std::uint32_t left = 0, right = 0, child = 0;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };

    static QString nameOf(const Entry& e);
    void load();
    // Sector `index` (nullptr when past the end), `available` bytes of it
    // present; valid until the next call.
    const char* sector(std::uint32_t index, std::size_t& available) const;
    // Reads `size` bytes at `offset` into `out`; CompoundFileError "<what> está cortado" when short.
    void readExactly(std::uint64_t offset, char* out, std::size_t size, const char* what) const;
    std::vector<std::uint32_t> chain(const std::vector<std::uint32_t>& table, std::uint32_t start,
                                     std::size_t needed, std::size_t limit, const char* what) const;
    QByteArray readRegular(std::uint32_t start, std::uint64_t size, const char* what) const;
    void loadFat(const char* header);
    void loadDirectory();
    void loadMiniStreamChain();
    void collectRootChildren();
    const Entry* findRoot(const QString& name) const;

    const QByteArray* bytes_ = nullptr;  // the input when it is in memory
    std::uint64_t size_ = 0;
    Source source_;
    mutable std::vector<char> scratch_;  // one sector read from a source
    std::uint32_t sectorSize_ = 512;
    std::uint32_t miniSectorSize_ = 64;
    std::uint32_t sectorCount_ = 0;  // sectors present in the file, a partial last one included
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> miniFat_;
    std::vector<Entry> entries_;
    std::vector<std::uint32_t> rootChildren_;  // indexes into entries_
    std::vector<std::uint32_t> miniStreamSectors_;  // the mini stream's chain of regular sectors
    std::uint64_t miniStreamSize_ = 0;
    // Header fields kept until the tables are loaded.
    std::uint32_t firstDirSector_ = 0, firstMiniFatSector_ = 0, miniFatSectors_ = 0;
};

}  // namespace xl
