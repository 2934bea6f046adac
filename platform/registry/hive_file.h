// The per-user hive on disk: where it lives, how it is read, and how it is
// changed without losing anybody's values.
//
// The file is ${XDG_CONFIG_HOME:-$HOME/.config}/vexalon/registry.reg. A change
// takes an exclusive flock on registry.reg.lock beside it, re-reads the file,
// applies itself, writes a new file (mode 0600), flushes and fsyncs it and
// renames it over the old one. Two programs changing different values at the
// same time therefore both keep their values, and a reader sees either the
// old file or the new one, never half of one. A file that cannot be parsed is
// reported and left as it is.
#pragma once

#include "platform/registry/hive.h"

#include <QString>

#include <functional>

namespace reg {

// The per-user hive file's path. XDG_CONFIG_HOME counts only when it is an
// absolute path, as the XDG rules say; otherwise $HOME/.config.
QString userHivePath();

class HiveFile {
public:
    explicit HiveFile(QString path);

    const QString& path() const { return path_; }

    // The hive as stored; a missing file is an empty hive. Throws
    // ERegistryException naming the file when it cannot be read or parsed.
    Hive read() const;

    // Under the lock: reads the file afresh, calls `change`, and when it
    // returns true writes the changed hive atomically. Throws
    // ERegistryException when the file cannot be locked, read, parsed or
    // written; the file on disk is then unchanged.
    void update(const std::function<bool(Hive&)>& change) const;

private:
    QString path_;
};

}  // namespace reg
