#include "import/assemble.h"

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "import/numtext.h"

namespace import {

namespace {

std::string samples(long long n) { return std::to_string(n) + (n == 1 ? " sample" : " samples"); }

std::string number(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

std::string where(const channel& c, int line) { return c.file + ":" + std::to_string(line) + ": "; }

// A header word: the label cut so that it and "(unit)" make at most 20 characters.
std::string header_word(const std::string& label, unit u) {
  std::string tail = std::string("(") + unit_word(u) + ")";
  return label.substr(0, 20 - tail.size()) + tail;
}

}  // namespace

record assemble(const std::vector<channel>& all, const assembly_options& o,
                std::vector<std::string>& problems) {
  record r;
  const size_t before = problems.size();
  std::vector<const channel*> h, v;
  for (const channel& c : all) (c.vertical ? v : h).push_back(&c);
  if (h.size() != 2) {
    std::string names;
    for (const channel* c : h) names += " " + c->label + " (" + c->file + ")";
    const channel& at = h.empty() ? all.front() : *h.back();
    problems.push_back(where(at, at.line) + std::to_string(h.size()) +
                       " horizontal components found, the record takes two" +
                       (names.empty() ? std::string() : ":" + names));
  }
  if (v.size() > 1) {
    problems.push_back(where(*v[1], v[1]->line) + std::to_string(v.size()) +
                       " vertical components found, the record takes one");
  }
  if (v.empty() && !o.no_vertical) {
    const channel& at = all.back();
    problems.push_back(where(at, at.line) +
                       "no vertical component found (--no-vertical writes a zero column instead)");
  }
  if (problems.size() != before) return r;
  std::vector<const channel*> cols = {h[0], h[1]};
  if (!v.empty()) cols.push_back(v[0]);

  // One interval: all within a relative 1e-6 of the first.
  const double dt = cols[0]->dt;
  for (const channel* c : cols)
    if (std::fabs(c->dt - dt) > 1e-6 * dt)
      problems.push_back(where(*c, c->dt_line) + "sampling interval " + number(c->dt) +
                         " s differs from " + number(dt) + " s of " + cols[0]->file +
                         " (components are never resampled)");
  if (problems.size() != before) return r;
  // The times are written as floats: the interval must be one, and so must
  // the time of the last row the program holds.
  if (!(static_cast<float>(dt) > 0.0f) || !(dt * kCapacity <= FLT_MAX)) {
    problems.push_back(where(*cols[0], cols[0]->dt_line) + "sampling interval " + number(dt) +
                       " s: the times it gives are beyond the range of a float");
    return r;
  }

  // Alignment: when every component has a start time, each starts a whole
  // number of samples after the earliest; the record is the common overlap.
  std::vector<long long> skip(cols.size(), 0);
  bool timed = true;
  for (const channel* c : cols) timed = timed && c->has_start;
  if (timed) {
    // Start times relative to the first column's.
    std::vector<double> start;
    for (const channel* c : cols)
      start.push_back(static_cast<double>(c->start_day - cols[0]->start_day) * 86400.0 +
                      (c->start_second - cols[0]->start_second));
    double first = 0;
    for (double s : start) first = std::min(first, s);
    for (size_t k = 0; k < cols.size(); ++k) {
      double offset = (start[k] - first) / dt;
      double whole = std::round(offset);
      if (std::fabs(offset - whole) > 1e-3)
        problems.push_back(where(*cols[k], cols[k]->line) + "starts " + number(offset) +
                           " samples after the earliest component: not a whole number of samples");
      // An offset beyond any record leaves nothing in common; held to a size
      // that the sample counts below cannot overflow with.
      skip[k] = static_cast<long long>(std::min(whole, 1e15));
    }
    if (problems.size() != before) return r;
  }
  long long latest = 0;
  for (long long s : skip) latest = std::max(latest, s);
  long long rows = static_cast<long long>(cols[0]->values.size()) - (latest - skip[0]);
  for (size_t k = 1; k < cols.size(); ++k)
    rows = std::min(rows, static_cast<long long>(cols[k]->values.size()) - (latest - skip[k]));
  if (rows <= 0) {
    problems.push_back(where(*cols[0], cols[0]->line) + "the components have no samples in common");
    return r;
  }
  for (size_t k = 0; k < cols.size(); ++k) {
    long long from = latest - skip[k];
    long long dropped = static_cast<long long>(cols[k]->values.size()) - rows;
    if (dropped > 0) {
      std::string parts;
      if (from > 0) parts = samples(from) + " before the common start";
      if (dropped - from > 0)
        parts += (parts.empty() ? "" : " and ") + samples(dropped - from) + " after the common end";
      r.notes.push_back(cols[k]->file + ": " + cols[k]->label + ": left out " + parts);
    }
  }
  if (rows > kCapacity) {
    if (!o.truncate) {
      problems.push_back(where(*cols[0], cols[0]->line) + std::to_string(rows) +
                         " samples exceed the program's capacity of " + std::to_string(kCapacity) +
                         " (--truncate keeps the first " + std::to_string(kCapacity) + ")");
      return r;
    }
    r.notes.push_back("kept the first " + std::to_string(kCapacity) + " of " + std::to_string(rows) +
                      " samples (--truncate)");
    rows = kCapacity;
  }

  // Values: converted in double, rounded once to float.
  r.dt = dt;
  r.words[0] = "time(s)";
  for (size_t k = 0; k < 3; ++k) {
    std::vector<float>& col = r.columns[k];
    if (k == cols.size()) {
      r.words[3] = header_word("NO-VERTICAL", o.out);
      col.assign(rows, 0.0f);
      r.notes.push_back("no vertical component: column 3 is zeros (--no-vertical)");
      continue;
    }
    const channel& c = *cols[k];
    r.words[k + 1] = header_word(c.label, o.out);
    long long from = latest - skip[k];
    col.reserve(rows);
    for (long long i = 0; i < rows; ++i) {
      double x = c.values[from + i];
      if (c.u != o.out) x = x * gal_per(c.u) / gal_per(o.out);
      if (!(std::fabs(x) <= FLT_MAX)) {
        problems.push_back(where(c, c.line) + "sample " + std::to_string(from + i + 1) +
                           " is beyond the range of a float");
        return r;
      }
      col.push_back(static_cast<float>(x));
    }
  }
  return r;
}

std::string record_text(const record& r) {
  std::string out = r.words[0] + " " + r.words[1] + " " + r.words[2] + " " + r.words[3] + "\n";
  const size_t rows = r.columns[0].size();
  out.reserve(rows * 40);
  for (size_t i = 0; i < rows; ++i) {
    out += float_text(static_cast<float>(static_cast<double>(i) * r.dt));
    for (const auto& col : r.columns) {
      out += ' ';
      out += float_text(col[i]);
    }
    out += '\n';
  }
  return out;
}

}  // namespace import
