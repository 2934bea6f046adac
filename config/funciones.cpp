#include "config/funciones.h"

#include "platform/dialogs/dialogs.h"
#include "platform/runtime/exception.h"
#include "platform/runtime/numbers.h"
#include "platform/runtime/strings.h"

#include <QComboBox>

void error(const QString& s) { vcl::MessageDlgError(s); }

QString saco_campo(QString s, std::int32_t i, QChar del, QChar /*escape*/, bool cortar) {
    if (s.isEmpty()) return {};
    if (i < 1) throw rtl::EListError(QStringLiteral("Índice de lista fuera de rango (%1)").arg(i));
    bool comilla = false;
    for (QChar& c : s) {
        if (c == u'"') comilla = !comilla;
        if (c == del && !comilla) c = u'|';
    }
    const QStringList fields = s.split(u'|');
    if (i > fields.size()) return {};
    QString field = fields[i - 1];
    field.remove(u'"');
    return cortar ? rtl::Trim(field) : field;
}

std::int32_t ComboCodigo(const QComboBox* Cbo) {
    if (Cbo == nullptr || Cbo->currentIndex() < 0) return 0;
    return Cbo->itemData(Cbo->currentIndex()).toInt();
}

QString FloatStr(long double number) { return rtl::FormatFixedSql(static_cast<double>(number), 3); }

QString conSeparadorFinal(QString dir) {
    if (!dir.endsWith(u'/') && !dir.endsWith(u'\\')) dir += u'/';
    return dir;
}
