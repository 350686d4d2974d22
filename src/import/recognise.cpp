#include "import/formats.h"

namespace import {

format recognise(const text_file& f) {
  const std::string first = upper(f.at(1));
  if (first.rfind("ORIGIN TIME", 0) == 0) return format::knet;
  if (first.find("(FORMAT V") != std::string::npos && first.find("TEXT LINES") != std::string::npos)
    return format::cosmos;
  for (int n = 1; n <= 7 && n <= f.count(); ++n) {
    const std::string line = upper(f.at(n));
    if (line.find("NPTS") != std::string::npos && line.find("DT") != std::string::npos)
      return format::at2;
  }
  // SMC: line 1 is a type digit and the type's name, the integer header
  // begins on line 12.
  std::string t = trim(first);
  if (t.size() > 2 && t[0] >= '0' && t[0] <= '9' && t[1] == ' ' && f.count() > 27 &&
      f.at(12).size() >= 80)
    return format::smc;
  return format::unknown;
}

std::vector<channel> read_components(const text_file& f) {
  switch (recognise(f)) {
    case format::smc: return read_smc(f);
    case format::cosmos: return read_cosmos(f);
    case format::at2: return read_at2(f);
    case format::knet: return read_knet(f);
    case format::unknown: break;
  }
  f.refuse(1, f.count() == 0 ? "an empty file"
                             : "not a record this program reads (SMC, COSMOS V1/V2, PEER AT2, "
                               "K-NET/KiK-net)");
}

}  // namespace import
