// Bounded reading of the parts of a zip package, in memory or in a file (libzip).
//
// The xlsx reader opens a workbook's bytes with ZipArchive and streams each
// part it needs through a sink, never holding a whole part. Every part is
// read under the limits of ZipLimits, checked against both the sizes the
// archive declares and the bytes actually inflated, so a zip bomb or a lying
// header is refused with a ReadError instead of filling memory.
//
// Part names are compared as normalisedPartName() makes them, both when two
// entries are told apart and when a part is looked up: an archive holding
// two entries of one normalised name ("xl/a.xml" and "xl\A.xml", "./xl/a.xml"
// or "xl/%61.xml") is refused as damaged, since tools differ in which of
// them they read. Directory entries are no parts and are ignored.
#pragma once

#include "platform/spreadsheet/cells.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct zip;
struct zip_source;

namespace xl {

struct ZipLimits {
    // Largest inflated size of one part.
    std::uint64_t maxPartBytes = 128ull << 20;
    // Largest inflated size of all parts read from one archive together.
    std::uint64_t maxTotalBytes = 256ull << 20;
    // A part inflating to more than ratioGraceBytes may not inflate to more
    // than maxRatio times its compressed size (deflate reaches ~1000:1 on
    // crafted data; real worksheets stay far below 100:1).
    std::uint64_t ratioGraceBytes = 4ull << 20;
    std::uint64_t maxRatio = 200;
};

class ZipArchive {
public:
    // Opens the archive in `bytes`, which must outlive this object.
    // Throws ReadError (naming `fileName`) when the bytes are no readable zip.
    ZipArchive(const QByteArray& bytes, const QString& fileName, ZipLimits limits = {});
    // Opens the archive in the regular file open on `fd`, read as needed
    // through a duplicate of that descriptor (never whole, never by its name),
    // so `fd` stays the caller's. `fileName` only names it in messages.
    ZipArchive(int fd, const QString& fileName, ZipLimits limits = {});
    ~ZipArchive();
    ZipArchive(ZipArchive&& other) noexcept;
    ZipArchive& operator=(ZipArchive&&) = delete;
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Whether a part of that name exists (compared normalised).
    bool contains(const std::string& name) const;

    // The sizes the archive declares for part `name`, inflated and compressed
    // (0 when the part is missing or a size unknown). Hints only: read()
    // checks the real sizes.
    struct DeclaredSizes {
        std::uint64_t inflated = 0, compressed = 0;
    };
    DeclaredSizes declaredSizes(const std::string& name) const;

    // Streams the inflated bytes of part `name` to `sink` in chunks.
    // Throws ReadError when the part is missing, encrypted, corrupt, or
    // breaks a limit; whatever `sink` throws passes through.
    using Sink = std::function<void(const char* data, std::size_t size)>;
    void read(const std::string& name, const Sink& sink);

    // As read(), but inflating straight into the caller's buffers (saves a
    // copy for a consumer with buffers of its own, such as expat): `buffer`
    // hands out room for `chunk` bytes, `filled` is told how many were written.
    void readInto(const std::string& name, std::size_t chunk, const std::function<char*()>& buffer,
                  const std::function<void(std::size_t)>& filled);

    // The whole inflated part (for small parts), under the same limits.
    std::string readAll(const std::string& name);

    const QString& fileName() const { return fileName_; }

private:
    [[noreturn]] void fail(const QString& what) const;
    void open(zip_source* source);
    void indexParts();
    // The entry of part `name`, or -1.
    std::int64_t locate(const std::string& name) const;

    zip* archive_ = nullptr;
    // (normalised name, entry) of every part, sorted by name.
    std::vector<std::pair<std::string, std::uint64_t>> parts_;
    QString fileName_;
    ZipLimits limits_;
    std::uint64_t totalRead_ = 0;
};

// A part name as the archive's parts are compared: percent-escapes decoded
// (%HH, once), "\" read as "/", empty and "." segments dropped (a leading
// "/" with them), ".." taking back the segment before it, and ASCII letters
// in lower case. "./XL\Work%73heets//sheet1.xml" gives "xl/worksheets/sheet1.xml".
std::string normalisedPartName(std::string_view name);

// "No se puede leer el archivo "<fileName>": <what>." — the one form of every
// reading failure, so each message names the file and says what is wrong.
QString readFailure(const QString& fileName, const QString& what);

}  // namespace xl
