// Replays a command stream (format: tests/data/conformance/README.md) through a Corvanta
// library that it loads at run time and binds by name, the way a host program does, and
// prints every recorded output record in the format of the conformance pack's expected
// files.
//
//   corvanta_replay LIBRARY STREAM
//
// Exit status 0 on success, 2 on unreadable input or a library that cannot be loaded or
// lacks one of the seven functions.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/conformance/CommandStream.h"
#include "tools/common/CorvantaLibrary.h"

namespace {

int fail(const std::string &message) {
  std::fprintf(stderr, "corvanta_replay: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    return fail("usage: corvanta_replay LIBRARY STREAM");
  }
  try {
    const corvanta::tools::CorvantaLibrary library = corvanta::tools::CorvantaLibrary::open(argv[1]);
    std::ifstream stream(argv[2]);
    if (!stream) {
      return fail(std::string("cannot open ") + argv[2]);
    }
    std::vector<corvanta::conformance::OutputRecord> records;
    const std::string problem = corvanta::conformance::replay(stream, argv[2], library.api(), records);
    if (!problem.empty()) {
      return fail(problem);
    }
    corvanta::conformance::writeRecords(stdout, records);
  } catch (const corvanta::tools::LibraryError &error) {
    return fail(error.what());
  }
  return std::fflush(stdout) == 0 ? 0 : 2;
}
