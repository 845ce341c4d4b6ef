// The numeric options of a standard test: their declarations, and option text as given
// on a command line or by a host turned into checked values.
#ifndef CORVANTA_TESTSUITE_TESTOPTIONS_H
#define CORVANTA_TESTSUITE_TESTOPTIONS_H

#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace corvanta::testsuite {

// A bad test name or option; the message says what is accepted.
class TestOptionError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

struct TestOption {
  std::string name;    // as on the command line, without "--"
  double value = 0.0;  // default; NaN when `vehicleParameter` gives it
  std::string unit;
  std::string help;
  double min = 0.0;  // accepted range, inclusive
  double max = 0.0;
  // When not empty: the default is this parameter of the vehicle the test runs (its
  // parameter set), read when the test starts.
  std::string vehicleParameter = {};
};

using OptionValues = std::map<std::string, double>;

// Options given as (name, text) pairs turned into values, defaults filled in (NaN for a
// default the vehicle gives).  Throws TestOptionError for an unknown name (with the
// closest known one), a repeated name, a text that is not a number or a value outside
// the option's range.  `test` names the test in messages.
OptionValues resolveOptions(const std::string &test, const std::vector<TestOption> &options,
                            const std::vector<std::pair<std::string, std::string>> &given);

// "a, b, c" with `prefix` before every name.
std::string joinedNames(const std::vector<std::string> &names, const std::string &prefix);

// " (did you mean 'PREFIXNAME'?)" for the known name closest to `name`, or "".
std::string suggestion(const std::string &name, const std::vector<std::string> &known, const std::string &prefix);

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_TESTOPTIONS_H
