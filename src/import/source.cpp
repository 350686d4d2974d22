#include "import/source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace import {

text_file text_file::load(const std::string& name) {
  int fd = open(name.c_str(), O_RDONLY);
  if (fd < 0) throw refusal(name, 0, std::strerror(errno));
  std::string bytes;
  char buf[1 << 16];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {  // a directory, an I/O error
      int err = errno;
      close(fd);
      throw refusal(name, 0, std::strerror(err));
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return from_text(name, bytes);
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
