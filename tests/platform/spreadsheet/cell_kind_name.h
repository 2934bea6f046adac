// The name of a cell kind, so a failed comparison says "Text" rather than 2.
#pragma once

#include "platform/spreadsheet/cells.h"

namespace xltest {

inline const char* kindName(xl::CellKind k) {
    switch (k) {
    case xl::CellKind::Empty: return "Empty";
    case xl::CellKind::Number: return "Number";
    case xl::CellKind::Text: return "Text";
    case xl::CellKind::Boolean: return "Boolean";
    case xl::CellKind::DateTime: return "DateTime";
    case xl::CellKind::Error: return "Error";
    }
    return "?";
}

}  // namespace xltest
