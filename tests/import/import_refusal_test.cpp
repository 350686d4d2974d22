// What rspec-import refuses, and how: exit status 1 with one line per
// problem, "rspec-import: FILE:LINE: what is wrong", and nothing written (no
// output, no temporary file); bad usage gives 2. Also the options that turn
// a refusal into a record (--truncate, --no-vertical, --force).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "import/import_support.h"

namespace importtest {
namespace {

using files = std::map<std::string, std::string>;

const std::vector<long long> kTen = {1, -2, 3, -4, 5, -6, 7, -8, 9, 0};

cosmos_block channel(const char* code, int azimuth) {
  cosmos_block b;
  b.code = code;
  b.azimuth = azimuth;
  return b;
}

files three_at2(long long npts = -1) {
  std::vector<long long> v = npts < 0 ? kTen : std::vector<long long>(npts, 0);
  return {{"a.at2", at2(v, "360", 0)}, {"b.at2", at2(v, "270", 0)}, {"v.at2", at2(v, "UP", 0)}};
}

struct refusal_case {
  const char* name;
  files in;
  std::vector<std::string> args;
  int status;
  std::string err;
};
void PrintTo(const refusal_case& c, std::ostream* os) { *os << c.name; }

// COSMOS data lines: 13 text lines, the integer header line and 10 lines,
// the real header line and 20 lines, the comment count and 2 comments.
constexpr int kCosmosData = 13 + 1 + 10 + 1 + 20 + 1 + 2 + 1;

std::vector<refusal_case> cases() {
  std::vector<refusal_case> c;
  const std::string usage =
      "usage: rspec-import [--unit gal|g|m/s2] [--truncate] [--no-vertical] [--force] -o OUT.dat FILE...\n";
  c.push_back({"NoArguments", {}, {}, 2, "rspec-import: no output file (-o OUT.dat)\n" + usage});
  c.push_back({"NoInput", {}, {"-o", "out.dat"}, 2, "rspec-import: no input file\n" + usage});
  c.push_back({"BadUnit", three_at2(), {"--unit", "cm", "-o", "out.dat", "a.at2"}, 2,
               "rspec-import: --unit takes gal, g or m/s2\n" + usage});
  c.push_back({"UnknownOption", three_at2(), {"-x", "-o", "out.dat", "a.at2"}, 2,
               "rspec-import: unknown option -x\n" + usage});
  c.push_back({"MissingFile", three_at2(), {"-o", "out.dat", "a.at2", "nothere.at2", "v.at2"}, 1,
               "rspec-import: nothere.at2: No such file or directory\n"});
  c.push_back({"InputIsADirectory", three_at2(), {"-o", "out.dat", "a.at2", ".", "v.at2"}, 1,
               "rspec-import: .: Is a directory\n"});
  c.push_back({"Unrecognised", {{"junk.txt", "time acc\n0 1\n"}}, {"-o", "out.dat", "junk.txt"}, 1,
               "rspec-import: junk.txt:1: not a record this program reads (SMC, COSMOS V1/V2, PEER AT2, "
               "K-NET/KiK-net)\n"});
  {
    files in = three_at2();
    in["a.at2"] = at2(kTen, "360", 0, 11);
    in["b.at2"] = at2(kTen, "270", 1, 12);  // and a second bad file: both are reported
    c.push_back({"FewerSamplesThanDeclared", in, {"-o", "out.dat", "a.at2", "b.at2", "v.at2"}, 1,
                 "rspec-import: a.at2:6: the file ends after 10 of the 11 declared samples\n"
                 "rspec-import: b.at2:6: the file ends after 10 of the 12 declared samples\n"});
  }
  {
    files in = three_at2();
    in["b.at2"] = at2(kTen, "270", 0, -1, ".0100");
    c.push_back({"UnequalIntervals", in, {"-o", "out.dat", "a.at2", "b.at2", "v.at2"}, 1,
                 "rspec-import: b.at2:4: sampling interval 0.01 s differs from 0.005 s of a.at2 "
                 "(components are never resampled)\n"});
  }
  {
    files in = three_at2();
    in["b.at2"] = at2(kTen, "270", 0, -1, "0.00500001");  // two millionths apart
    c.push_back({"IntervalsJustApart", in, {"-o", "out.dat", "a.at2", "b.at2", "v.at2"}, 1,
                 "rspec-import: b.at2:4: sampling interval 0.00500001 s differs from 0.005 s of a.at2 "
                 "(components are never resampled)\n"});
  }
  {
    files in;
    in["a.at2"] = at2(kTen, "360", 0, -1, "1E-50");
    in["b.at2"] = at2(kTen, "270", 0, -1, "1E-50");
    in["v.at2"] = at2(kTen, "UP", 0, -1, "1E-50");
    c.push_back({"IntervalBeyondAFloat", in, {"-o", "out.dat", "a.at2", "b.at2", "v.at2"}, 1,
                 "rspec-import: a.at2:4: sampling interval 1e-50 s: the times it gives are beyond the range "
                 "of a float\n"});
  }
  {
    // 1e30 samples a second and starts a second apart: an offset of 1e30
    // samples, far beyond the records.
    files in;
    const char* names[3] = {"360", "270", "UP"};
    for (int k = 0; k < 3; ++k) {
      std::string t = smc(kTen, names[k]);
      t.replace(t.find("  0.2000000E+03"), 15, "  0.1000000E+31");
      if (k == 1) t.replace(t.find("         4         0"), 20, "         4         1");
      in["c" + std::to_string(k) + ".smc"] = t;
    }
    c.push_back({"StartsFarApart", in, {"-o", "out.dat", "c0.smc", "c1.smc", "c2.smc"}, 1,
                 "rspec-import: c0.smc:14: the components have no samples in common\n"});
  }
  {
    cosmos_block late = channel("HNE", 90);
    late.second = 0.0025;
    files in = {{"n.v1", cosmos(channel("HNN", 0), kTen)}, {"e.v1", cosmos(late, kTen)},
                {"z.v1", cosmos(channel("HNZ", 400), kTen)}};
    c.push_back({"StartOffsetNotWholeSamples", in, {"-o", "out.dat", "n.v1", "e.v1", "z.v1"}, 1,
                 "rspec-import: e.v1:" + std::to_string(kCosmosData) +
                     ": starts 0.5 samples after the earliest component: not a whole number of samples\n"});
    // Ten samples, and the other two start after them: nothing in common
    // (the first component's shortfall must not be forgotten).
    cosmos_block later_e = channel("HNE", 90), later_z = channel("HNZ", 400);
    later_e.second = later_z.second = 0.5;
    files apart = {{"n.v1", cosmos(channel("HNN", 0), kTen)}, {"e.v1", cosmos(later_e, kTen)},
                   {"z.v1", cosmos(later_z, kTen)}};
    c.push_back({"NothingInCommon", apart, {"-o", "out.dat", "n.v1", "e.v1", "z.v1"}, 1,
                 "rspec-import: n.v1:" + std::to_string(kCosmosData) +
                     ": the components have no samples in common\n"});
    // The late one first: still it, not the others, starts after the earliest.
    c.push_back({"StartOffsetNotWholeSamplesListedFirst", in, {"-o", "out.dat", "e.v1", "n.v1", "z.v1"}, 1,
                 "rspec-import: e.v1:" + std::to_string(kCosmosData) +
                     ": starts 0.5 samples after the earliest component: not a whole number of samples\n"});
  }
  c.push_back({"OverCapacity", three_at2(33001), {"-o", "out.dat", "a.at2", "b.at2", "v.at2"}, 1,
               "rspec-import: a.at2:4: 33001 samples exceed the program's capacity of 33000 "
               "(--truncate keeps the first 33000)\n"});
  {
    files in = three_at2();
    in["z.at2"] = at2(kTen, "DWN", 0);
    c.push_back({"TwoVerticals", in, {"-o", "out.dat", "a.at2", "b.at2", "v.at2", "z.at2"}, 1,
                 "rspec-import: z.at2:4: 2 vertical components found, the record takes one\n"});
  }
  {
    std::string big = at2(kTen, "360", 0);
    big.replace(big.find("1.0000000E-05"), 13, "1.0000000E+39");  // g, beyond a float in gal
    files in = three_at2();
    in["a.at2"] = big;
    c.push_back({"SampleBeyondAFloat", in, {"-o", "out.dat", "a.at2", "b.at2", "v.at2"}, 1,
                 "rspec-import: a.at2:4: sample 1 is beyond the range of a float\n"});
  }
  {
    files in = three_at2();
    in["a.at2"] = at2(kTen, "360", 0, 5);
    c.push_back({"MoreSamplesThanDeclared", in, {"-o", "out.dat", "a.at2", "b.at2", "v.at2"}, 1,
                 "rspec-import: a.at2:6: values after the 5 declared\n"});
    cosmos_block b = channel("HNN", 0);
    b.npts = 9;
    c.push_back({"CosmosMoreSamplesThanDeclared", {{"n.v2", cosmos(b, kTen)}}, {"-o", "out.dat", "n.v2"}, 1,
                 "rspec-import: n.v2:" + std::to_string(kCosmosData + 10) +
                     ": expected End-of-data after the 9 samples\n"});
  }
  c.push_back({"NoVertical", three_at2(), {"-o", "out.dat", "a.at2", "b.at2"}, 1,
               "rspec-import: b.at2:4: no vertical component found (--no-vertical writes a zero column "
               "instead)\n"});
  {
    files in = three_at2();
    in["c.at2"] = at2(kTen, "90", 0);
    c.push_back({"ThreeHorizontals", in, {"-o", "out.dat", "a.at2", "b.at2", "c.at2", "v.at2"}, 1,
                 "rspec-import: c.at2:4: 3 horizontal components found, the record takes two: "
                 "H360 (a.at2) H270 (b.at2) H90 (c.at2)\n"});
  }
  {
    std::vector<long long> v = kTen;
    v[4] = -99900000;  // -999 g, the declared no-data value
    files in = {{"n.v1", cosmos(channel("HNN", 0), v)}, {"z.v1", cosmos(channel("HNZ", 400), kTen)}};
    c.push_back({"CosmosNoDataValue", in, {"-o", "out.dat", "n.v1", "z.v1"}, 1,
                 "rspec-import: n.v1:" + std::to_string(kCosmosData + 5) +
                     ": the no-data value -9.990000E+02 stands among the samples\n"});
  }
  {
    cosmos_block counts = channel("HNN", 0);
    counts.unit_code = 50;
    c.push_back({"CosmosCounts", {{"n.v0", cosmos(counts, kTen)}}, {"-o", "out.dat", "n.v0"}, 1,
                 "rspec-import: n.v0:15: the samples are counts (unit code 50): a record in physical "
                 "units is needed\n"});
  }
  {
    cosmos_block vel = channel("HNN", 0);
    vel.quantity = 2;
    vel.unit_code = 5;
    c.push_back({"CosmosNoAccelerationBlock", {{"n.v2", cosmos(vel, kTen)}}, {"-o", "out.dat", "n.v2"}, 1,
                 "rspec-import: n.v2:1: no acceleration block (integer header value 2 is 1 for "
                 "acceleration)\n"});
  }
  {
    cosmos_block b = channel("HNN", 0);
    b.ms = -999.0;
    c.push_back({"CosmosNoInterval", {{"n.v2", cosmos(b, kTen)}}, {"-o", "out.dat", "n.v2"}, 1,
                 "rspec-import: n.v2:38: no sampling interval (real header value 62, in milliseconds)\n"});
  }
  {
    // A text-line count far beyond the file is refused at once, not walked.
    std::string b = cosmos(channel("HNN", 0), kTen);
    b.replace(b.find("with 13 text"), 12, "with 99999999999 text");
    c.push_back({"CosmosTextLinesBeyondTheFile", {{"n.v2", b}}, {"-o", "out.dat", "n.v2"}, 1,
                 "rspec-import: n.v2:" + std::to_string(kCosmosData + 11) +
                     ": the file ends inside the 99999999999 text lines\n"});
  }
  {
    // An I8 field read as a real could hold any number; a start year of
    // 1E300 is no year.
    std::string b = cosmos(channel("HNN", 0), kTen);
    b.replace(b.find("    1989"), 8, "   1E300");
    c.push_back({"CosmosIntegerHeaderNotAnInteger", {{"n.v2", b}}, {"-o", "out.dat", "n.v2"}, 1,
                 "rspec-import: n.v2:18: integer header value 40 is no integer of at most 9 digits\n"});
  }
  c.push_back({"SmcNoDataValue",
               {{"a.smc", smc_with("2 CORRECTED ACCELEROGRAM", "360", {" 1.5057E+0-2.2223E+0 1.7000E38"}, 3)}},
               {"-o", "out.dat", "a.smc"}, 1,
               "rspec-import: a.smc:29: the no-data value 1.7000E38 stands among the samples\n"});
  c.push_back({"SmcFieldNotANumber",
               {{"a.smc", smc_with("2 CORRECTED ACCELEROGRAM", "360", {" 1.5057E+0-2.22x3E+0 1.7000E+0"}, 3)}},
               {"-o", "out.dat", "a.smc"}, 1, "rspec-import: a.smc:29: not a number: \"-2.22x3E+0\"\n"});
  c.push_back({"SmcVelocity", {{"a.smc", smc_with("3 VELOCITY", "360", {" 1.5057E+0"}, 1)}}, {"-o", "out.dat", "a.smc"}, 1,
               "rspec-import: a.smc:1: not an accelerogram: \"3 VELOCITY\"\n"});
  {
    std::string vel = at2(kTen, "360", 0);
    vel.replace(vel.find("ACCELERATION TIME SERIES IN UNITS OF G"), 38, "VELOCITY TIME SERIES IN UNITS OF CM/S");
    c.push_back({"At2Velocity", {{"a.vt2", vel}}, {"-o", "out.dat", "a.vt2"}, 1,
                 "rspec-import: a.vt2:3: not an acceleration record: \"VELOCITY TIME SERIES IN UNITS OF CM/S\"\n"});
  }
  {
    std::string k = knet(kTen, "N-S");
    k.replace(k.rfind("-8"), 2, "-8.5");
    c.push_back({"KnetCountNotInteger", {{"a.knet", k}}, {"-o", "out.dat", "a.knet"}, 1,
                 "rspec-import: a.knet:18: not an integer count: \"-8.5\"\n"});
  }
  return c;
}

class Refusals : public ::testing::TestWithParam<refusal_case> {};

TEST_P(Refusals, ReportedAndNothingWritten) {
  const refusal_case& c = GetParam();
  temp_dir dir;
  for (const auto& [name, text] : c.in) write_file(dir / name, text);
  auto r = run_import(dir, c.args);
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.out, "");
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    if (!c.in.count(e.path().filename().string())) left.push_back(e.path().filename().string());
  EXPECT_TRUE(left.empty()) << "left behind: " << left[0];
}

INSTANTIATE_TEST_SUITE_P(Import, Refusals, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The options that turn a refusal into a record, and an existing output.
TEST(ImportOptions, TruncateNoVerticalAndForce) {
  temp_dir dir;
  for (const auto& [name, text] : three_at2(33001)) write_file(dir / name, text);
  auto r = run_import(dir, {"--truncate", "-o", "out.dat", "a.at2", "b.at2", "v.at2"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "rspec-import: kept the first 33000 of 33001 samples (--truncate)\n");
  record big = parse_record(read_file(dir / "out.dat"));
  EXPECT_EQ(big.t.size(), 33000u);
  EXPECT_EQ(big.t.back(), static_cast<float>(32999 * 0.005));
  // Exactly the capacity is no truncation.
  for (const auto& [name, text] : three_at2(33000)) write_file(dir / name, text);
  r = run_import(dir, {"--force", "-o", "out.dat", "a.at2", "b.at2", "v.at2"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(parse_record(read_file(dir / "out.dat")).t.size(), 33000u);
  // Intervals within a relative 1e-6 are one: the first file's is written.
  write_file(dir / "b.at2", at2(kTen, "270", 0, -1, "0.005000004"));
  write_file(dir / "a.at2", at2(kTen, "360", 0));
  write_file(dir / "v.at2", at2(kTen, "UP", 0));
  r = run_import(dir, {"--force", "-o", "out.dat", "b.at2", "a.at2", "v.at2"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(parse_record(read_file(dir / "out.dat")).t[1], 0.005000004f);

  // An existing output is left alone...
  for (const auto& [name, text] : three_at2()) write_file(dir / name, text);
  const std::string before = read_file(dir / "out.dat");
  r = run_import(dir, {"--no-vertical", "-o", "out.dat", "a.at2", "b.at2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "rspec-import: out.dat: exists (--force replaces it)\n");
  EXPECT_EQ(read_file(dir / "out.dat"), before);
  // ... unless --force.
  r = run_import(dir, {"--no-vertical", "--force", "-o", "out.dat", "a.at2", "b.at2"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "rspec-import: no vertical component: column 3 is zeros (--no-vertical)\n");
  record small = parse_record(read_file(dir / "out.dat"));
  EXPECT_EQ(small.header, "time(s) H360(gal) H270(gal) NO-VERTICAL(gal)");
  ASSERT_EQ(small.t.size(), kTen.size());
  EXPECT_EQ(small.a[2], std::vector<float>(kTen.size(), 0.0f));
  EXPECT_EQ(small.a[0][1], static_cast<float>(-2e-5 * 980.665));
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 4u);  // the three inputs and out.dat: no temporary file left
  // The record gets a new file's mode, not the temporary file's private one.
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(static_cast<mode_t>(std::filesystem::status(dir / "out.dat").permissions()), 0666 & ~mask);
}

// Header words hold at most 20 characters and nothing the record reader
// takes for a separator: a long component name is cut, odd characters are
// dashes, and the unit m/s² is written without its slash.
TEST(ImportOptions, HeaderWordsFitTheReader) {
  temp_dir dir;
  write_file(dir / "a.at2", at2(kTen, "Channel_Number.Twenty Two", 0));
  write_file(dir / "b.at2", at2(kTen, "270", 0));
  write_file(dir / "v.at2", at2(kTen, "UP", 0));
  auto r = run_import(dir, {"--unit", "m/s2", "-o", "out.dat", "a.at2", "b.at2", "v.at2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "rspec-import: a.at2:2: cannot tell the component from the end of line 2: "
                   "\"Channel_Number.Twenty Two\"\n");
  write_file(dir / "a.at2", at2(kTen, "Channel_Number.Twenty-Two", 0));
  r = run_import(dir, {"--unit", "m/s2", "-o", "out.dat", "a.at2", "b.at2", "v.at2"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(parse_record(read_file(dir / "out.dat")).header, "time(s) CHANNEL-NUMBER(ms-2) H270(ms-2) UP(ms-2)");
}

}  // namespace
}  // namespace importtest
