// rspec-import: reads one record's components from SMC, COSMOS V1/V2, PEER
// AT2 and K-NET/KiK-net files and writes a record file the spectrum program
// reads. Exit status 0 when written, 1 when the input is refused (one line
// per problem on standard error, nothing written), 2 for bad usage.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "import/assemble.h"
#include "import/formats.h"

namespace {

const char kUsage[] =
    "usage: rspec-import [--unit gal|g|m/s2] [--truncate] [--no-vertical] [--force] -o OUT.dat FILE...\n";

int usage(const std::string& what) {
  std::fprintf(stderr, "rspec-import: %s\n%s", what.c_str(), kUsage);
  return 2;
}

void say(const std::string& line) { std::fprintf(stderr, "rspec-import: %s\n", line.c_str()); }

// Writes the text to a temporary file beside `out`, then puts it in place:
// by rename with --force, otherwise by link, which never replaces a file.
bool put_in_place(const std::string& out, const std::string& text, bool force) {
  std::string tmp = out + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) {
    say(out + ": " + std::strerror(errno));
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  int err = done == text.size() ? 0 : errno;
  // mkstemp makes the file private; give it the mode a new file gets.
  mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd, 0666 & ~mask) != 0 && !err) err = errno;
  if (close(fd) != 0 && !err) err = errno;
  if (!err) {
    if (force ? rename(tmp.c_str(), out.c_str()) != 0 : link(tmp.c_str(), out.c_str()) != 0) err = errno;
  }
  if (err || !force) unlink(tmp.c_str());
  if (err == EEXIST) say(out + ": exists (--force replaces it)");
  else if (err) say(out + ": " + std::strerror(err));
  return err == 0;
}

}  // namespace

int main(int argc, char** argv) {
  import::assembly_options opt;
  bool force = false;
  std::string out;
  std::vector<std::string> files;
  for (int k = 1; k < argc; ++k) {
    std::string a = argv[k];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--unit" || a.rfind("--unit=", 0) == 0) {
      std::string u = a == "--unit" ? (k + 1 < argc ? argv[++k] : "") : a.substr(7);
      if (u == "gal") opt.out = import::unit::gal;
      else if (u == "g") opt.out = import::unit::g;
      else if (u == "m/s2") opt.out = import::unit::ms2;
      else return usage("--unit takes gal, g or m/s2");
    } else if (a == "--truncate") {
      opt.truncate = true;
    } else if (a == "--no-vertical") {
      opt.no_vertical = true;
    } else if (a == "--force") {
      force = true;
    } else if (a == "-o") {
      if (k + 1 >= argc) return usage("-o needs a file name");
      out = argv[++k];
    } else if (a == "--") {
      for (++k; k < argc; ++k) files.push_back(argv[k]);
    } else if (a.size() > 1 && a[0] == '-') {
      return usage("unknown option " + a);
    } else {
      files.push_back(a);
    }
  }
  if (out.empty()) return usage("no output file (-o OUT.dat)");
  if (files.empty()) return usage("no input file");
  if (!force && access(out.c_str(), F_OK) == 0) {
    say(out + ": exists (--force replaces it)");
    return 1;
  }

  std::vector<std::string> problems;
  std::vector<import::channel> components;
  for (const std::string& name : files) {
    try {
      import::text_file f = import::text_file::load(name);
      for (auto& c : import::read_components(f)) components.push_back(std::move(c));
    } catch (const import::refusal& r) {
      problems.push_back(r.file + (r.line > 0 ? ":" + std::to_string(r.line) : std::string()) + ": " +
                         r.what());
    }
  }
  import::record rec;
  if (problems.empty()) rec = import::assemble(components, opt, problems);
  if (!problems.empty()) {
    for (const auto& p : problems) say(p);
    return 1;
  }
  for (const auto& n : rec.notes) say(n);
  return put_in_place(out, import::record_text(rec), force) ? 0 : 1;
}
