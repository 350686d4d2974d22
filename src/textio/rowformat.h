#pragma once
// Format of a spectrum table row: the period in F8.4, then nine times a
// literal comma and a peak in F8.2. The byte 0x02 delimits the literal, like
// an apostrophe would; it shows as it is in a fatal report's format line.
inline constexpr char kRowFormat[] = "(F8.4,9(" "\x02" "," "\x02" ",F8.2))";

static_assert(sizeof kRowFormat == 19, "18 bytes and the NUL");
