#pragma once
// The spectrum run: the dialogue, the record file, the sweep and the table.
// It ends the process through the stop statement and does not return.
[[noreturn]] void spectrum_run();
