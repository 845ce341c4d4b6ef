#include "engine/messages/NameSuggestion.h"

#include <algorithm>
#include <cctype>

namespace corvanta::engine {

namespace {

char folded(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Optimal string alignment distance (Damerau-Levenshtein without repeated edits).
std::size_t editDistance(std::string_view a, std::string_view b) {
  const std::size_t columns = b.size() + 1;
  std::vector<std::size_t> before(columns), previous(columns), current(columns);
  for (std::size_t j = 0; j < columns; ++j) {
    previous[j] = j;
  }
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j < columns; ++j) {
      const std::size_t cost = folded(a[i - 1]) == folded(b[j - 1]) ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && folded(a[i - 1]) == folded(b[j - 2]) && folded(a[i - 2]) == folded(b[j - 1])) {
        current[j] = std::min(current[j], before[j - 2] + 1);
      }
    }
    before.swap(previous);
    previous.swap(current);
  }
  return previous[b.size()];
}

}  // namespace

std::optional<std::string> closestName(std::string_view name, const std::vector<std::string_view> &known) {
  // A name this long is more than a third away from every name we know (none is longer
  // than 40 characters); skipping it keeps a huge key from costing length x 40 steps.
  if (name.size() > 64) {
    return std::nullopt;
  }
  const std::size_t limit = std::max<std::size_t>(1, name.size() / 3);
  std::optional<std::string> best;
  std::size_t bestDistance = limit + 1;
  for (std::string_view candidate : known) {
    const std::size_t distance = editDistance(name, candidate);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = std::string(candidate);
    }
  }
  return best;
}

std::string didYouMean(std::string_view name, const std::vector<std::string_view> &known) {
  const std::optional<std::string> suggestion = closestName(name, known);
  return suggestion ? " (did you mean " + *suggestion + "?)" : std::string();
}

}  // namespace corvanta::engine
