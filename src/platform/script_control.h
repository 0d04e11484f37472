// The script control: a JavaScript engine that runs code in one global scope.
//
// Each ScriptControl is one engine instance (one Duktape heap) with its own
// globals. `AddCode` runs global code whose declarations last; `Eval` runs
// code in that same scope and gives back its completion value. A script
// error, and any script that runs longer than its time limit (kScriptTimeLimit
// unless the caller gives another), makes that one call fail; the engine
// stays usable and keeps what the script changed before it failed. Texts cross as UTF-16 through
// the code page (see text/codepage.h): a character the code page lacks comes back as "?", and a
// string result ends at its first NUL character.
//
// An instance belongs to the thread that made it; it is shared through
// std::shared_ptr and ends when its last holder lets go.
#pragma once

#include <chrono>
#include <memory>
#include <string_view>

#include "text/text.h"

namespace shorturl {

// How long one AddCode or Eval may run before it fails, unless the caller
// gives a limit of its own.
inline constexpr std::chrono::milliseconds kScriptTimeLimit{1000};

// The completion value of an Eval, or its failure, read back as a truth
// value, a Text or a number. A failed call reads as false, the empty Text and 0.
class ScriptValue {
 public:
  enum class Kind { kFailed, kUndefined, kNull, kBoolean, kNumber, kString, kObject };

  ScriptValue() = default;
  static ScriptValue Boolean(bool value);
  // `text` is the number in the script's own decimal form.
  static ScriptValue Number(double value, Text text);
  // `number` is the string read as a number by the script's own rules, or NaN.
  static ScriptValue String(Text text, double number);
  static ScriptValue Other(Kind kind);

  Kind kind() const { return kind_; }
  bool failed() const { return kind_ == Kind::kFailed; }

  // A Boolean stands for itself and a number is true when it is not zero. A
  // string is true for "true" and false for "false" (ASCII letters in any
  // case), or else true when it reads as a number other than zero; any other
  // string is false. An object (arrays and functions included) is true, as
  // in the script; null, no value and a failure are false.
  bool ToBool() const;
  // A string as it is, a number or Boolean in its script form ("200",
  // "1.5", "true"); null, no value, an object or a failure give the empty Text.
  Text ToText() const;
  // A number as it is, a Boolean as 1 or 0, a string that reads as a number
  // as that number; anything else 0.
  double ToNumber() const;

 private:
  Kind kind_ = Kind::kFailed;
  bool boolean_ = false;
  double number_ = 0;
  Text text_;
};

class ScriptControl {
 public:
  // A new engine with fresh globals, or nullptr when it cannot be made.
  static std::shared_ptr<ScriptControl> Create();
  ~ScriptControl();
  ScriptControl(const ScriptControl&) = delete;
  ScriptControl& operator=(const ScriptControl&) = delete;

  // Chooses the script language. Only "JavaScript" (ASCII letters in any
  // case) is known; any other name gives false and leaves the choice as it was.
  // AddCode and Eval fail until a language is chosen.
  bool SetLanguage(std::string_view language);

  // Runs `code` as global code: its functions and variables stay for later
  // calls. False on a script error, a time-out, or with no language chosen.
  // A longer `time_limit` is for code that is known to end, only slowly
  // (a large literal); everything else keeps the default.
  bool AddCode(std::string_view code, std::chrono::milliseconds time_limit = kScriptTimeLimit);

  // As AddCode, for code that many engines run word for word (a start-up
  // script). It is compiled once per process, by the first engine that runs
  // it, and later engines load the compiled form, which costs a small part
  // of compiling it again. Each such text stays for the life of the process:
  // meant for a few fixed texts, never for data.
  bool AddSharedCode(std::string_view code);

  // Runs `code` in the global scope, statements included, and gives its
  // completion value; a failed value on a script error, a time-out, or with
  // no language chosen.
  ScriptValue Eval(std::string_view code);

 private:
  struct Heap;
  explicit ScriptControl(std::unique_ptr<Heap> heap);
  std::unique_ptr<Heap> heap_;
  bool language_set_ = false;
};

}  // namespace shorturl
