// Base of every error this program raises on purpose.
//
// The platform's exceptions carry a user-facing message; here that message is
// kept as UTF-8 in std::runtime_error and handed back as a QString, so the
// default handler and the dialogs can show it unchanged.
#pragma once

#include <QString>
#include <stdexcept>

namespace rtl {

class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message);
    // The message as given to the constructor.
    QString message() const;
};

// A text that does not read as the number or date asked for.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A position outside a list or a text (the platform's "list index out of bounds").
class EListError : public Exception {
public:
    using Exception::Exception;
};

// The message of any exception: ours as given, others from what().
QString messageOf(const std::exception& e);

}  // namespace rtl
