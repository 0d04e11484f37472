#include "json/json_document.h"

#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <string>

#include "json/literal_data.h"
#include "json/startup_script.h"
#include "text/codepage.h"

namespace shorturl {
namespace {

// How long the evaluation of parsed text may run. Literal data cannot loop:
// its evaluation takes time in proportion to its size, and a large answer
// (10 MB in an instrumented build) may well need more than the one second
// that every other script gets.
constexpr std::chrono::milliseconds kLiteralDataTimeLimit{20'000};

// Closes every script that returns Text: U+2400 (str_Code) back to a backslash.
constexpr std::string_view kBackslashesBack = R"(.replace(str_reg, '\\'))";

Text Join(std::initializer_list<std::string_view> pieces) {
  Text out;
  std::size_t size = 0;
  for (std::string_view p : pieces) size += p.size();
  out.reserve(size);
  for (std::string_view p : pieces) out.append(p);
  return out;
}

Text Decimal(int index) { return std::to_string(index); }

// Texts are built into scripts as the engine will read them: a byte run that
// is no GBK character reaches the engine as "?" (or U+FFFD), never as a lone
// lead byte that could swallow the quote or backslash after it. Checks and
// escapes therefore work on the UTF-16 form, and the result goes back into
// Text, where every character is then a whole GBK character.
std::u16string EngineView(std::string_view text) { return Utf16FromText(text); }

// A text as the inside of an apostrophe-quoted script string: backslashes
// doubled, a backslash before each apostrophe and double quote, CR and LF as
// \r and \n.
Text EscapedForScriptString(std::string_view text) {
  std::u16string in = EngineView(text);
  std::u16string out;
  out.reserve(in.size() + in.size() / 8);
  for (char16_t c : in) {
    switch (c) {
      case u'\\':
        out += u"\\\\";
        break;
      case u'\'':
        out += u"\\'";
        break;
      case u'"':
        out += u"\\\"";
        break;
      case u'\r':
        out += u"\\r";
        break;
      case u'\n':
        out += u"\\n";
        break;
      default:
        out += c;
    }
  }
  return TextFromUtf16(out);
}

// A text value for PushValue and SetElement, in apostrophes without escaping,
// or nothing when the text would end the string early or break its line:
// then the value is refused before any script runs.
bool QuotedAsIs(std::string_view text, Text& quoted) {
  std::u16string in = EngineView(text);
  for (char16_t c : in) {
    if (c == u'\'' || c == u'\r' || c == u'\n' || c == 0x2028 || c == 0x2029) return false;
  }
  quoted = Join({"'", TextFromUtf16(in), "'"});
  return true;
}

}  // namespace

JsonDocument::JsonDocument() = default;

JsonDocument::JsonDocument(const JsonDocument& other) : name_(other.name_) {
  engine_ = other.GetEngine();
  engine_pending_ = false;
}

JsonDocument& JsonDocument::operator=(const JsonDocument& other) {
  if (this != &other) {
    name_ = other.name_;
    engine_ = other.GetEngine();
    engine_pending_ = false;
  }
  return *this;
}

void JsonDocument::MakePendingEngine() const {
  if (!engine_pending_) return;
  engine_pending_ = false;
  const_cast<JsonDocument*>(this)->InitEngine();
}

std::shared_ptr<ScriptControl> JsonDocument::GetEngine() const {
  MakePendingEngine();
  return engine_;
}

void JsonDocument::InitEngine() {
  engine_pending_ = false;
  std::shared_ptr<ScriptControl> engine = ScriptControl::Create();
  if (engine == nullptr) return;
  engine_ = std::move(engine);
  // As with the component this stands in for, the results of the set-up
  // steps are not looked at: a failure shows in the operations that follow.
  engine_->SetLanguage("JavaScript");
  // The same text in every engine: compiled once per process.
  engine_->AddSharedCode(kStartupScript);
  engine_->Eval(
      Join({"var ", name_,
            " = {}, str_Code = String.fromCharCode(9216), str_reg = new RegExp(str_Code, 'g')"}));
}

ScriptValue JsonDocument::Eval(std::string_view script) {
  MakePendingEngine();
  if (engine_ == nullptr) return {};
  return engine_->Eval(script);
}

bool JsonDocument::Parse(std::string_view text) {
  if (engine_ != nullptr || engine_pending_) {
    engine_.reset();
    InitEngine();
  }
  if (engine_ == nullptr) return false;
  Eval(Join({"var ", name_, " = null"}));
  Text source = ReplaceText(ReplaceText(text, "\r", "\\r"), "\n", "\\n");
  // The text comes from the network: only literal data reaches eval, so an
  // answer can never run script, loop or fill the memory.
  if (!IsLiteralData(EngineView(source))) return false;
  engine_->AddCode(Join({"var ", name_, " = eval(", source, ")"}), kLiteralDataTimeLimit);
  return Eval(Join({name_, " != null"})).ToBool();
}

bool JsonDocument::Clear() { return Eval(Join({name_, " = {}"})).ToBool(); }

Text JsonDocument::GetWholeText() {
  return Eval(Join({"JSON.stringify(", name_, ")", kBackslashesBack})).ToText();
}

bool JsonDocument::SetProperty(std::string_view path, std::string_view value, bool as_json) {
  Text p(path);
  bool exists = ResolvePath(p);
  if (!as_json) {
    return Eval(Join({p, " = '", EscapedForScriptString(value), R"('.replace(/\\/g, str_Code))"}))
        .ToBool();
  }
  if (exists) {
    std::string_view merged = value.empty() ? std::string_view("{}") : value;
    return Eval(Join({p, " = get__extend(", p, ", ", merged, ")"})).ToBool();
  }
  // Deliberately the value as passed: an empty one leaves the member without
  // a value, as it always has.
  return Eval(Join({p, " = eval(", value, ")"})).ToBool();
}

bool JsonDocument::SetByExpression(std::string_view path, std::string_view expression) {
  return Eval(Join({Resolved(path), " = eval(", expression, ")"})).ToBool();
}

bool JsonDocument::ResolvePath(Text& path) {
  if (path.starts_with(name_) && Eval(Join({path, " != null"})).ToBool()) return true;
  if (path.empty()) {
    path = name_;
  } else if (path[0] == '[') {
    path = Join({name_, path});
  } else {
    path = Join({name_, ".", path});
  }
  return Eval(Join({path, " != null"})).ToBool();
}

Text JsonDocument::Resolved(std::string_view path) {
  Text p(path);
  ResolvePath(p);
  return p;
}

int JsonDocument::GetValueType(std::string_view path) {
  Text p = Resolved(path);
  if (Eval(Join({p, " == null"})).ToBool()) return 0;
  Text kind = Eval(Join({"Object.prototype.toString.call(", p, ")"})).ToText();
  if (kind == "[object String]") return 6;
  if (kind == "[object Array]") return 5;
  if (kind == "[object Object]") return 4;
  if (kind == "[object Number]") return 2;
  if (kind == "[object Boolean]") return 1;
  return -1;
}

Text JsonDocument::GetText(std::string_view path, bool as_json) {
  Text p = Resolved(path);
  if (as_json) return Eval(Join({"JSON.stringify(", p, ")", kBackslashesBack})).ToText();
  return Eval(Join({p, kBackslashesBack})).ToText();
}

int JsonDocument::GetMemberNames(std::vector<Text>& names, std::string_view path) {
  names.clear();
  Text all = Eval(Join({"get__name_All(", Resolved(path), ")"})).ToText();
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find("\r\n", start);
    if (end == Text::npos) end = all.size();
    names.emplace_back(all, start, end - start);
    start = end + 2;
  }
  return static_cast<int>(names.size());
}

int JsonDocument::GetCount(std::string_view path) {
  double count = Eval(Join({"get__count(", Resolved(path), ")"})).ToNumber();
  if (!(count > 0)) return 0;
  return count >= INT_MAX ? INT_MAX : static_cast<int>(count);
}

JsonDocument JsonDocument::DocumentOf(const Text& expression) {
  JsonDocument document;
  document.Parse(Eval(Join({"JSON.stringify(", expression, ")", kBackslashesBack})).ToText());
  return document;
}

JsonDocument JsonDocument::GetPropertyDocument(std::string_view path) {
  return DocumentOf(Resolved(path));
}

bool JsonDocument::PushValue(std::string_view value, std::string_view path, bool as_json) {
  Text v(value);
  if (!as_json && !QuotedAsIs(value, v)) return false;
  Text p = Resolved(path);
  return Eval(Join({"if (Object.prototype.toString.call(", p, ") != '[object Array]') { ", p,
                    " = new Array() } ", p, ".push(", v, ")"}))
      .ToBool();
}

JsonDocument JsonDocument::GetElementDocument(int index, std::string_view path) {
  return DocumentOf(Join({Resolved(path), "[", Decimal(index), "]"}));
}

Text JsonDocument::GetElementText(int index, std::string_view path, bool as_json) {
  Text element = Join({Resolved(path), "[", Decimal(index), "]"});
  if (as_json) return Eval(Join({"JSON.stringify(", element, ")", kBackslashesBack})).ToText();
  return Eval(Join({element, kBackslashesBack})).ToText();
}

bool JsonDocument::SetElement(int index, std::string_view path, std::string_view value,
                              bool as_json) {
  Text v(value);
  if (!as_json && !QuotedAsIs(value, v)) return false;
  return Eval(Join({Resolved(path), "[", Decimal(index), "] = ", v})).ToBool();
}

bool JsonDocument::RemoveElement(int index, std::string_view path) {
  return Eval(Join({Resolved(path), ".splice(", Decimal(index), ", 1)"})).ToBool();
}

bool JsonDocument::DeleteProperty(std::string_view path) {
  return Eval(Join({"delete ", Resolved(path)})).ToBool();
}

bool JsonDocument::SetNumber(std::string_view path, double number) {
  // "%.13g", free of the process locale's decimal point.
  char digits[64];
  auto [end, ec] =
      std::to_chars(digits, digits + sizeof digits, number, std::chars_format::general, 13);
  if (ec != std::errc()) return false;
  return Eval(Join({Resolved(path), " = ", std::string_view(digits, end)})).ToBool();
}

double JsonDocument::GetNumber(std::string_view path) { return Eval(Resolved(path)).ToNumber(); }

Text JsonDocument::GetPathJson(std::string_view path) { return GetText(path, true); }

}  // namespace shorturl
