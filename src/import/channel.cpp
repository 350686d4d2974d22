#include "import/channel.h"

#include <cctype>

#include "import/numtext.h"

namespace import {

double gal_per(unit u) {
  switch (u) {
    case unit::g: return 980.665;
    case unit::mg: return 0.980665;
    case unit::ms2: return 100.0;
    case unit::gal: break;
  }
  return 1.0;
}

const char* unit_word(unit u) {
  switch (u) {
    case unit::g: return "g";
    case unit::mg: return "mg";
    case unit::ms2: return "ms-2";
    case unit::gal: break;
  }
  return "gal";
}

bool name_component(const std::string& text, std::string& label, bool& vertical) {
  std::string t = upper(trim(text));
  long long azimuth;
  if (parse_int(t, azimuth)) {
    if (azimuth < 0 || azimuth > 360) return false;
    label = "H" + std::to_string(azimuth);
    vertical = false;
    return true;
  }
  static const char* const verticals[] = {"UP", "DOWN", "DWN", "UD", "U-D", "V", "VER", "VERT",
                                          "VERTICAL", "Z"};
  for (const char* v : verticals)
    if (t == v) {
      label = t == "U-D" ? "UD" : t;
      vertical = true;
      return true;
    }
  // Anything else is a horizontal name of letters, digits and dashes; a
  // channel code (HNE, BHZ, HN1) is vertical when it ends in Z.
  std::string clean;
  for (char c : t) {
    if (std::isalnum(static_cast<unsigned char>(c))) clean += c;
    else if (c == '-' || c == '_' || c == '.') clean += '-';
    else return false;
  }
  if (clean.empty() || !std::isalnum(static_cast<unsigned char>(clean[0]))) return false;
  if (clean == "N-S" || clean == "E-W") clean.erase(1, 1);
  label = clean;
  vertical = clean.size() == 3 && clean[2] == 'Z';
  return true;
}

long long civil_day(long long y, int m, int d) {
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long doy = (153LL * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace import
