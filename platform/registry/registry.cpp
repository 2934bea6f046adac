#include "platform/registry/registry.h"

namespace reg {

namespace {

QString rootName(HKEY root) {
    switch (root) {
        case HKEY::ClassesRoot: return QStringLiteral("HKEY_CLASSES_ROOT");
        case HKEY::CurrentUser: return QStringLiteral("HKEY_CURRENT_USER");
        case HKEY::LocalMachine: return QStringLiteral("HKEY_LOCAL_MACHINE");
        case HKEY::Users: return QStringLiteral("HKEY_USERS");
        case HKEY::CurrentConfig: return QStringLiteral("HKEY_CURRENT_CONFIG");
    }
    return QStringLiteral("0x%1").arg(static_cast<std::uint32_t>(root), 8, 16, QChar(u'0'));
}

}  // namespace

TRegistry::TRegistry() : file_(userHivePath()) {}

TRegistry::TRegistry(const QString& hivePath, std::chrono::milliseconds lockWait) : file_(hivePath, lockWait) {}

void TRegistry::setRootKey(HKEY root) {
    CloseKey();
    if (root != HKEY_CURRENT_USER) {
        throw ERegistryException(
            QStringLiteral("La clave raíz %1 no está disponible: solo se guarda HKEY_CURRENT_USER")
                .arg(rootName(root)));
    }
    root_ = root;
}

QString TRegistry::resolve(const QString& key) const {
    if (key.startsWith(u'\\') || !open_ || current_.isEmpty()) return normalizeKeyPath(key);
    return normalizeKeyPath(current_ + u'\\' + key);
}

QString TRegistry::where() const {
    return QStringLiteral("%1\\%2 (archivo %3)").arg(rootName(root_), current_, file_.path());
}

bool TRegistry::OpenKey(const QString& key, bool canCreate) {
    const QString path = resolve(key);
    if (path.isEmpty()) {
        // The root itself is always there.
        current_.clear();
        open_ = true;
        return true;
    }
    QString opened = path;
    // A hive file that is there but cannot be read is a key that cannot be
    // opened, as the platform answers for a key it may not read; one that
    // cannot be parsed is reported.
    std::shared_ptr<const Hive> current;
    try {
        current = file_.load();
    } catch (const EHiveUnreadable&) {
        return false;
    }
    if (canCreate) {
        // Opening for creation asks for write access, so a hive that cannot
        // be written opens nothing, whether or not the key is already there.
        if (const auto existing = current->existingPath(path)) {
            if (!file_.writable()) return false;
            opened = *existing;
        } else {
            // A key the file cannot hold cannot be created, as the platform
            // refuses such a name.
            if (!keyPathFault(path).isEmpty()) return false;
            current.reset();  // so that the change can take the parsed hive over
            try {
                file_.update([&](Hive& hive) {
                    if (const auto found = hive.existingPath(path)) {
                        opened = *found;
                        return false;
                    }
                    opened = hive.ensureKey(path).path();
                    return true;
                });
            } catch (const EHiveUnwritable&) {
                // Waiting out another program's lock, a damaged file and a
                // file that would grow past its bound are reported.
                return false;
            }
        }
    } else {
        const auto existing = current->existingPath(path);
        if (!existing) return false;
        opened = *existing;
    }
    current_ = opened;
    open_ = true;
    return true;
}

bool TRegistry::KeyExists(const QString& key) const {
    try {
        return file_.load()->keyExists(resolve(key));
    } catch (const EHiveUnreadable&) {
        return false;
    }
}

void TRegistry::CloseKey() {
    current_.clear();
    open_ = false;
}

const Value* TRegistry::lookup(const Hive& hive, const QString& name) const {
    if (!open_) return nullptr;
    const Key* key = hive.findKey(current_);
    return key == nullptr ? nullptr : key->findValue(name);
}

bool TRegistry::ValueExists(const QString& name) const {
    return lookup(*file_.load(), name) != nullptr;
}

std::uint32_t TRegistry::GetDataType(const QString& name) const {
    const auto hive = file_.load();
    const Value* v = lookup(*hive, name);
    return v == nullptr ? static_cast<std::uint32_t>(ValueType::None) : v->type;
}

QString TRegistry::ReadString(const QString& name) const {
    const auto hive = file_.load();
    const Value* v = lookup(*hive, name);
    if (v == nullptr) return {};
    const bool isString = v->type == static_cast<std::uint32_t>(ValueType::String) ||
                          v->type == static_cast<std::uint32_t>(ValueType::ExpandString);
    if (!isString || v->form != Form::Text) {
        throw ERegistryException(
            QStringLiteral("Tipo de dato no válido para el valor \"%1\" del registro: se esperaba texto "
                           "(clave %2)")
                .arg(name, where()));
    }
    return v->text;
}

std::int32_t TRegistry::ReadInteger(const QString& name) const {
    const auto hive = file_.load();
    const Value* v = lookup(*hive, name);
    if (v == nullptr) {
        throw ERegistryException(
            QStringLiteral("No se encontró el valor \"%1\" del registro (clave %2)").arg(name, where()));
    }
    if (v->type != static_cast<std::uint32_t>(ValueType::DWord) || v->form != Form::DWord) {
        throw ERegistryException(
            QStringLiteral("Tipo de dato no válido para el valor \"%1\" del registro: se esperaba un "
                           "entero (clave %2)")
                .arg(name, where()));
    }
    return static_cast<std::int32_t>(v->dword);
}

void TRegistry::write(Value value) {
    if (!open_ || current_.isEmpty()) {
        throw ERegistryException(
            QStringLiteral("No se pudo guardar el valor \"%1\" del registro: no hay una clave abierta (%2)")
                .arg(value.name, where()));
    }
    const QString path = current_;
    file_.update([&](Hive& hive) {
        // A key removed by someone else since it was opened comes back.
        hive.ensureKey(path).setValue(std::move(value));
        return true;
    });
}

void TRegistry::WriteString(const QString& name, const QString& value) {
    write(Value{name, static_cast<std::uint32_t>(ValueType::String), Form::Text, value, 0, {}, {}});
}

void TRegistry::WriteExpandString(const QString& name, const QString& value) {
    write(Value{name, static_cast<std::uint32_t>(ValueType::ExpandString), Form::Text, value, 0, {}, {}});
}

void TRegistry::WriteInteger(const QString& name, std::int32_t value) {
    write(Value{name, static_cast<std::uint32_t>(ValueType::DWord), Form::DWord, {},
                static_cast<std::uint32_t>(value), {}, {}});
}

}  // namespace reg
