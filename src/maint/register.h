// Registers class KsMaint with the process's class registry.
#pragma once

namespace ksmain {
void RegisterKsMaint();
}
