// "Did you mean ...?" for misspelt names: the closest known name by edit distance
// (insertions, deletions, substitutions and swaps of neighbours, letter case ignored).
#ifndef CORVANTA_ENGINE_NAMESUGGESTION_H
#define CORVANTA_ENGINE_NAMESUGGESTION_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta::engine {

// The known name closest to `name`, when it is close enough to be a likely misspelling:
// at most a third of the name's letters (and at least one) differ.  Of equally close
// names the first in `known` wins.
std::optional<std::string> closestName(std::string_view name, const std::vector<std::string_view> &known);

// " (did you mean NAME?)" or "".
std::string didYouMean(std::string_view name, const std::vector<std::string_view> &known);

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_NAMESUGGESTION_H
