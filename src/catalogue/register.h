// Registers class InsertTable_summary with the process's class registry.
#pragma once

namespace ksmain {
void RegisterInsertTableSummary();
}
