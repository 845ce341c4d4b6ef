// Command streams of the conformance pack (tests/data/conformance/README.md): replay them
// through the seven C functions, and read and write the recorded output lines
//
//   STEPS HEX0 ... HEX6
//
// (the number of Step calls since `create`, then the seven outputs as bit patterns).
#ifndef CORVANTA_TESTS_COMMANDSTREAM_H
#define CORVANTA_TESTS_COMMANDSTREAM_H

#include <cstdio>
#include <istream>
#include <string>
#include <vector>

#include "capi/corvanta.h"
#include "tools/common/CorvantaLibrary.h"

namespace corvanta::conformance {

struct OutputRecord {
  unsigned long long steps = 0;
  double outputs[CORVANTA_NUM_OUTPUTS] = {};
};

// Replays the stream `in` (named `name` in messages) through `api`, appending a record
// after every EVERY-th step of each `step` command.  Returns "" or the first problem,
// prefixed with the name and line.
std::string replay(std::istream &in, const std::string &name, const tools::CorvantaApi &api,
                   std::vector<OutputRecord> &records);

// Writes records in the expected-file format.
void writeRecords(std::FILE *out, const std::vector<OutputRecord> &records);

// Reads an expected file.  Returns "" or the first problem.
std::string readRecords(std::istream &in, const std::string &name, std::vector<OutputRecord> &records);

}  // namespace corvanta::conformance

#endif  // CORVANTA_TESTS_COMMANDSTREAM_H
