// How far a received text is from the sent one, for character error rates: the edit distance
// (insertions, deletions and substitutions of single bytes, Levenshtein); the callers divide by
// the sent length.
// Characters that noise makes up in the silence before the first symbol and after the last are
// a property of the receiver listening to noise, whatever the sender does; MessageDistance
// leaves them out (and JunkCharacters counts them), so that timings are compared by what happens
// to their symbols.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace brindlemoor {

// The edit distance, by one row of the dynamic programme at a time: row[j] = distance(sent[0, i),
// received[0, j)). With `freeEnds` received characters before and after the aligned message are
// free: the first row is all 0 (any prefix of `received` may be skipped) and the result is the
// least value of the last row (any suffix may be skipped).
inline std::size_t AlignedDistance(std::string_view sent, std::string_view received,
                                   bool freeEnds) {
  std::vector<std::size_t> row(received.size() + 1);
  for (std::size_t j = 0; j <= received.size(); ++j) row[j] = freeEnds ? 0 : j;
  for (std::size_t i = 1; i <= sent.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= received.size(); ++j) {
      const std::size_t substitution = diagonal + (sent[i - 1] != received[j - 1]);
      diagonal = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, substitution});
    }
  }
  return freeEnds ? *std::min_element(row.begin(), row.end()) : row[received.size()];
}

inline std::size_t EditDistance(std::string_view sent, std::string_view received) {
  return AlignedDistance(sent, received, false);
}

inline std::size_t MessageDistance(std::string_view sent, std::string_view received) {
  return AlignedDistance(sent, received, true);
}

// Characters made up before the first and after the last symbol (at least; an inserted
// character next to the message may count either way).
inline std::size_t JunkCharacters(std::string_view sent, std::string_view received) {
  return EditDistance(sent, received) - MessageDistance(sent, received);
}

}  // namespace brindlemoor
