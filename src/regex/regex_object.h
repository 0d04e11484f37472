// RegexObject: one regular expression together with the result of one search
// over a subject text, and MatchFirstUrl, the check that a text holds a web
// address, built on it.
//
// Create sets the expression up and runs it; the other operations answer
// questions about that search. Indexes that callers give count from 1. No
// operation fails loudly: a missing match, an invalid pattern or an object on
// which Create never ran give the empty Text, 0 or false.
#pragma once

#include <memory>

#include "platform/regexp_component.h"
#include "text/text.h"

namespace shorturl {

class RegexObject {
 public:
  RegexObject();
  ~RegexObject();
  // A copy shares the source's expression and match collection and holds its
  // own copy of the subject.
  RegexObject(const RegexObject&);
  RegexObject& operator=(const RegexObject&);

  // Sets up a new expression from `pattern` (IgnoreCase = !case_sensitive,
  // Multiline, Global) and runs it over `text`. With `quote_escape`, every
  // "#引号" in the pattern stands for one double quote. True when the search
  // gave a match collection, also an empty one; false for an invalid pattern.
  bool Create(std::string_view pattern, std::string_view text, bool case_sensitive = false,
              bool multiline = true, bool global = true, bool quote_escape = false);

  // The pattern as set by Create (quotes replaced); empty before Create.
  Text GetPattern() const;

  // The subject with the matches replaced (see RegExpComponent::Replace for
  // the $ forms); the empty Text before Create or for an invalid pattern.
  Text ReplaceMatches(std::string_view replacement) const;

  int MatchCount() const;

  // The text of match `match_index`; the empty Text when there is no such
  // match. When `position` is given it receives the match's 0-based byte
  // offset in the subject; -2 when the match's text is not found there (it
  // held a character the code page lacks), -1 when there is no such match.
  Text MatchText(int match_index, int* position = nullptr) const;

  // The text of group `sub_match_index` of match `match_index`. Its
  // `position` is that of the first occurrence of that text at or after the
  // start of the match (the component gives groups no position of their
  // own), -2 when none, -1 when there is no such group.
  Text SubMatchText(int match_index, int sub_match_index, int* position = nullptr) const;

  // The number of groups of the first match; 0 when there is no match.
  int SubMatchCount() const;

 private:
  const RegExpMatch* Match(int match_index) const;
  int BytePosition(std::string_view found, int first_index) const;

  std::shared_ptr<RegExpComponent> expression_;
  std::shared_ptr<const RegExpMatches> matches_;
  Text subject_;
};

// Match `match_index` (from 1) of the URL shape in `text`: a run of letters,
// or of [ \ ] ^ _ ` which the pattern's range A-z also takes in, directly
// followed by "://" and by everything up to the next white space. With
// `sub_match_index` above 0, that group of the match instead (the pattern has
// none). The empty Text when there is no such match.
Text MatchFirstUrl(std::string_view text, int match_index, int sub_match_index = 0);

}  // namespace shorturl
