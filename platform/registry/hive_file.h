// The per-user hive on disk: where it lives, how it is read, and how it is
// changed without losing anybody's values.
//
// The file is ${XDG_CONFIG_HOME:-$HOME/.config}/vexalon/registry.reg. Reading
// takes no lock. A change takes an exclusive flock on "<file>.lock" beside
// the file (waiting a bounded time for it), re-reads the file, applies
// itself, writes a new file "<file>.tmp-XXXXXX" (mode 0600), flushes and
// fsyncs it and renames it over the old one. Two programs changing different
// values at the same time therefore both keep their values, and a reader sees
// either the old file or the new one, never half of one. Temporary files of a
// writer that was killed half-way are removed by the next change. When the
// file is a symbolic link, the link stays and its target is replaced. A file
// that cannot be parsed is reported and left as it is.
#pragma once

#include "platform/registry/hive.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace reg {

// The per-user hive file's path. XDG_CONFIG_HOME counts only when it is an
// absolute path, as the XDG rules say; otherwise $HOME/.config.
QString userHivePath();

class HiveFile {
public:
    // How long a change waits for another program's lock before giving up.
    static constexpr std::chrono::milliseconds kLockWait{10000};

    explicit HiveFile(QString path, std::chrono::milliseconds lockWait = kLockWait);

    const QString& path() const { return path_; }

    // The hive as stored; a missing file (or folder) is an empty hive. Throws
    // EHiveUnreadable when the file is there but cannot be read, and
    // ERegistryException naming the file and line when it cannot be parsed.
    Hive read() const;
    // The same, shared: the text last parsed in this process is not parsed
    // again while the file holds exactly that text, so the many short reads
    // of a start-up cost one parse even for a very large file.
    std::shared_ptr<const Hive> load() const;

    // Both throw only ERegistryException (and EHiveUnreadable): running out
    // of memory is reported as such.

    // Whether update() could replace the file now: its folder can be written
    // and the lock file made or opened. Reads and changes nothing.
    bool writable() const;

    // Under the lock: reads the file afresh, calls `change`, and when it
    // returns true writes the changed hive atomically. Throws
    // EHiveUnwritable when the file cannot be replaced (folder, lock file,
    // new file), and ERegistryException when another program holds the lock
    // past the wait, when the file cannot be read or parsed, when the new
    // text would pass kMaxFileBytes, and for whatever `change` throws; the
    // file on disk is then unchanged. Nothing but ERegistryException leaves.
    void update(const std::function<bool(Hive&)>& change) const;

private:
    QString path_;
    std::chrono::milliseconds lockWait_;
};

}  // namespace reg
