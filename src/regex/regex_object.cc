#include "regex/regex_object.h"

#include "text/codepage.h"

namespace shorturl {

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject&) = default;
RegexObject& RegexObject::operator=(const RegexObject&) = default;

bool RegexObject::Create(std::string_view pattern, std::string_view text, bool case_sensitive,
                         bool multiline, bool global, bool quote_escape) {
  expression_.reset();
  matches_.reset();
  expression_ = std::make_shared<RegExpComponent>();
  expression_->WriteBool("IgnoreCase", !case_sensitive);
  expression_->WriteBool("Multiline", multiline);
  // The component has no such member; the write fails and is not looked at.
  expression_->WriteBool("Singleline", true);
  expression_->WriteBool("Global", global);
  expression_->SetPattern(quote_escape ? ReplaceText(pattern, "#引号"_gbk, "\"") : Text(pattern));
  subject_ = Text(text);
  std::optional<RegExpMatches> found = expression_->Execute(subject_);
  if (found) matches_ = std::make_shared<const RegExpMatches>(std::move(*found));
  return matches_ != nullptr;
}

Text RegexObject::GetPattern() const { return expression_ ? expression_->Pattern() : Text(); }

Text RegexObject::ReplaceMatches(std::string_view replacement) const {
  if (!expression_) return {};
  return expression_->Replace(subject_, replacement).value_or(Text());
}

int RegexObject::MatchCount() const { return matches_ ? static_cast<int>(matches_->size()) : 0; }

const RegExpMatch* RegexObject::Match(int match_index) const {
  if (!matches_ || match_index < 1 || static_cast<std::size_t>(match_index) > matches_->size()) {
    return nullptr;
  }
  return &(*matches_)[match_index - 1];
}

int RegexObject::BytePosition(std::string_view found, int first_index) const {
  // first_index counts UTF-16 units, in which a double-byte character is one;
  // the search starts at the very byte where the match starts, so that an
  // equal text in front of it is never taken for it.
  int start = ByteOffsetOfUtf16Index(subject_, first_index);
  int at = FindText(subject_, found, start + 1, expression_->IgnoreCase());
  return at < 0 ? -2 : at - 1;
}

Text RegexObject::MatchText(int match_index, int* position) const {
  const RegExpMatch* match = Match(match_index);
  if (match == nullptr) {
    if (position != nullptr) *position = -1;
    return {};
  }
  if (position != nullptr) *position = BytePosition(match->value, match->first_index);
  return match->value;
}

Text RegexObject::SubMatchText(int match_index, int sub_match_index, int* position) const {
  const RegExpMatch* match = Match(match_index);
  if (match == nullptr || sub_match_index < 1 ||
      static_cast<std::size_t>(sub_match_index) > match->sub_matches.size()) {
    if (position != nullptr) *position = -1;
    return {};
  }
  const Text& value = match->sub_matches[sub_match_index - 1];
  if (position != nullptr) *position = BytePosition(value, match->first_index);
  return value;
}

int RegexObject::SubMatchCount() const {
  const RegExpMatch* first = Match(1);
  return first ? static_cast<int>(first->sub_matches.size()) : 0;
}

Text MatchFirstUrl(std::string_view text, int match_index, int sub_match_index) {
  RegexObject expression;
  if (!expression.Create("[a-zA-z]+://[^\\s]*", text, /*case_sensitive=*/false,
                         /*multiline=*/false, /*global=*/true, /*quote_escape=*/true)) {
    return {};
  }
  if (expression.MatchCount() == 0 || match_index < 1) return {};
  if (sub_match_index > 0) return expression.SubMatchText(match_index, sub_match_index);
  return expression.MatchText(match_index);
}

}  // namespace shorturl
