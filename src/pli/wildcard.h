// The wildcard patterns of $traxDumpPattern, matched against a whole leaf
// name, case-sensitively:
//   *      any run of characters, none included
//   ?      exactly one character
//   [...]  one character of a set of characters and ranges ("a-f"; a range
//          written high-to-low, "f-a", is the same range); no negation. A
//          set left open at the end of the pattern still matches when one
//          of its characters matched; the empty set "[]" never matches.
//   \c     the character c itself (also inside a set); a pattern ending in
//          a lone backslash never matches
// Any other character matches itself.
#ifndef TAVRI_PLI_WILDCARD_H
#define TAVRI_PLI_WILDCARD_H

namespace tavri::pli {

bool WildcardMatch(const char *pattern, const char *name);

}  // namespace tavri::pli

#endif
