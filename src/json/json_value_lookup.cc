#include "json/json_value_lookup.h"

#include "json/json_document.h"
#include "text/codepage.h"

namespace shorturl {

Text GetJsonValue(Text& json_text, std::string_view path) {
  JsonDocument document;
  json_text = ReplaceText(ReplaceText(json_text, "\r"), "\n");
  if (!document.Parse(json_text)) return "JSON解析失败"_gbk;
  switch (document.GetValueType(path)) {
    case 1:
      return document.GetPathJson(path);
    case 2:
      return document.GetPropertyDocument(path).GetWholeText();
    case 6:
      return document.GetText(path);
    default:
      return document.GetText(path, true);
  }
}

}  // namespace shorturl
