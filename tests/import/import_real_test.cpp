// rspec-import on the real files beside the project (../shared/data); each
// test skips, saying so, where its files are absent.
// - The three Loma Prieta SMC files give exactly the values of lomap_saf.dat,
//   and the spectrum program gives the same table on both records; each
//   column's peak is the one its file's line 7 states.
// - The Tonopah COSMOS Volume 1 set gives 19200 rows at 0.01 s, each column's
//   peak being the one its file's text line 11 states, at the stated time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "import/import_support.h"

namespace importtest {
namespace {

bool all_present(const std::vector<std::filesystem::path>& files) {
  for (const auto& f : files)
    if (!std::filesystem::exists(f)) return false;
  return true;
}

TEST(RealFiles, LomaPrietaSmcGivesTheConvertedRecord) {
  const auto dir = kData / "smc_loma_prieta_1989";
  const std::vector<std::filesystem::path> in = {dir / "0111a.smc", dir / "0111c.smc", dir / "0111b.smc"};
  if (!all_present({in[0], in[1], in[2], kData / "lomap_saf.dat"}))
    GTEST_SKIP() << "skipped: the SMC files or lomap_saf.dat are absent from " << kData;
  temp_dir t;
  auto r = run_import(t, {"-o", "lomap.dat", in[0].string(), in[1].string(), in[2].string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "rspec-import: " + in[1].string() + ": H270: left out 3 samples after the common end\n"
            "rspec-import: " + in[2].string() + ": UP: left out 1 sample after the common end\n");
  // The bundled example is this very import.
  EXPECT_EQ(read_file(t / "lomap.dat"), read_file(RSPEC_SOURCE_DIR "/examples/loma_prieta.dat"));
  record got = parse_record(read_file(t / "lomap.dat"));
  record want = parse_record(read_file(kData / "lomap_saf.dat"));
  EXPECT_EQ(got.header, want.header);
  ASSERT_EQ(got.t.size(), 6001u);
  EXPECT_EQ(got.t, want.t);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(got.a[k], want.a[k]) << "column " << k + 1;
  // Each file's line 7 states its peak to a tenth: "pk     =    104.4".
  for (int k = 0; k < 3; ++k) {
    std::ifstream f(in[k]);
    std::string line;
    for (int n = 0; n < 7; ++n) std::getline(f, line);
    double pk = 0;
    ASSERT_EQ(std::sscanf(line.c_str() + line.find("pk"), "pk = %lf", &pk), 1) << line;
    float top = 0;
    for (float a : got.a[k]) top = std::max(top, std::fabs(a));
    EXPECT_EQ(std::round(top * 10.0) / 10.0, pk) << in[k];
  }

#ifdef RSPEC_PROGRAM
  std::filesystem::copy_file(kData / "lomap_saf.dat", t / "lomap_saf.dat");
  testsupport::run_options o;
  o.cwd = t.path().string();
  auto a = testsupport::run({RSPEC_PROGRAM}, "lomap.dat\n0.05\nmine.csv\n", o);
  auto b = testsupport::run({RSPEC_PROGRAM}, "lomap_saf.dat\n0.05\ntheirs.csv\n", o);
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(a.out, b.out);  // the echo of nn and dt
  EXPECT_EQ(read_file(t / "mine.csv"), read_file(t / "theirs.csv"));
#endif
}

TEST(RealFiles, TonopahCosmosPeaksAsTheHeadersState) {
  const auto dir = kData / "cosmos_tonopah_2020";
  std::vector<std::filesystem::path> in;
  for (const char* c : {"HNE", "HNN", "HNZ"}) in.push_back(dir / ("NCMDH--n.00725272." + std::string(c) + ".--.V1c"));
  if (!all_present(in)) GTEST_SKIP() << "skipped: the COSMOS files are absent from " << dir;
  temp_dir t;
  auto r = run_import(t, {"-o", "tonopah.dat", in[0].string(), in[1].string(), in[2].string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  record got = parse_record(read_file(t / "tonopah.dat"));
  EXPECT_EQ(got.header, "time(s) HNE(gal) HNN(gal) HNZ(gal)");
  ASSERT_EQ(got.t.size(), 19200u);
  EXPECT_EQ(got.t[1] - got.t[0], 0.01f);
  for (int k = 0; k < 3; ++k) {
    // Text line 11: "Processed: ..., Max =  -16.586 cm/sec2 at   49.980 sec"
    std::ifstream f(in[k]);
    std::string line;
    for (int n = 0; n < 11; ++n) std::getline(f, line);
    double peak = 0, at = 0;
    ASSERT_EQ(std::sscanf(line.c_str() + line.find("Max ="), "Max = %lf cm/sec2 at %lf", &peak, &at), 2) << line;
    size_t top = 0;
    for (size_t i = 0; i < got.t.size(); ++i)
      if (std::fabs(got.a[k][i]) > std::fabs(got.a[k][top])) top = i;
    SCOPED_TRACE(in[k].filename().string() + ": " + line);
    EXPECT_EQ(std::round(got.a[k][top] * 1000.0) / 1000.0, peak);
    EXPECT_EQ(top, static_cast<size_t>(std::llround(at / 0.01)));
    EXPECT_FLOAT_EQ(got.t[top], static_cast<float>(at));
  }
}

}  // namespace
}  // namespace importtest
