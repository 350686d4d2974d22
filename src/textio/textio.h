#pragma once
// The text record layer's public face: the statements, as the run calls
// them. Every statement is a start, one transfer per item, an end; each
// returns a status: 0 success, -1 end of file (only where the statement
// asked for detection, and from the ends that report it). Every other
// failure is fatal.

// Control block of a statement: the unit, end-of-file detection, the format.
struct cilist {
  int ciunit;
  bool ciend;          // end of file is returned as -1 instead of fatal
  const char* cifmt;   // format text of a formatted statement (NUL-ended)
};

// Item kind codes passed with each list item.
enum : int {
  TYSHORT = 2, TYLONG = 3, TYREAL = 4, TYDREAL = 5, TYCOMPLEX = 6,
  TYDCOMPLEX = 7, TYLOGICAL = 8, TYCHAR = 9, TYINT1 = 11, TYLOGICAL1 = 12,
  TYLOGICAL2 = 13, TYQUAD = 14
};

// Free-form read: s_rsle, do_lio per item, e_rsle.
int s_rsle(const cilist* a);
int e_rsle();

// List output: s_wsle, do_lio per item, e_wsle.
int s_wsle(const cilist* a);
int e_wsle();

// Transfer of `number` items of kind `type`, `len` bytes apart, for the list
// statement in progress (reading or writing).
int do_lio(int type, int number, char* ptr, int len);

// Typed items, so that no caller casts: a single-precision real, a 32-bit
// integer, a text of len bytes (read into, or written from).
inline int lio_real(float& v) { return do_lio(TYREAL, 1, reinterpret_cast<char*>(&v), sizeof v); }
inline int lio_double(double& v) { return do_lio(TYDREAL, 1, reinterpret_cast<char*>(&v), sizeof v); }
inline int lio_int(int& v) { return do_lio(TYLONG, 1, reinterpret_cast<char*>(&v), sizeof v); }
inline int lio_text(char* s, int len) { return do_lio(TYCHAR, 1, s, len); }
// A text to write: list output never changes its items.
inline int lio_text(const char* s, int len) { return do_lio(TYCHAR, 1, const_cast<char*>(s), len); }

// Fixed-width read and formatted write: start, do_fio per item, end.
int s_rsfe(const cilist* a);
int e_rsfe();
int s_wsfe(const cilist* a);
int e_wsfe();
int do_fio(int number, char* ptr, int len);
inline int fio_real(float& v) { return do_fio(1, reinterpret_cast<char*>(&v), sizeof v); }
inline int fio_text(char* s, int len) { return do_fio(1, s, len); }

// Initialise the units (the console units 0, 5 and 6), once at start-up.
void f_init();

// Connection of a unit to a file named by a text variable of length len
// (trailing blanks are not part of the name), and its close.
int f_open(int unit, const char* name, int len);
int f_clos(int unit);
// Close every unit, once per process.
void f_exit();
