"""Did you mean ...?" for misspelt names, by the engine's rule (engine/NameSuggestion.h):
the closest known name by optimal string alignment distance (insertions, deletions,
substitutions and swaps of neighbours, letter case ignored), when at most a third of the
name's letters (and at least one) differ; of equally close names the first wins."""


def _distance(a, b):
    a, b = a.lower(), b.lower()
    before, previous = [0] * (len(b) + 1), list(range(len(b) + 1))
    for i in range(1, len(a) + 1):
        current = [i] + [0] * len(b)
        for j in range(1, len(b) + 1):
            cost = 0 if a[i - 1] == b[j - 1] else 1
            current[j] = min(previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost)
            if i > 1 and j > 1 and a[i - 1] == b[j - 2] and a[i - 2] == b[j - 1]:
                current[j] = min(current[j], before[j - 2] + 1)
        before, previous = previous, current
    return previous[len(b)]


def closest_name(name, known):
    """The known name closest to ``name`` if it is a likely misspelling, else None."""
    if len(name) > 64:
        return None
    best, best_distance = None, max(1, len(name) // 3) + 1
    for candidate in known:
        distance = _distance(name, candidate)
        if distance < best_distance:
            best, best_distance = candidate, distance
    return best


def did_you_mean(name, known):
    """' (did you mean NAME?)' or ''."""
    close = closest_name(name, known)
    return f" (did you mean {close}?)" if close is not None else ""
