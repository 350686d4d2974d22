#pragma once
// Field renderers of formatted output. Each writes its characters into the
// record through x_putc and knows nothing about the format they came from.

// Fixed-point field of width w with d decimals. len is the value's size in
// bytes: 4 for a single-precision value (widened to double), else a double.
// A value too wide for the field fills it with asterisks. Returns 0.
int wrt_F(const char* ptr, int w, int d, int len);

// Literal: s points at its opening delimiter; the characters up to the
// matching closing delimiter are written, a doubled delimiter as one.
// Returns 0.
int wrt_AP(const char* s);
