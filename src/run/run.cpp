// The spectrum run: the program's main routine, once from top to bottom.
#include "run/run.h"

#include <cstring>
#include <initializer_list>

#include "diag/diag.h"
#include "run/record.h"
#include "spectrum/sweep.h"
#include "textio/rowformat.h"
#include "textio/textio.h"

namespace {

const cilist con_out = {6, false, nullptr};
const cilist con_in = {5, false, nullptr};
const cilist name_in = {5, false, "(A20)"};
const cilist file_in = {11, false, nullptr};
const cilist row_in = {11, true, nullptr};  // end of file ends the rows
const cilist table_out = {11, false, nullptr};
const cilist row_out = {11, false, kRowFormat};

const char kTableHeader[] =
    "period(s), acc 1, acc 2, acc 3, vel 1, vel 2, vel 3, dis 1, dis 2, dis 3";
static_assert(sizeof kTableHeader - 1 == 72);

// One list output record of a single text item (none for an empty line).
void write_line(const cilist& to, const char* text) {
  s_wsle(&to);
  if (text != nullptr) lio_text(text, static_cast<int>(strlen(text)));
  e_wsle();
}

// The fixed-width answer to a file-name question.
void read_name(char (&name)[30]) {
  s_rsfe(&name_in);
  fio_text(name, 30);
  e_rsfe();
}

// One row statement: time and three accelerations, each status tested.
// Returns false at the first nonzero status.
bool read_row(float& t, float& a1, float& a2, float& a3) {
  if (s_rsle(&row_in) != 0) return false;
  for (float* v : {&t, &a1, &a2, &a3})
    if (lio_real(*v) != 0) return false;
  return e_rsle() == 0;
}

// The row sink of the sweep: one table row the moment it is handed over.
void write_row(const float (&row)[spectrum::kRowLength], void*) {
  s_wsfe(&row_out);
  for (float v : row) fio_real(v);
  e_wsfe();
}

}  // namespace

void spectrum_run() {
  record& r = the_record;
  char infile[30], otfile[30];
  char head1[20], head2[20], head3[20], head4[20];
  int nn;
  float dt;
  float h = 0;  // an answer that supplies no value leaves the damping at 0

  write_line(con_out, nullptr);
  write_line(con_out, "Enter File Name for Ground Motion Acceleraration:");
  read_name(infile);
  f_open(11, infile, 30);

  s_rsle(&file_in);
  lio_text(head1, 20);
  lio_text(head2, 20);
  lio_text(head3, 20);
  lio_text(head4, 20);
  e_rsle();

  // Rows until a statement reports end of file. The arrays hold 33000
  // rows; a further complete row is read into scratch values and ends the
  // run, so nothing is ever stored past them.
  int i = 1;
  for (;;) {
    if (i <= spectrum::kCapacity) {
      if (!read_row(r.time[i - 1], r.ddy1[i - 1], r.ddy2[i - 1], r.ddy3[i - 1])) break;
    } else {
      float t, a1, a2, a3;
      if (!read_row(t, a1, a2, a3)) break;
      f__fatal_text("list in", "record longer than 33000 samples");
    }
    ++i;
  }
  f_clos(11);
  nn = i - 1;
  dt = static_cast<float>(static_cast<double>(r.time[1]) - static_cast<double>(r.time[0]));

  s_wsle(&con_out);
  lio_text("nn and DT=", 10);
  lio_int(nn);
  lio_real(dt);
  e_wsle();

  write_line(con_out, nullptr);
  write_line(con_out, "Enter Damping Factor");
  s_rsle(&con_in);
  lio_real(h);
  e_rsle();

  write_line(con_out, nullptr);
  write_line(con_out, "Enter Output File Name (*.csv)");
  read_name(otfile);
  f_open(11, otfile, 30);
  write_line(table_out, kTableHeader);

  // The vector sweep, bit-identical to the plain one.
  sweep_fast(h, dt, nn, r.ddy1, r.ddy2, r.ddy3, r.acc, r.vel, r.dis, write_row, nullptr);

  f_clos(11);
  s_stop("", 0);
}
