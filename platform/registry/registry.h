// TRegistry: the per-user registry as the system's units use it.
//
// Stands in for the platform's registry object over the per-user hive file
// (hive_file.h). Only HKEY_CURRENT_USER is kept; the other root keys are
// refused. A key is named by its path with "\" between components; a path
// that starts with "\" (or any path while no key is open) counts from the
// root, any other path from the open key. Key paths and value names compare
// without regard to letter case. Every call reads the file afresh (parsing
// it again only when its text changed), reading takes no lock, and every
// write goes through HiveFile::update, so two running programs never lose
// each other's values.
//
//   reg::TRegistry r;                       // root HKEY_CURRENT_USER
//   if (r.OpenKey(u"Software\\Vexalon\\abc"_s, true)) {
//       r.WriteString(u"DBD"_s, u"FDC"_s);
//       r.CloseKey();
//   }
#pragma once

#include "platform/registry/hive.h"
#include "platform/registry/hive_file.h"
#include "platform/registry/registry_exception.h"

#include <QString>

#include <chrono>
#include <cstdint>

namespace reg {

// The platform's predefined root keys.
enum class HKEY : std::uint32_t {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
    CurrentConfig = 0x80000005u,
};
inline constexpr HKEY HKEY_CLASSES_ROOT = HKEY::ClassesRoot;
inline constexpr HKEY HKEY_CURRENT_USER = HKEY::CurrentUser;
inline constexpr HKEY HKEY_LOCAL_MACHINE = HKEY::LocalMachine;
inline constexpr HKEY HKEY_USERS = HKEY::Users;
inline constexpr HKEY HKEY_CURRENT_CONFIG = HKEY::CurrentConfig;

class TRegistry {
public:
    // On the per-user hive file (userHivePath(), resolved now); root
    // HKEY_CURRENT_USER, no key open.
    TRegistry();
    // On another hive file; a change waits `lockWait` for another program's
    // lock on it.
    explicit TRegistry(const QString& hivePath, std::chrono::milliseconds lockWait = HiveFile::kLockWait);

    HKEY RootKey() const { return root_; }
    // Closes the open key. Throws ERegistryException for any root other than
    // HKEY_CURRENT_USER, which is the only one kept here.
    void setRootKey(HKEY root);

    // The open key's path without a leading "\"; empty when none is open.
    QString CurrentPath() const { return current_; }
    // The hive file this object works on.
    QString HivePath() const { return file_.path(); }

    // Opens the key; with canCreate, the key and its missing parents are
    // created first. Opening with canCreate asks for write access, as the
    // platform's full access does. False when the key does not exist and
    // canCreate is false, when the hive file is there but cannot be read, and
    // with canCreate when the hive file cannot be written (whether or not
    // the key is there) or cannot hold the key's path (keyPathFault). Throws
    // ERegistryException when the hive file cannot be parsed and, while
    // creating the key, when another program holds the file's lock past
    // HiveFile::kLockWait or the file would pass kMaxFileBytes.
    bool OpenKey(const QString& key, bool canCreate);
    // Whether the key exists; creates nothing. False when the hive file
    // cannot be read; throws ERegistryException when it cannot be parsed.
    bool KeyExists(const QString& key) const;
    // Forgets the open key; reads and writes then fail or give defaults.
    void CloseKey();

    // Whether the open key holds the value. Throws ERegistryException when
    // the hive file cannot be read or parsed (also for the readers below).
    bool ValueExists(const QString& name) const;
    // The value's data type (ValueType numbering); ValueType::None when absent.
    std::uint32_t GetDataType(const QString& name) const;

    // The text of a string or expandable-string value, unexpanded; empty when
    // the value (or the open key) is absent. Throws ERegistryException, with
    // the value's name in the message, for a value of any other type.
    QString ReadString(const QString& name) const;
    // The DWORD value as a signed 32-bit integer. Throws ERegistryException,
    // naming the value, when it is absent or of another type.
    std::int32_t ReadInteger(const QString& name) const;

    // Store a string, expandable-string or DWORD value under the open key,
    // replacing any value of that name whatever its type. Throw
    // ERegistryException when no key is open or the hive cannot be written.
    void WriteString(const QString& name, const QString& value);
    void WriteExpandString(const QString& name, const QString& value);
    void WriteInteger(const QString& name, std::int32_t value);

private:
    QString resolve(const QString& key) const;
    const Value* lookup(const Hive& hive, const QString& name) const;
    void write(Value value);
    QString where() const;

    HiveFile file_;
    HKEY root_ = HKEY_CURRENT_USER;
    QString current_;
    bool open_ = false;
};

}  // namespace reg
