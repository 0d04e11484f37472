#include "platform/regexp_component.h"

#include <QRegularExpression>
#include <QString>

#include "platform/window_system.h"
#include "text/codepage.h"

namespace shorturl {

struct RegExpComponent::State {
  bool ignore_case = false;
  bool multiline = false;
  bool global = false;
  QString pattern;

  // Compiled on first use after a change, so that writing the options one by
  // one compiles the pattern once.
  mutable std::optional<QRegularExpression> compiled;

  const QRegularExpression& Compiled() const {
    if (!compiled) {
      QRegularExpression::PatternOptions options;
      if (ignore_case) options |= QRegularExpression::CaseInsensitiveOption;
      if (multiline) options |= QRegularExpression::MultilineOption;
      compiled.emplace(pattern, options);
    }
    return *compiled;
  }

  // Calls `each` for every match that Execute and Replace look at; false when
  // the pattern is invalid.
  template <typename Each>
  bool ForEachMatch(const QString& subject, Each each) const {
    const QRegularExpression& expression = Compiled();
    if (!expression.isValid()) return false;
    if (!global) {
      QRegularExpressionMatch match = expression.match(subject);
      if (match.hasMatch()) each(match);
      return true;
    }
    // The global iterator steps over an empty match by one character, so
    // this ends on every subject.
    QRegularExpressionMatchIterator it = expression.globalMatch(subject);
    while (it.hasNext()) each(it.next());
    return true;
  }
};

namespace {

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Appends `replacement` for one match, its $ forms filled in.
void AppendExpanded(QString& out, const QString& replacement, const QString& subject,
                    const QRegularExpressionMatch& match, int groups) {
  const qsizetype size = replacement.size();
  for (qsizetype i = 0; i < size; ++i) {
    QChar c = replacement[i];
    if (c != u'$' || i + 1 == size) {
      out += c;
      continue;
    }
    QChar next = replacement[i + 1];
    if (next == u'$') {
      out += u'$';
      ++i;
    } else if (next == u'&') {
      out += match.captured(0);
      ++i;
    } else if (next == u'`') {
      out += subject.left(match.capturedStart(0));
      ++i;
    } else if (next == u'\'') {
      out += subject.mid(match.capturedEnd(0));
      ++i;
    } else if (IsDigit(next)) {
      int one = next.unicode() - u'0';
      if (i + 2 < size && IsDigit(replacement[i + 2])) {
        int two = one * 10 + (replacement[i + 2].unicode() - u'0');
        if (two >= 1 && two <= groups) {
          out += match.captured(two);
          i += 2;
          continue;
        }
      }
      if (one >= 1 && one <= groups) {
        out += match.captured(one);
        ++i;
      } else {
        out += c;  // "$0" and a group beyond the pattern's stay as written
      }
    } else {
      out += c;
    }
  }
}

}  // namespace

RegExpComponent::RegExpComponent() : state_(std::make_unique<State>()) {}
RegExpComponent::~RegExpComponent() = default;

bool RegExpComponent::WriteBool(std::string_view member, bool value) {
  bool* target = nullptr;
  if (member == "IgnoreCase") {
    target = &state_->ignore_case;
  } else if (member == "Multiline") {
    target = &state_->multiline;
  } else if (member == "Global") {
    target = &state_->global;
  } else {
    return false;
  }
  *target = value;
  state_->compiled.reset();
  return true;
}

bool RegExpComponent::IgnoreCase() const { return state_->ignore_case; }

void RegExpComponent::SetPattern(std::string_view pattern) {
  state_->pattern = QStringFromText(pattern);
  state_->compiled.reset();
}

Text RegExpComponent::Pattern() const { return TextFromQString(state_->pattern); }

std::optional<RegExpMatches> RegExpComponent::Execute(std::string_view subject) const {
  const QString wide = QStringFromText(subject);
  RegExpMatches matches;
  bool valid = state_->ForEachMatch(wide, [&](const QRegularExpressionMatch& match) {
    RegExpMatch& out = matches.emplace_back();
    out.value = TextFromQString(match.captured(0));
    out.first_index = static_cast<int>(match.capturedStart(0));
    const int groups = state_->Compiled().captureCount();
    out.sub_matches.reserve(groups);
    // captured() of a group that took no part is a null string: the empty Text.
    for (int g = 1; g <= groups; ++g) out.sub_matches.push_back(TextFromQString(match.captured(g)));
  });
  if (!valid) return std::nullopt;
  return matches;
}

std::optional<Text> RegExpComponent::Replace(std::string_view subject,
                                             std::string_view replacement) const {
  const QString wide = QStringFromText(subject);
  const QString with = QStringFromText(replacement);
  const int groups = state_->Compiled().captureCount();
  QString out;
  qsizetype done = 0;
  bool valid = state_->ForEachMatch(wide, [&](const QRegularExpressionMatch& match) {
    out += QStringView(wide).mid(done, match.capturedStart(0) - done);
    AppendExpanded(out, with, wide, match, groups);
    done = match.capturedEnd(0);
  });
  if (!valid) return std::nullopt;
  out += QStringView(wide).mid(done);
  return TextFromQString(out);
}

int ByteOffsetOfUtf16Index(std::string_view text, int units) {
  std::size_t offset = 0;
  int seen = 0;
  while (offset < text.size() && seen < units) {
    std::size_t length = IsLeadByte(text, offset) ? 2 : 1;
    if (static_cast<unsigned char>(text[offset]) < 0x80) {
      seen += 1;
    } else {
      // A GBK character is one unit; bytes that are not GBK convert as the
      // code page conversion has it.
      seen += static_cast<int>(Utf16FromText(text.substr(offset, length)).size());
    }
    offset += length;
  }
  return static_cast<int>(offset);
}

}  // namespace shorturl
