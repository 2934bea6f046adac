#include "config/InifilesX.h"

#include "config/funciones.h"
#include "platform/ini/inifile.h"
#include "platform/process/process_info.h"

#include <QFileInfo>

namespace {

// The platform's ChangeFileExt on the file-name part only.
QString withIniExtension(QString name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0) name.truncate(dot);
    return name + QStringLiteral(".ini");
}

}  // namespace

QString ini_del_programa() {
    const QString windir = QString::fromLocal8Bit(qgetenv("WINDIR"));
    return conSeparadorFinal(windir) + withIniExtension(QFileInfo(proc::ExeName()).fileName());
}

QString get_ini(const QString& ini_file, const QString& grupo, const QString& clave) {
    const ini::TIniFile ini(ini_file.isEmpty() ? ini_del_programa() : ini_file);
    return ini.ReadString(grupo, clave, QString());
}
