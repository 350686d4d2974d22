#include "import/source.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace import {

text_file text_file::load(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) throw refusal(name, 0, std::strerror(errno));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw refusal(name, 0, std::strerror(errno));
  return from_text(name, bytes.str());
}

text_file text_file::from_text(const std::string& name, const std::string& bytes) {
  text_file f;
  f.name = name;
  std::string::size_type end = bytes.find('\x1a');
  if (end == std::string::npos) end = bytes.size();
  std::string::size_type at = 0;
  while (at < end) {
    std::string::size_type nl = bytes.find('\n', at);
    if (nl == std::string::npos || nl > end) nl = end;
    std::string line = bytes.substr(at, nl - at);
    if (nl < end && !line.empty() && line.back() == '\r') line.pop_back();
    f.lines.push_back(std::move(line));
    at = nl + 1;
  }
  return f;
}

const std::string& text_file::at(int n) const {
  static const std::string none;
  return n >= 1 && n <= count() ? lines[n - 1] : none;
}

std::string trim(const std::string& s) {
  auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

}  // namespace import
