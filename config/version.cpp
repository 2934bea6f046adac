#include "config/version.h"

#include "platform/process/process_info.h"
#include "platform/registry/registry.h"
#include "platform/runtime/strings.h"

#include <QFileInfo>

namespace {

QString settingsKey() { return QStringLiteral("Software\\Vexalon\\") + programa(); }

}  // namespace

QString programa() {
    // File-name part, then everything before its last ".".
    QString name = QFileInfo(proc::ExeName()).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0) name.truncate(dot);
    if (rtl::UpperCase(name) == QStringLiteral("DOSKAR")) return QStringLiteral("TALVEN");
    return name;
}

void set_key_value_CURRENT_USER(const QString& clave, const QString& value) {
    if (programa().isEmpty()) return;
    reg::TRegistry r;
    r.setRootKey(reg::HKEY_CURRENT_USER);
    if (r.OpenKey(settingsKey(), true)) {
        r.WriteString(clave, value);
        r.CloseKey();
    }
}

void set_key_value_CURRENT_USER(const QString& clave, std::int32_t value) {
    if (programa().isEmpty()) return;
    reg::TRegistry r;
    r.setRootKey(reg::HKEY_CURRENT_USER);
    if (r.OpenKey(settingsKey(), true)) {
        r.WriteInteger(clave, value);
        r.CloseKey();
    }
}

void get_key_value_CURRENT_USER(const QString& clave, std::int32_t& value) {
    value = 0;
    try {
        reg::TRegistry r;
        r.setRootKey(reg::HKEY_CURRENT_USER);
        const QString key = settingsKey();
        if (r.KeyExists(key) && r.OpenKey(key, false)) {
            value = r.ReadInteger(clave);
            r.CloseKey();
        }
    } catch (...) {
        value = 0;
    }
}

void get_key_value_CURRENT_USER(const QString& clave, QString& value) {
    value.clear();
    if (programa().isEmpty()) return;
    reg::TRegistry r;
    r.setRootKey(reg::HKEY_CURRENT_USER);
    try {
        if (r.OpenKey(settingsKey(), false)) {
            value = r.ReadString(clave);
            r.CloseKey();
        }
    } catch (const reg::EHiveUnreadable&) {
        // A settings file that cannot be read at all counts as no settings;
        // a value of the wrong type and a damaged file are still reported.
        value.clear();
    }
}

QString doy_acceso_a_datos() {
    QString s;
    get_key_value_CURRENT_USER(QStringLiteral("DBD"), s);
    if (s.isEmpty()) {
        s = QStringLiteral("FDC");
        set_key_value_CURRENT_USER(QStringLiteral("DBD"), s);
    }
    return s;
}
