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
#pragma once

#include "platform/runtime/exception.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
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
    // The 8 bytes every compound document starts with.
    static bool hasSignature(const QByteArray& bytes);

    // Parses the header, allocation tables and directory of `bytes`, which
    // must outlive this object. Throws CompoundFileError when the container
    // is not well formed.
    explicit CompoundFile(const QByteArray& bytes);

    // Names of the streams directly under the root storage, in directory order.
    std::vector<QString> rootStreamNames() const;

    // Whether a stream or storage of that name (compared without regard to
    // case, as the format requires) sits directly under the root storage.
    // Two of that name are damage (CompoundFileError), here and in readRootStream.
    bool hasRootEntry(const QString& name) const;

    // The whole content of the root-level stream `name` (case-insensitive),
    // read from the regular sectors or from the mini stream as its size
    // says. The result may share the memory of the bytes given to the
    // constructor, so it must not outlive them. Throws CompoundFileError if
    // there is no such stream or its chain is broken.
    QByteArray readRootStream(const QString& name) const;

private:
    struct Entry {
        QString name;
        std::uint8_t type = 0;  // 1 storage, 2 stream, 5 root
        std::uint32_t left = 0, right = 0, child = 0;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };

    const char* sector(std::uint32_t index, std::size_t& available) const;
    std::vector<std::uint32_t> chain(const std::vector<std::uint32_t>& table, std::uint32_t start,
                                     std::size_t needed, std::size_t limit, const char* what) const;
    QByteArray readRegular(std::uint32_t start, std::uint64_t size, const char* what) const;
    void loadFat();
    void loadDirectory();
    void loadMiniStream();
    void collectRootChildren();
    const Entry* findRoot(const QString& name) const;

    const QByteArray& bytes_;
    std::uint32_t sectorSize_ = 512;
    std::uint32_t miniSectorSize_ = 64;
    std::uint32_t miniCutoff_ = 4096;
    std::uint32_t sectorCount_ = 0;  // sectors present in the file, a partial last one included
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> miniFat_;
    std::vector<Entry> entries_;
    std::vector<std::uint32_t> rootChildren_;  // indexes into entries_
    QByteArray miniStream_;
    // Header fields kept until the tables are loaded.
    std::uint32_t firstDirSector_ = 0, firstMiniFatSector_ = 0, miniFatSectors_ = 0;
};

}  // namespace xl
