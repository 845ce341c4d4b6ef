// A scenario that cannot be used.  The message names the source (a file name, or a name
// the caller gave a text), the place in it and what was expected there:
//
//   SOURCE:LINE:COLUMN: problem     a JSON syntax error
//   SOURCE: JSON.PATH: problem      a JSON value, e.g. "events[2].ramp.Foo" or "top level"
//   SOURCE:LINE: problem            a line of recorded inputs
//   SOURCE: problem                 the source as a whole
//
// The parts stay available, so that every host can show or test them separately.
#ifndef CORVANTA_ENGINE_SCENARIOERROR_H
#define CORVANTA_ENGINE_SCENARIOERROR_H

#include <cstddef>
#include <stdexcept>
#include <string>

namespace corvanta::engine {

// Text taken from a source, made safe to quote in a message: at most `limit` bytes of it,
// with control characters and bytes that are not valid UTF-8 written as
// \xHH escapes, and "..." when it was cut.  The excerpt itself stops once it reaches
// `outputLimit` bytes, so that escapes (four bytes for one) cannot multiply its length.
inline constexpr std::size_t kExcerptBytes = 48;
std::string boundedExcerpt(const std::string &text, std::size_t limit = kExcerptBytes,
                           std::size_t outputLimit = static_cast<std::size_t>(-1));
// The same between double quotes.
std::string quotedExcerpt(const std::string &text, std::size_t limit = kExcerptBytes);

// Longest problem or path a ScenarioError keeps; longer ones are cut like excerpts.
inline constexpr std::size_t kMessagePartBytes = 512;

class ScenarioError : public std::runtime_error {
 public:
  static ScenarioError atPosition(const std::string &source, std::size_t line, std::size_t column,
                                  const std::string &problem);
  // An empty path stands for the document itself ("top level").
  static ScenarioError atPath(const std::string &source, const std::string &path, const std::string &problem);
  static ScenarioError atLine(const std::string &source, std::size_t line, const std::string &problem);
  static ScenarioError forSource(const std::string &source, const std::string &problem);
  // A message that is complete as it stands, e.g. "cannot open 'x.json': No such file".
  static ScenarioError plain(const std::string &message);

  const std::string &problem() const { return problem_; }
  // The JSON path ("top level" for the document), or empty.
  const std::string &path() const { return path_; }
  // 1-based line and column, or 0 where the problem has none.
  std::size_t line() const { return line_; }
  std::size_t column() const { return column_; }

 private:
  ScenarioError(const std::string &message, std::string problem, std::string path, std::size_t line,
                std::size_t column);

  std::string problem_;
  std::string path_;
  std::size_t line_;
  std::size_t column_;
};

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_SCENARIOERROR_H
