#pragma once
// The record buffer and the record writer shared by list output and
// formatted output. A record is built in f__buf, f__recpos characters long,
// and reaches the current unit's stream in one write when it ends.

// Store c at f__recpos, growing the buffer when needed, and advance.
void x_putc(int c);

// End the record: append c (the newline) and hand the whole record to the
// current unit's stream in one write, NUL bytes included. f__recpos is left
// as it was; the caller resets it. Returns 0.
int f__putbuf(int c);

// End the record with its newline and start a new one at position 0.
int x_wSL();

// End the current record if it holds any character; otherwise nothing.
void donewrec();
