#include "platform/data/fields.h"

#include "platform/data/dataset.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/format_settings.h"
#include "platform/runtime/numbers.h"

#include <cmath>
#include <limits>

namespace data {

const TFieldDef& TFieldDefs::operator[](int i) const {
    if (i < 0 || i >= defs_.size())
        throw rtl::EListError(QStringLiteral("Índice de definición de campo fuera de rango (%1)").arg(i));
    return defs_[i];
}

void TFieldDefs::Add(const QString& name, TFieldType type, int size) {
    defs_.append(TFieldDef{name, type, size});
}

int TFieldDefs::IndexOf(const QString& name) const {
    for (int i = 0; i < defs_.size(); ++i)
        if (defs_[i].Name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

TField::TField(const TDataSet& owner, int index, TFieldDef def)
    : owner_(owner), index_(index), def_(std::move(def)) {}

bool TField::IsNull() const { return Value().isNull(); }

QVariant TField::Value() const { return owner_.valueAt(index_); }

void TField::conversionError(const QString& what) const {
    throw EDatabaseError(QStringLiteral("El valor '%1' del campo '%2' no es %3")
                             .arg(Value().toString(), def_.Name, what));
}

std::int64_t TField::AsLargeInt() const {
    const QVariant v = Value();
    if (v.isNull()) return 0;
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return v.toLongLong();
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::Double: {
        if (def_.DataType == ftDate || def_.DataType == ftTime || def_.DataType == ftDateTime)
            conversionError(QStringLiteral("un número entero"));
        const double r = std::nearbyint(v.toDouble());
        if (!std::isfinite(r) || r < -9.2e18 || r > 9.2e18) conversionError(QStringLiteral("un número entero"));
        return static_cast<std::int64_t>(r);
    }
    default: {
        bool ok = false;
        const qlonglong n = v.toString().trimmed().toLongLong(&ok);
        if (!ok) conversionError(QStringLiteral("un número entero"));
        return n;
    }
    }
}

std::int32_t TField::AsInteger() const {
    const std::int64_t n = AsLargeInt();
    if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max())
        conversionError(QStringLiteral("un número entero de 32 bits"));
    return static_cast<std::int32_t>(n);
}

double TField::AsFloat() const {
    const QVariant v = Value();
    if (v.isNull()) return 0;
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return static_cast<double>(v.toLongLong());
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::Double:
        return v.toDouble();
    default: {
        double d = 0;
        if (!rtl::TryStrToFloat(v.toString(), u'.', d)) conversionError(QStringLiteral("un número"));
        return d;
    }
    }
}

QString TField::AsString() const {
    const QVariant v = Value();
    if (v.isNull()) return {};
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return QString::number(v.toLongLong());
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double: {
        const double d = v.toDouble();
        const rtl::TFormatSettings& fs = rtl::FormatSettings();
        switch (def_.DataType) {
        case ftDate:
            return rtl::FormatDateTime(fs.ShortDateFormat, d);
        case ftTime:
            return rtl::FormatDateTime(QStringLiteral("hh:nn:ss"), d);
        case ftDateTime:
            if (d == std::floor(d)) return rtl::FormatDateTime(fs.ShortDateFormat, d);
            return rtl::FormatDateTime(fs.ShortDateFormat + QStringLiteral(" hh:nn:ss"), d);
        default:
            return rtl::FloatToStr(d);
        }
    }
    default:
        return v.toString();
    }
}

TField& TFields::operator[](int i) const {
    if (i < 0 || i >= Count())
        throw rtl::EListError(QStringLiteral("Índice de campo fuera de rango (%1)").arg(i));
    return *fields_[static_cast<std::size_t>(i)];
}

TField* TFields::Find(const QString& name) const {
    for (const auto& f : fields_)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) return f.get();
    return nullptr;
}

}  // namespace data
