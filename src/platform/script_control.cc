#include "platform/script_control.h"

#include <malloc.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "duktape.h"
#include "text/codepage.h"

namespace shorturl {

namespace {

// What the time-out hook sees of a heap: the time after which the running
// script is stopped. Duktape asks about it every few thousand instructions.
struct TimeOut {
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

}  // namespace

struct ScriptControl::Heap {
  duk_context* ctx = nullptr;
  TimeOut time_out;

  ~Heap() {
    if (ctx != nullptr) duk_destroy_heap(ctx);
  }
};

}  // namespace shorturl

// The execution time-out hook that our build of Duktape calls (see
// DUK_USE_EXEC_TIMEOUT_CHECK in src/platform/CMakeLists.txt). Once the
// deadline has passed it keeps answering yes, so a script that catches the
// time-out error is stopped again at its next check.
extern "C" int shorturl_duk_exec_timeout_check(void* udata) {
  auto* time_out = static_cast<shorturl::TimeOut*>(udata);
  return time_out != nullptr && std::chrono::steady_clock::now() >= time_out->deadline ? 1 : 0;
}

namespace shorturl {
namespace {

// Duktape keeps strings in an extended UTF-8 in which characters outside the
// BMP may also stand as two encoded surrogates (CESU-8). Decoded here to
// UTF-16 units; a malformed byte becomes U+FFFD.
std::u16string Utf16FromDuktape(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (extra < 0 || b >= 0xF8 || i + static_cast<std::size_t>(extra) >= s.size()) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    char32_t c = b & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      unsigned char t = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((t & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (t & 0x3F);
    }
    if (!ok || c > 0x10FFFF) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The engine's memory: the C heap, as Duktape's own default, except that a
// large block that grows gets room to grow into. Duktape grows some buffers a
// little at a time (the line-number table of compiled code, one step per 64
// instructions); where realloc moves the block each time, as the
// AddressSanitizer's always does, a large literal would cost time in the
// square of its size.
constexpr std::size_t kGrowsWithRoom = 64 * 1024;

void* Allocate(void*, duk_size_t size) { return std::malloc(size); }

void* Reallocate(void*, void* block, duk_size_t size) {
  if (block != nullptr && size >= kGrowsWithRoom) {
    std::size_t usable = malloc_usable_size(block);
    if (size <= usable && size >= usable / 2) return block;
    if (size > usable) size += size / 2;
  }
  return std::realloc(block, size);
}

void Free(void*, void* block) { std::free(block); }

// Reads the value on top of the stack into a ScriptValue, leaving the stack as it was.
ScriptValue ReadValue(duk_context* ctx) {
  switch (duk_get_type(ctx, -1)) {
    case DUK_TYPE_UNDEFINED:
      return ScriptValue::Other(ScriptValue::Kind::kUndefined);
    case DUK_TYPE_NULL:
      return ScriptValue::Other(ScriptValue::Kind::kNull);
    case DUK_TYPE_BOOLEAN:
      return ScriptValue::Boolean(duk_get_boolean(ctx, -1) != 0);
    case DUK_TYPE_NUMBER: {
      // The script's own number-to-string rules ("1e-7", "123456789012345680000").
      duk_dup_top(ctx);
      Text text = duk_to_string(ctx, -1);
      duk_pop(ctx);
      return ScriptValue::Number(duk_get_number(ctx, -1), std::move(text));
    }
    case DUK_TYPE_STRING: {
      duk_size_t size = 0;
      const char* data = duk_get_lstring(ctx, -1, &size);
      Text text = TextFromUtf16(Utf16FromDuktape(std::string_view(data, size)));
      // A string's ToNumber runs no script, so it cannot throw.
      duk_dup_top(ctx);
      double number = duk_to_number(ctx, -1);
      duk_pop(ctx);
      return ScriptValue::String(std::move(text), number);
    }
    default:
      return ScriptValue::Other(ScriptValue::Kind::kObject);
  }
}

}  // namespace

ScriptValue ScriptValue::Boolean(bool value) {
  ScriptValue v;
  v.kind_ = Kind::kBoolean;
  v.boolean_ = value;
  return v;
}

ScriptValue ScriptValue::Number(double value, Text text) {
  ScriptValue v;
  v.kind_ = Kind::kNumber;
  v.number_ = value;
  v.text_ = std::move(text);
  return v;
}

ScriptValue ScriptValue::String(Text text, double number) {
  ScriptValue v;
  v.kind_ = Kind::kString;
  v.text_ = std::move(text);
  v.number_ = number;
  return v;
}

ScriptValue ScriptValue::Other(Kind kind) {
  ScriptValue v;
  v.kind_ = kind;
  return v;
}

bool ScriptValue::ToBool() const {
  switch (kind_) {
    case Kind::kBoolean:
      return boolean_;
    case Kind::kNumber:
      // NaN is "not zero" and so counts as true.
      return number_ != 0;
    case Kind::kString:
      if (EqualsIgnoringAsciiCase(text_, "true")) return true;
      if (EqualsIgnoringAsciiCase(text_, "false")) return false;
      // The empty string reads as the number 0 by the script's rules, but it
      // is no number at all to a truth conversion.
      return !text_.empty() && !std::isnan(number_) && number_ != 0;
    case Kind::kObject:
      return true;
    default:
      return false;
  }
}

Text ScriptValue::ToText() const {
  switch (kind_) {
    case Kind::kString:
      return text_;
    case Kind::kNumber:
      return text_;
    case Kind::kBoolean:
      return boolean_ ? "true" : "false";
    default:
      return {};
  }
}

double ScriptValue::ToNumber() const {
  switch (kind_) {
    case Kind::kNumber:
      return number_;
    case Kind::kBoolean:
      return boolean_ ? 1 : 0;
    case Kind::kString:
      return std::isnan(number_) || text_.empty() ? 0 : number_;
    default:
      return 0;
  }
}

std::shared_ptr<ScriptControl> ScriptControl::Create() {
  auto heap = std::make_unique<Heap>();
  heap->ctx = duk_create_heap(Allocate, Reallocate, Free, &heap->time_out, nullptr);
  if (heap->ctx == nullptr) return nullptr;
  return std::shared_ptr<ScriptControl>(new ScriptControl(std::move(heap)));
}

ScriptControl::ScriptControl(std::unique_ptr<Heap> heap) : heap_(std::move(heap)) {}

ScriptControl::~ScriptControl() = default;

bool ScriptControl::SetLanguage(std::string_view language) {
  if (!EqualsIgnoringAsciiCase(language, "JavaScript")) return false;
  language_set_ = true;
  return true;
}

namespace {

// Arms the time-out for one call and disarms it afterwards.
class Deadline {
 public:
  Deadline(std::chrono::steady_clock::time_point& deadline, std::chrono::milliseconds time_limit)
      : deadline_(deadline) {
    deadline_ = std::chrono::steady_clock::now() + time_limit;
  }
  ~Deadline() { deadline_ = std::chrono::steady_clock::time_point::max(); }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

 private:
  std::chrono::steady_clock::time_point& deadline_;
};

// The compiled forms of shared code (Duktape bytecode), by source text. Only
// bytecode that this build has made itself is ever loaded: Duktape does not
// check what it loads.
struct SharedCode {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<const std::string>, std::less<>> bytecode;
};

SharedCode& TheSharedCode() {
  static SharedCode shared;
  return shared;
}

std::shared_ptr<const std::string> FindBytecode(std::string_view code) {
  SharedCode& shared = TheSharedCode();
  std::lock_guard<std::mutex> lock(shared.mutex);
  auto it = shared.bytecode.find(code);
  return it == shared.bytecode.end() ? nullptr : it->second;
}

// Under duk_safe_call, so that a failure (out of memory) comes back as an
// error code: [function] -> [function, bytecode buffer].
duk_ret_t DumpCopy(duk_context* ctx, void*) {
  duk_dup_top(ctx);
  duk_dump_function(ctx);
  return 2;
}

// Under duk_safe_call: loads the bytecode in `udata` (a std::string) and
// runs it as global code.
duk_ret_t LoadAndRun(duk_context* ctx, void* udata) {
  const auto* bytecode = static_cast<const std::string*>(udata);
  void* buffer = duk_push_fixed_buffer(ctx, bytecode->size());
  std::memcpy(buffer, bytecode->data(), bytecode->size());
  duk_load_function(ctx);
  duk_call(ctx, 0);
  return 0;
}

}  // namespace

bool ScriptControl::AddCode(std::string_view code, std::chrono::milliseconds time_limit) {
  if (!language_set_) return false;
  duk_context* ctx = heap_->ctx;
  std::string source = Utf8FromText(code);
  Deadline deadline(heap_->time_out.deadline, time_limit);
  bool ok = duk_pcompile_lstring(ctx, 0, source.data(), source.size()) == DUK_EXEC_SUCCESS &&
            duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS;
  duk_set_top(ctx, 0);
  return ok;
}

bool ScriptControl::AddSharedCode(std::string_view code) {
  if (!language_set_) return false;
  duk_context* ctx = heap_->ctx;
  std::shared_ptr<const std::string> bytecode = FindBytecode(code);
  bool ok = false;
  if (bytecode != nullptr) {
    Deadline deadline(heap_->time_out.deadline, kScriptTimeLimit);
    ok = duk_safe_call(ctx, LoadAndRun, const_cast<std::string*>(bytecode.get()), 0, 1) ==
         DUK_EXEC_SUCCESS;
  } else {
    // The first engine to run the code compiles it as AddCode would, keeps a
    // copy of the compiled form, then runs it. Code that does not compile
    // is not kept and fails again next time.
    std::string source = Utf8FromText(code);
    Deadline deadline(heap_->time_out.deadline, kScriptTimeLimit);
    if (duk_pcompile_lstring(ctx, 0, source.data(), source.size()) == DUK_EXEC_SUCCESS &&
        duk_safe_call(ctx, DumpCopy, nullptr, 1, 2) == DUK_EXEC_SUCCESS) {
      duk_size_t size = 0;
      const char* data = static_cast<const char*>(duk_get_buffer_data(ctx, -1, &size));
      auto compiled = std::make_shared<const std::string>(data, size);
      duk_pop(ctx);
      {
        SharedCode& shared = TheSharedCode();
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.bytecode.emplace(std::string(code), std::move(compiled));
      }
      ok = duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS;
    }
  }
  duk_set_top(ctx, 0);
  return ok;
}

ScriptValue ScriptControl::Eval(std::string_view code) {
  if (!language_set_) return {};
  duk_context* ctx = heap_->ctx;
  std::string source = Utf8FromText(code);
  ScriptValue result;
  {
    Deadline deadline(heap_->time_out.deadline, kScriptTimeLimit);
    if (duk_peval_lstring(ctx, source.data(), source.size()) == DUK_EXEC_SUCCESS) {
      result = ReadValue(ctx);
    }
  }
  duk_set_top(ctx, 0);
  return result;
}

}  // namespace shorturl
