#include "platform/spreadsheet/variant.h"

#include "platform/runtime/datetime.h"
#include "platform/runtime/exception.h"
#include "platform/runtime/numbers.h"

#include <cmath>

namespace ole {

Variant Variant::number(double value) {
    Variant v;
    v.type_ = Type::Number;
    v.number_ = value;
    return v;
}

Variant Variant::text(QString value) {
    Variant v;
    v.type_ = Type::Text;
    v.text_ = std::move(value);
    return v;
}

Variant Variant::boolean(bool value) {
    Variant v;
    v.type_ = Type::Boolean;
    v.number_ = value ? 1 : 0;
    return v;
}

Variant Variant::dateTime(double dayNumber) {
    Variant v;
    v.type_ = Type::DateTime;
    v.number_ = dayNumber;
    return v;
}

Variant Variant::error(QString code) {
    Variant v;
    v.type_ = Type::Error;
    v.text_ = std::move(code);
    return v;
}

Variant Variant::fromCell(const xl::Cell& cell) {
    switch (cell.kind) {
    case xl::CellKind::Empty: return {};
    case xl::CellKind::Number: return number(cell.number);
    case xl::CellKind::Text: return text(cell.text);
    case xl::CellKind::Boolean: return boolean(cell.number != 0);
    case xl::CellKind::DateTime: return dateTime(cell.number);
    case xl::CellKind::Error: return error(cell.text);
    }
    return {};
}

namespace {

QString dateTimeText(double value) {
    const rtl::TFormatSettings& fs = rtl::FormatSettings();
    const rtl::DateTimeParts p = rtl::DecodeDateTime(value);
    const bool hasTime = p.hour != 0 || p.minute != 0 || p.second != 0 || p.millisecond != 0;
    const bool hasDate = std::trunc(value) != 0 || !hasTime;
    const QString time = QStringLiteral("hh:nn:ss");
    if (!hasDate) return rtl::FormatDateTime(time, value, fs);
    if (!hasTime) return rtl::FormatDateTime(fs.ShortDateFormat, value, fs);
    return rtl::FormatDateTime(fs.ShortDateFormat + QStringLiteral(" ") + time, value, fs);
}

QString booleanText(double value) { return value != 0 ? QStringLiteral("VERDADERO") : QStringLiteral("FALSO"); }

[[noreturn]] void notANumber(const QString& shown) {
    throw rtl::EConvertError(QStringLiteral("'%1' no es un número válido").arg(shown));
}

}  // namespace

QString Variant::toText() const {
    switch (type_) {
    case Type::Empty: return {};
    case Type::Number: return rtl::FloatToStr(number_);
    case Type::Text: return text_;
    case Type::Boolean: return booleanText(number_);
    case Type::DateTime: return dateTimeText(number_);
    case Type::Error:
        throw rtl::EConvertError(QStringLiteral("la celda tiene el valor de error '%1' en lugar de un texto").arg(text_));
    }
    return {};
}

double Variant::toNumber() const {
    switch (type_) {
    case Type::Empty: return 0;
    case Type::Number: return number_;
    case Type::Text:
        if (text_.isEmpty()) return 0;
        return rtl::StrToFloat(text_);
    case Type::Boolean: notANumber(booleanText(number_));
    case Type::DateTime: notANumber(dateTimeText(number_));
    case Type::Error:
        throw rtl::EConvertError(QStringLiteral("la celda tiene el valor de error '%1' en lugar de un número").arg(text_));
    }
    return 0;
}

}  // namespace ole
