// JsonDocument: one JSON value held in a script engine and read or changed
// by path through short generated scripts.
//
// The value lives in the engine's global variable "da". Every operation
// writes a piece of script around a path, has the engine evaluate it, and
// takes back a truth value, a Text, a number or a new document. A script
// error never escapes: it becomes the operation's failure result (false,
// the empty Text, 0, -1 for GetValueType), and the document stays usable.
//
// Paths: "code", "data['short_url']", "[0]", or a path that already starts
// with "da"; the empty path names the whole value (see ResolvePath). Text
// written as a string by SetProperty keeps its backslashes through the
// U+2400 scheme: the engine holds each as U+2400 ("str_Code"), and every
// operation that returns Text turns U+2400 back into a backslash. In JSON
// text such a backslash stands alone inside its string, unescaped.
//
// Copies share one engine and see each other's changes; the documents that
// GetPropertyDocument and GetElementDocument return have engines of their own.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "platform/script_control.h"
#include "text/text.h"

namespace shorturl {

class JsonDocument {
 public:
  // A document holding the empty object, in an engine of its own. When no
  // engine can be made the document lives on without one and every
  // operation fails.
  JsonDocument();
  // A further holder of `other`'s engine (Copy).
  JsonDocument(const JsonDocument& other);
  JsonDocument& operator=(const JsonDocument& other);
  JsonDocument(JsonDocument&& other) noexcept = default;
  JsonDocument& operator=(JsonDocument&& other) noexcept = default;
  ~JsonDocument() = default;

  // A document that shares this one's engine: changes through either are seen by both.
  JsonDocument Copy() const { return *this; }

  // Puts a fresh engine in place (releasing the one held before) holding the
  // start-up script, "da" as the empty object, str_Code and str_reg. When no
  // engine can be made the old one stays.
  void InitEngine();

  // Reads `text` as the document's value, in a fresh engine. True when it is
  // literal data (see json/literal_data.h) whose value is not null. CR and
  // LF become the escapes \r and \n first: inside a string they are the
  // string's line breaks, between tokens they make the text fail. Anything
  // else (script, the empty text, null) gives false and leaves the value null.
  bool Parse(std::string_view text);

  // Sets the value to the empty object; true when that worked.
  bool Clear();

  // The whole value as compact JSON text; empty on failure.
  Text GetWholeText();

  // Sets the value at `path`. Not as JSON, `value` is stored as a string,
  // byte for byte. As JSON, `value` is a script expression (the empty Text
  // standing for {}) that is merged into an existing value member by member,
  // or assigned where the path holds no value yet. The result is the
  // assigned value read as a truth value (ScriptValue::ToBool): false after
  // any script error, and also for a stored string that is no truth value
  // ("abc", ""); an object is true.
  bool SetProperty(std::string_view path, std::string_view value, bool as_json = false);

  // Assigns the value of the script expression `expression` at `path`; the
  // assigned value read as a truth value.
  bool SetByExpression(std::string_view path, std::string_view expression);

  // Rewrites `path` into a script expression starting with "da": a path
  // that starts with "da" and names a value other than null stays; otherwise
  // the empty path becomes "da", a path starting with "[" gets "da" before
  // it, and any other gets "da.". True when the resulting path names a value
  // other than null.
  bool ResolvePath(Text& path);

  // 0 null or no value, 1 Boolean, 2 number, 4 object, 5 array, 6 string,
  // -1 anything else, a path below a missing or null member included.
  int GetValueType(std::string_view path = {});

  // A string's characters, or (as JSON) the value's JSON text. Not as JSON,
  // anything but a string gives the empty Text.
  Text GetText(std::string_view path = {}, bool as_json = false);

  // Replaces `names` with the member names of the object at `path` that do
  // not hold functions, and returns their number; for anything but an object 0.
  int GetMemberNames(std::vector<Text>& names, std::string_view path = {});

  // The length of the array at `path`; 0 for anything else.
  int GetCount(std::string_view path = {});

  // A new document, with an engine of its own, holding the value at `path`
  // as its JSON text reads back. Later changes to either do not reach the other.
  JsonDocument GetPropertyDocument(std::string_view path = {});

  // Appends `value` to the array at `path`, making the path an empty array
  // first when it holds none. As JSON `value` is a script expression; not as
  // JSON it is pushed as a string, and a text holding an apostrophe, CR or
  // LF gives false and changes nothing. The array's new length read as a
  // truth value.
  bool PushValue(std::string_view value, std::string_view path = {}, bool as_json = false);

  // As GetPropertyDocument, for element `index` of the array at `path`.
  JsonDocument GetElementDocument(int index, std::string_view path = {});

  // GetText of element `index` of the array at `path`.
  Text GetElementText(int index, std::string_view path = {}, bool as_json = false);

  // Sets element `index` of the array at `path`; `value` as in PushValue.
  // The assigned value read as a truth value.
  bool SetElement(int index, std::string_view path, std::string_view value, bool as_json = false);

  // Removes element `index` of the array at `path`, moving the later ones
  // down. True unless the script failed (no array there); an index past the
  // end removes nothing and still gives true.
  bool RemoveElement(int index, std::string_view path = {});

  // Deletes the member that `path` names; true when it is gone.
  bool DeleteProperty(std::string_view path);

  // Sets the value at `path` to `number`, written with at most 13
  // significant digits. The number read as a truth value (0 gives false).
  bool SetNumber(std::string_view path, double number);

  // The number at `path`; 0 on failure.
  double GetNumber(std::string_view path = {});

  // The value at `path` as compact JSON text; empty on failure.
  Text GetPathJson(std::string_view path = {});

  // A further holder of the document's engine; nullptr when it has none.
  std::shared_ptr<ScriptControl> GetEngine() const;

 private:
  ScriptValue Eval(std::string_view script);
  Text Resolved(std::string_view path);
  JsonDocument DocumentOf(const Text& expression);

  // The engine a new document starts with is made on first use: Parse, the
  // first thing most documents do, replaces it anyway, and making one is
  // the bulk of a lookup's cost. Nothing observable depends on when.
  void MakePendingEngine() const;

  Text name_ = "da";
  mutable std::shared_ptr<ScriptControl> engine_;
  mutable bool engine_pending_ = true;
};

}  // namespace shorturl
