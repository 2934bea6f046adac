#include "platform/runtime/exception.h"

namespace rtl {

Exception::Exception(const QString& message)
    : std::runtime_error(message.toUtf8().toStdString()) {}

QString Exception::message() const { return QString::fromUtf8(what()); }

QString messageOf(const std::exception& e) { return QString::fromUtf8(e.what()); }

}  // namespace rtl
