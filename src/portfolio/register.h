// Registers class Kestrel with the process's class registry.
#pragma once

namespace ksmain {
void RegisterKestrel();
}
