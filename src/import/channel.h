#pragma once
// One component as a format reader hands it over.
#include <string>
#include <vector>

#include "import/source.h"

namespace import {

// Acceleration units: what a file holds and what the output is written in.
enum class unit { gal, g, mg, ms2 };
double gal_per(unit u);            // 1 g = 980.665 cm/s²
const char* unit_word(unit u);     // "gal", "g", "mg", "ms-2" (header words hold no slash)

struct channel {
  std::string file;
  int line = 0;          // the line that declares its samples (for messages)
  std::string label;     // e.g. "H360", "HNE", "UP"
  bool vertical = false;
  double dt = 0;         // s
  int dt_line = 0;       // the line that gives dt
  bool has_start = false;
  long long start_day = 0;  // the first sample's day, counted from 1970-01-01
  double start_second = 0;  // and its time of day in s (kept apart for precision)
  unit u = unit::gal;
  std::vector<double> values;
};

// A component name as a file writes it ("360", "up", "HNZ", "N-S", "DWN",
// ...) made into a label and the vertical mark; an azimuth in degrees
// becomes "H" and the azimuth. False when nothing can be made of it.
bool name_component(const std::string& text, std::string& label, bool& vertical);

// Days since 1970-01-01 of a (proleptic Gregorian) civil date.
long long civil_day(long long year, int month, int day);

}  // namespace import
