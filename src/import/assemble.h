#pragma once
// From the components of the input files to the three columns of a record.
#include <string>
#include <vector>

#include "import/channel.h"

namespace import {

constexpr long long kCapacity = 33000;  // rows the spectrum program holds

struct assembly_options {
  unit out = unit::gal;
  bool truncate = false;
  bool no_vertical = false;
};

// The record ready to write: floats as the spectrum program will hold them.
struct record {
  std::string words[4];
  double dt = 0;
  std::vector<float> columns[3];
  std::vector<std::string> notes;  // what was done that the user should hear of
};

// Picks the two horizontals (in the order met) and the vertical, checks
// their intervals, aligns them on their start times and keeps the common
// overlap, applies the capacity and converts the unit. Problems are added to
// `problems` as "FILE:LINE: text"; the record is valid when none were added.
record assemble(const std::vector<channel>& components, const assembly_options& o,
                std::vector<std::string>& problems);

// The record's text: the four header words, then "time a1 a2 a3" rows.
std::string record_text(const record& r);

}  // namespace import
