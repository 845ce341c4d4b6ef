#include "ScenarioError.h"

#include <utility>

namespace corvanta::engine {

ScenarioError::ScenarioError(const std::string &message, std::string problem, std::string path, std::size_t line,
                             std::size_t column)
    : std::runtime_error(message), problem_(std::move(problem)), path_(std::move(path)), line_(line), column_(column) {}

ScenarioError ScenarioError::atPosition(const std::string &source, std::size_t line, std::size_t column,
                                        const std::string &problem) {
  return ScenarioError(source + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + problem, problem,
                       std::string(), line, column);
}

ScenarioError ScenarioError::atPath(const std::string &source, const std::string &path, const std::string &problem) {
  const std::string place = path.empty() ? std::string("top level") : path;
  return ScenarioError(source + ": " + place + ": " + problem, problem, place, 0, 0);
}

ScenarioError ScenarioError::atLine(const std::string &source, std::size_t line, const std::string &problem) {
  return ScenarioError(source + ":" + std::to_string(line) + ": " + problem, problem, std::string(), line, 0);
}

ScenarioError ScenarioError::forSource(const std::string &source, const std::string &problem) {
  return ScenarioError(source + ": " + problem, problem, std::string(), 0, 0);
}

ScenarioError ScenarioError::plain(const std::string &message) {
  return ScenarioError(message, message, std::string(), 0, 0);
}

}  // namespace corvanta::engine
