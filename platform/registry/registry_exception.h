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

// The hive file is there but cannot be read at all (no permission, not a
// regular file, an I/O error), as opposed to read and found damaged. The
// registry then answers as for a key it cannot open.
class EHiveUnreadable : public ERegistryException {
public:
    using ERegistryException::ERegistryException;
};

// The hive file cannot be replaced: its folder or lock file cannot be made,
// or the new file cannot be written or renamed into place. Another program
// holding the lock past the wait is not this, but a plain ERegistryException.
class EHiveUnwritable : public ERegistryException {
public:
    using ERegistryException::ERegistryException;
};

}  // namespace reg
