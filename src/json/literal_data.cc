#include "json/literal_data.h"

#include <vector>

namespace shorturl {
namespace {

// White space that may stand between tokens. Line terminators are not in
// it: line breaks reach the check already turned into backslash sequences,
// and one that did not belongs to no answer we expect.
bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == 0x00A0 || c == 0xFEFF ||
         c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsHexDigit(char16_t c) {
  return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A character that may be part of a bare member name. Beyond ASCII the
// engine decides which characters are letters; none of them can end the
// name and start code, since every ASCII character is judged here.
bool IsNameChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || IsDigit(c) || c == u'_' ||
         c == u'$' || (c >= 0x80 && !IsSpace(c) && c != 0x2028 && c != 0x2029);
}

class Checker {
 public:
  explicit Checker(std::u16string_view s) : s_(s) {}

  bool Run() {
    // The stack holds the open arrays ('[') and objects ('{').
    std::vector<char> open;
    SkipSpace();
    // The text is handed to eval, which would run a string's content as script.
    if (Peek(u'"') || Peek(u'\'')) return false;
    if (!Value(open)) return false;
    while (true) {
      SkipSpace();
      if (open.empty()) return at_ == s_.size();
      if (at_ == s_.size()) return false;
      char16_t c = s_[at_];
      char closing = open.back() == '[' ? ']' : '}';
      if (c == closing) {
        ++at_;
        open.pop_back();
        continue;
      }
      if (c != u',') return false;
      ++at_;
      SkipSpace();
      if (open.back() == '[') {
        // Holes: further commas, or the end of the array.
        while (Peek(u',')) {
          ++at_;
          SkipSpace();
        }
        if (Peek(u']')) continue;
      } else {
        if (Peek(u'}')) continue;  // trailing comma
        if (!MemberName()) return false;
      }
      if (!Value(open)) return false;
    }
  }

 private:
  bool Peek(char16_t c) const { return at_ < s_.size() && s_[at_] == c; }

  void SkipSpace() {
    while (at_ < s_.size() && IsSpace(s_[at_])) ++at_;
  }

  // A value; an array or object is opened onto `open` and its first member
  // taken, its rest is left to Run's loop.
  bool Value(std::vector<char>& open) {
    while (true) {
      if (at_ == s_.size()) return false;
      char16_t c = s_[at_];
      if (c == u'"' || c == u'\'') return String();
      if (c == u'+' || c == u'-') {
        ++at_;
        return Number();
      }
      if (IsDigit(c) || c == u'.') return Number();
      if (c != u'[' && c != u'{') return Keyword();
      if (open.size() >= static_cast<std::size_t>(kMaxLiteralNesting)) return false;
      ++at_;
      SkipSpace();
      if (c == u'[') {
        open.push_back('[');
        while (Peek(u',')) {
          ++at_;
          SkipSpace();
        }
        if (Peek(u']')) return true;  // Run's loop closes it
      } else {
        open.push_back('{');
        if (Peek(u'}')) return true;
        if (!MemberName()) return false;
      }
      // The first element or member value: go round again.
    }
  }

  // A member name, the colon and the space after it.
  bool MemberName() {
    if (at_ == s_.size()) return false;
    char16_t c = s_[at_];
    if (c == u'"' || c == u'\'') {
      if (!String()) return false;
    } else if (IsDigit(c) || c == u'.') {
      if (!Number()) return false;
    } else {
      std::size_t start = at_;
      while (at_ < s_.size() && IsNameChar(s_[at_])) ++at_;
      if (at_ == start || IsDigit(s_[start])) return false;
    }
    SkipSpace();
    if (!Peek(u':')) return false;
    ++at_;
    SkipSpace();
    return true;
  }

  // A string up to its closing quote. A backslash takes the one character
  // after it along, exactly as the engine's reader does, so the string ends
  // where the engine ends it; what the escape means is the engine's affair.
  bool String() {
    char16_t quote = s_[at_++];
    while (at_ < s_.size()) {
      char16_t c = s_[at_++];
      if (c == quote) return true;
      if (c == u'\\') {
        if (at_ == s_.size()) return false;
        ++at_;
      }
    }
    return false;
  }

  bool Number() {
    if (at_ + 1 < s_.size() && s_[at_] == u'0' && (s_[at_ + 1] == u'x' || s_[at_ + 1] == u'X')) {
      at_ += 2;
      std::size_t start = at_;
      while (at_ < s_.size() && IsHexDigit(s_[at_])) ++at_;
      return at_ > start && !NameFollows();
    }
    std::size_t digits = 0;
    while (at_ < s_.size() && IsDigit(s_[at_])) ++at_, ++digits;
    if (Peek(u'.')) {
      ++at_;
      while (at_ < s_.size() && IsDigit(s_[at_])) ++at_, ++digits;
    }
    if (digits == 0) return false;
    if (Peek(u'e') || Peek(u'E')) {
      ++at_;
      if (Peek(u'+') || Peek(u'-')) ++at_;
      std::size_t start = at_;
      while (at_ < s_.size() && IsDigit(s_[at_])) ++at_;
      if (at_ == start) return false;
    }
    return !NameFollows();
  }

  bool Keyword() {
    std::size_t start = at_;
    while (at_ < s_.size() && IsNameChar(s_[at_])) ++at_;
    std::u16string_view word = s_.substr(start, at_ - start);
    return word == u"null" || word == u"true" || word == u"false";
  }

  // A number glued to a name or a further point ("1.2.3", "5in") is no literal.
  bool NameFollows() const { return at_ < s_.size() && (IsNameChar(s_[at_]) || s_[at_] == u'.'); }

  std::u16string_view s_;
  std::size_t at_ = 0;
};

}  // namespace

bool IsLiteralData(std::u16string_view source) { return Checker(source).Run(); }

}  // namespace shorturl
