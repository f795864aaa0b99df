// Class KsMaint: the write side of the project portfolio (projects, steps, ranks,
// meetings, step resources, Gantt chart moves).
//
// Write members set the caller's RC to "OK" only once their statement has run; they never
// clear it first, so a page presets RC and tests for "OK".
#pragma once

#include "ksmain/variant.h"

namespace ksmain {

class KsMaint {
 public:
};

}  // namespace ksmain
