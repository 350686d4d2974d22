#pragma once
// Free-form reading: the character source and the item procedure that
// s_rsle installs for do_lio.

// One character of the current unit, or EOF. EOF also while the unit's
// end-of-file flag is set; the flag is set when the stream itself ends (or a
// Ctrl-Z ends it), not when the stream reports a read error.
int t_getc();
// Push back one character; pushing back EOF does nothing.
void t_ungetc(int c);

// Forget the current value (the tests' reset).
void l_reset();

// Item loop of a free-form read: `number` items of kind `type`, `len` bytes
// apart from ptr. 0, or -1 at a detected end of file.
int l_read(int number, char* ptr, int len, int type);
