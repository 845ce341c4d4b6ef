// Compares two output dumps (lines "STEPS HEX0 ... HEX6", as written by corvanta_replay,
// `conformance_runner --dump` and the conformance pack's expected files) record by record.
//
//   compare_dumps REFERENCE CANDIDATE [--tolerance ABS0,REL0:...:ABS6,REL6]
//                 [--low-speed V] [--label TEXT] [--summary FILE]
//   compare_dumps --aggregate SUMMARY...
//
// Without --tolerance every output must have the same bits (any NaN matches any NaN).
// With it, output k of a record passes when both are NaN, or both are equal, or both are
// finite and |a - b| <= ABSk + RELk * max(|a|, |b|).  --low-speed V (with --tolerance)
// also accepts a differing TipOverIndicator where |LongitudinalSpeed| < V in both dumps.
// The record lists must have the same length and the same step counts either way.
//
// Prints, per output, the number of records with identical bits and the largest absolute
// and relative difference with the step where it occurs (--summary also writes them to
// FILE, one line per output); exit status 0 when all pass, 1 on a difference beyond the
// tolerance (the first one is reported), 2 on bad input.  --aggregate reads summary
// files and prints the largest differences of each output over all of them.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

namespace {

constexpr int kOutputs = 7;
const char *const kNames[kOutputs] = {"PositionX",  "PositionY", "Heading",         "LongitudinalSpeed",
                                      "PitchAngle", "RollAngle", "TipOverIndicator"};

struct Record {
  unsigned long long steps = 0;
  std::uint64_t bits[kOutputs] = {};
};

bool readDump(const char *path, std::vector<Record> &records) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "compare_dumps: cannot open %s\n", path);
    return false;
  }
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    // Dumps written under Windows end their lines with CR LF.
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    std::istringstream words(line);
    Record record;
    if (!(words >> record.steps)) {
      if (line.find_first_not_of(" \t") == std::string::npos) {
        continue;
      }
      std::fprintf(stderr, "compare_dumps: %s:%d: not a record: %s\n", path, lineNumber, line.c_str());
      return false;
    }
    for (std::uint64_t &bits : record.bits) {
      std::string hex;
      if (!(words >> hex) || hex.size() != 16 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        std::fprintf(stderr, "compare_dumps: %s:%d: expected seven 16-digit hex outputs\n", path, lineNumber);
        return false;
      }
      bits = std::stoull(hex, nullptr, 16);
    }
    std::string extra;
    if (words >> extra) {
      std::fprintf(stderr, "compare_dumps: %s:%d: more than seven outputs\n", path, lineNumber);
      return false;
    }
    records.push_back(record);
  }
  return true;
}

bool parseTolerance(const std::string &text, double absolute[kOutputs], double relative[kOutputs]) {
  std::istringstream in(text);
  std::string item;
  int k = 0;
  while (std::getline(in, item, ':')) {
    if (k == kOutputs) {
      return false;
    }
    const std::size_t comma = item.find(',');
    if (comma == std::string::npos) {
      return false;
    }
    try {
      absolute[k] = std::stod(item.substr(0, comma));
      relative[k] = std::stod(item.substr(comma + 1));
    } catch (...) {
      return false;
    }
    if (!(absolute[k] >= 0.0) || !(relative[k] >= 0.0)) {
      return false;
    }
    ++k;
  }
  return k == kOutputs;
}

struct Extreme {
  double value = 0.0;
  unsigned long long steps = 0;
};

struct SummaryLine {
  std::string label;
  double absolute = 0.0;
  unsigned long long absoluteStep = 0;
  double relative = 0.0;
  unsigned long long relativeStep = 0;
};

int aggregate(int count, char **paths) {
  SummaryLine largestAbsolute[kOutputs];
  SummaryLine largestRelative[kOutputs];
  unsigned long long identical[kOutputs] = {};
  unsigned long long total[kOutputs] = {};
  for (int i = 0; i < count; ++i) {
    std::ifstream in(paths[i]);
    if (!in) {
      std::fprintf(stderr, "compare_dumps: cannot open %s\n", paths[i]);
      return 2;
    }
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      SummaryLine entry;
      int k = -1;
      unsigned long long same = 0;
      unsigned long long records = 0;
      if (!(words >> entry.label >> k >> entry.absolute >> entry.absoluteStep >> entry.relative >> entry.relativeStep >>
            same >> records) ||
          k < 0 || k >= kOutputs) {
        std::fprintf(stderr, "compare_dumps: %s: not a summary line: %s\n", paths[i], line.c_str());
        return 2;
      }
      identical[k] += same;
      total[k] += records;
      if (entry.absolute > largestAbsolute[k].absolute || largestAbsolute[k].label.empty()) {
        largestAbsolute[k] = entry;
      }
      if (entry.relative > largestRelative[k].relative || largestRelative[k].label.empty()) {
        largestRelative[k] = entry;
      }
    }
  }
  std::printf("Largest differences over %d comparisons:\n", count);
  for (int k = 0; k < kOutputs; ++k) {
    std::printf("  %-18s identical %7llu/%-7llu max abs %.3e (%s, step %llu)  max rel %.3e (%s, step %llu)\n",
                kNames[k], identical[k], total[k], largestAbsolute[k].absolute, largestAbsolute[k].label.c_str(),
                largestAbsolute[k].absoluteStep, largestRelative[k].relative, largestRelative[k].label.c_str(),
                largestRelative[k].relativeStep);
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--aggregate") == 0) {
    return aggregate(argc - 2, argv + 2);
  }
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: compare_dumps REFERENCE CANDIDATE [--tolerance A,R:...] [--low-speed V] [--label TEXT] "
                 "[--summary FILE]\n       compare_dumps --aggregate SUMMARY...\n");
    return 2;
  }
  bool exact = true;
  double absolute[kOutputs] = {};
  double relative[kOutputs] = {};
  double lowSpeed = 0.0;
  std::string label = argv[2];
  std::string summary;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--tolerance") == 0 && i + 1 < argc) {
      if (!parseTolerance(argv[++i], absolute, relative)) {
        std::fprintf(stderr, "compare_dumps: --tolerance wants seven ABS,REL pairs separated by ':'\n");
        return 2;
      }
      exact = false;
    } else if (std::strcmp(argv[i], "--low-speed") == 0 && i + 1 < argc) {
      char *end = nullptr;
      lowSpeed = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || !(lowSpeed >= 0.0)) {
        std::fprintf(stderr, "compare_dumps: --low-speed wants a speed in m/s\n");
        return 2;
      }
    } else if (std::strcmp(argv[i], "--label") == 0 && i + 1 < argc) {
      label = argv[++i];
    } else if (std::strcmp(argv[i], "--summary") == 0 && i + 1 < argc) {
      summary = argv[++i];
    } else {
      std::fprintf(stderr, "compare_dumps: unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  if (exact && lowSpeed > 0.0) {
    std::fprintf(stderr, "compare_dumps: --low-speed needs --tolerance\n");
    return 2;
  }

  std::vector<Record> reference;
  std::vector<Record> candidate;
  if (!readDump(argv[1], reference) || !readDump(argv[2], candidate)) {
    return 2;
  }
  if (reference.empty()) {
    std::fprintf(stderr, "compare_dumps: %s holds no records\n", argv[1]);
    return 2;
  }
  if (reference.size() != candidate.size()) {
    std::fprintf(stderr, "compare_dumps: %s: %zu records, %s: %zu records\n", argv[1], reference.size(), argv[2],
                 candidate.size());
    return 1;
  }

  constexpr int kSpeed = 3;
  constexpr int kTipOver = 6;
  int status = 0;
  std::size_t identicalRecords = 0;
  std::size_t lowSpeedTipOvers = 0;
  std::size_t identical[kOutputs] = {};
  Extreme largestAbsolute[kOutputs];
  Extreme largestRelative[kOutputs];
  for (std::size_t row = 0; row < reference.size(); ++row) {
    const Record &want = reference[row];
    const Record &got = candidate[row];
    if (want.steps != got.steps) {
      std::fprintf(stderr, "compare_dumps: record %zu: step %llu in %s, step %llu in %s\n", row + 1, want.steps,
                   argv[1], got.steps, argv[2]);
      return 1;
    }
    bool recordIdentical = true;
    for (int k = 0; k < kOutputs; ++k) {
      const double a = fromBits(want.bits[k]);
      const double b = fromBits(got.bits[k]);
      const bool bothNaN = std::isnan(a) && std::isnan(b);
      if (bothNaN || want.bits[k] == got.bits[k]) {
        ++identical[k];
        continue;
      }
      recordIdentical = false;
      bool pass = false;
      double difference = INFINITY;
      double scaled = INFINITY;
      if (std::isfinite(a) && std::isfinite(b)) {
        difference = std::fabs(a - b);
        const double magnitude = std::fmax(std::fabs(a), std::fabs(b));
        scaled = (magnitude > 0.0) ? difference / magnitude : 0.0;  // 0 for +0 against -0
        pass = !exact && difference <= absolute[k] + relative[k] * magnitude;
        if (!pass && k == kTipOver && lowSpeed > 0.0 && std::fabs(fromBits(want.bits[kSpeed])) < lowSpeed &&
            std::fabs(fromBits(got.bits[kSpeed])) < lowSpeed) {
          pass = true;
          ++lowSpeedTipOvers;
        }
      }
      if (difference > largestAbsolute[k].value) {
        largestAbsolute[k] = {difference, want.steps};
      }
      if (scaled > largestRelative[k].value) {
        largestRelative[k] = {scaled, want.steps};
      }
      if (!pass && status == 0) {
        std::fprintf(stderr,
                     "compare_dumps: %s: step %llu, %s: reference %016" PRIx64 " (%.17g), candidate %016" PRIx64
                     " (%.17g)%s\n",
                     label.c_str(), want.steps, kNames[k], want.bits[k], a, got.bits[k], b,
                     exact ? "" : ": beyond the tolerance");
        status = 1;
      }
    }
    if (recordIdentical) {
      ++identicalRecords;
    }
  }

  std::printf("%s: %zu of %zu records identical%s\n", label.c_str(), identicalRecords, reference.size(),
              exact ? " (exact comparison)" : "");
  if (lowSpeed > 0.0) {
    std::printf("  %zu TipOverIndicator differences accepted below %g m/s\n", lowSpeedTipOvers, lowSpeed);
  }
  for (int k = 0; k < kOutputs; ++k) {
    std::printf("  %-18s identical %6zu/%zu  max abs %.3e (step %llu)  max rel %.3e (step %llu)\n", kNames[k],
                identical[k], reference.size(), largestAbsolute[k].value, largestAbsolute[k].steps,
                largestRelative[k].value, largestRelative[k].steps);
  }
  if (!summary.empty()) {
    std::FILE *out = std::fopen(summary.c_str(), "w");
    if (out == nullptr) {
      std::fprintf(stderr, "compare_dumps: cannot write %s\n", summary.c_str());
      return 2;
    }
    for (int k = 0; k < kOutputs; ++k) {
      std::fprintf(out, "%s %d %.17g %llu %.17g %llu %zu %zu\n", label.c_str(), k, largestAbsolute[k].value,
                   largestAbsolute[k].steps, largestRelative[k].value, largestRelative[k].steps, identical[k],
                   reference.size());
    }
    if (std::fclose(out) != 0) {
      return 2;
    }
  }
  return status;
}
