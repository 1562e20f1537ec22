// Test helper: the statically linked engine, started once, with its settings
// put back to a known baseline before each test.
#pragma once

namespace qbtest {

// Runs the start-up (once) and resets every setting, reopen flag and status
// record to the baseline the command tests expect: hashsize 128, dbmbytes
// 512, the stored defaults elsewhere, 16 processors and a thread limit of 8.
void reset_engine_state();

}  // namespace qbtest
