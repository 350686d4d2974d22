#pragma once
// An input file as its lines, and the refusal that names a line of it.
#include <stdexcept>
#include <string>
#include <vector>

namespace import {

// One problem with the input, reported as "FILE:LINE: text" (LINE 0 when no
// line is to blame). Thrown by the readers; the file's reading stops there.
struct refusal : std::runtime_error {
  std::string file;
  int line;
  refusal(std::string f, int l, const std::string& what)
      : std::runtime_error(what), file(std::move(f)), line(l) {}
};

// A file read in text mode: CR LF reads as LF, a Ctrl-Z byte ends the input,
// a last line without LF is a line. Line n of the file is lines[n - 1].
struct text_file {
  std::string name;
  std::vector<std::string> lines;

  // Throws a refusal naming the file (line 0) when it cannot be read.
  static text_file load(const std::string& name);
  static text_file from_text(const std::string& name, const std::string& bytes);

  [[noreturn]] void refuse(int line, const std::string& what) const {
    throw refusal(name, line, what);
  }
  int count() const { return static_cast<int>(lines.size()); }
  // Line n (1-based), or an empty text past the end.
  const std::string& at(int n) const;
};

// The text with blanks (space, tab) cut from both ends.
std::string trim(const std::string& s);
// Upper-case copy (ASCII).
std::string upper(std::string s);

}  // namespace import
