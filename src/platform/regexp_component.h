// The regular-expression component: a pattern with its options, run over a
// subject to give a collection of matches, or to replace them.
//
// It offers what the program expects of such a component and nothing more:
// the boolean members IgnoreCase, Multiline and Global and the member Pattern
// to write (Pattern and IgnoreCase also to read), Execute and Replace. The
// pattern language is that of PCRE2 (through QRegularExpression), without
// Unicode properties: \s, \w and \d are ASCII classes. Positions count UTF-16
// units of the subject. Texts cross as GBK Text.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace shorturl {

// One match of Execute.
struct RegExpMatch {
  Text value;
  // The number of UTF-16 units of the subject in front of the match.
  int first_index = 0;
  // The value of every capturing group, from group 1; a group that took no
  // part in the match gives the empty Text.
  std::vector<Text> sub_matches;
};

// Execute's collection: Count is size(), Item(i) is [i], counting from 0.
using RegExpMatches = std::vector<RegExpMatch>;

class RegExpComponent {
 public:
  RegExpComponent();
  ~RegExpComponent();
  RegExpComponent(const RegExpComponent&) = delete;
  RegExpComponent& operator=(const RegExpComponent&) = delete;

  // Writes the boolean member `member` ("IgnoreCase", "Multiline" or
  // "Global"; all start off). Any other name is a member the component lacks:
  // false, and nothing changes.
  bool WriteBool(std::string_view member, bool value);
  bool IgnoreCase() const;

  void SetPattern(std::string_view pattern);
  // The pattern as written, back through UTF-16 (a character GBK lacks
  // cannot have got in, so it reads back byte for byte).
  Text Pattern() const;

  // The matches of the pattern in `subject`, left to right: all of them with
  // Global on, at most the first with it off. nullopt when the pattern is
  // invalid.
  std::optional<RegExpMatches> Execute(std::string_view subject) const;

  // `subject` with the matches (all with Global on, else the first) replaced
  // by `replacement`, in which $1 to $99 stand for a group (two digits when
  // that group exists, else one), $& for the match, $` for the text in front
  // of it, $' for the text behind it and $$ for a dollar sign; any other $ is
  // itself. nullopt when the pattern is invalid.
  std::optional<Text> Replace(std::string_view subject, std::string_view replacement) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The byte offset in `text` of the character that has `units` UTF-16 units of
// the text's conversion in front of it, which turns a match's first_index
// into a byte offset; the end of the text when the conversion is shorter.
int ByteOffsetOfUtf16Index(std::string_view text, int units);

}  // namespace shorturl
