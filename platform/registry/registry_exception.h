// The registry layer's error: a value of the wrong type, a refused write, a
// hive file that cannot be read, parsed or replaced. The message says what
// failed and where (value name, key, file).
#pragma once

#include "platform/runtime/exception.h"

namespace reg {

class ERegistryException : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

}  // namespace reg
