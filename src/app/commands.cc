#include "app/commands.h"

#include <QPushButton>

#include "app/program.h"
#include "desktop/clipboard_writer.h"
#include "desktop/notice.h"
#include "desktop/run_log.h"
#include "json/json_value_lookup.h"
#include "net/url_encode.h"
#include "net/web_request.h"
#include "regex/regex_object.h"
#include "text/codepage.h"

namespace shorturl {

Commands::Commands(MainWindow& window, Text api_host)
    : window_(window), api_host_(std::move(api_host)) {}

void Commands::Bind() {
  QObject::connect(window_.生成, &QPushButton::clicked, [this] { ShortenCommand(); });
  QObject::connect(window_.复制, &QPushButton::clicked, [this] { CopyShortUrlCommand(); });
  QObject::connect(window_.按钮1, &QPushButton::clicked, [this] { RestoreCommand(); });
  QObject::connect(window_.按钮2, &QPushButton::clicked, [this] { CopyLongUrlCommand(); });
}

int Commands::SelectedLinkType() const {
  const QRadioButton* const radios[] = {window_.单选框1, window_.单选框2, window_.单选框3,
                                        window_.单选框4, window_.单选框5, window_.单选框6,
                                        window_.单选框7, window_.单选框8};
  for (int type = 1; type <= 8; ++type) {
    if (window_.IsRadioSelected(radios[type - 1])) return type;
  }
  return 1;
}

// Pending window events run while the request waits, so another click may run
// a whole command inside this one. Everything this command needs after the
// request is in its own locals: the nested run can replace the program-wide
// Texts and the boxes, and this run still writes its own result, last.
void Commands::ShortenCommand() {
  Text long_url = window_.ReadControlText(window_.原网址内容);
  if (long_url.empty()) {
    ShowNotice("请输入原网址"_gbk, "提醒"_gbk);
    return;
  }
  if (MatchFirstUrl(long_url, 1).empty()) {
    ShowNotice("网址错误，网址需要加上 http:// 或者 https://"_gbk, "提醒"_gbk);
    return;
  }
  EncodedLongUrl = UrlEncode(long_url);
  LinkTypeText = NumberToText(std::int64_t{SelectedLinkType()});

  Text headers;
  Text answer = WebRequestText("http://" + api_host_ + "/api/url", "POST", {}, &headers,
                               "url=" + EncodedLongUrl + "&type=" + LinkTypeText);
  if (TextToInt32(GetJsonValue(answer, "code")) != 200) {
    window_.WriteControlText(window_.短网址内容, "生成失败"_gbk);
    return;
  }
  Text short_url = GetJsonValue(answer, "data['short_url']");
  if (short_url == "null") {
    window_.WriteControlText(window_.短网址内容, "生成失败"_gbk);
    return;
  }
  // The box is read again: the line shows what it holds now, as typed.
  WriteRunLog("网址缩短》原网址："_gbk + window_.ReadControlText(window_.原网址内容) +
              "----短网址："_gbk + short_url);
  window_.WriteControlText(window_.短网址内容, short_url);
  SetClipboardText(short_url);
}

// The short link is sent as typed, without a check and without encoding.
void Commands::RestoreCommand() {
  Text short_url = window_.ReadControlText(window_.短网址还原1);
  Text answer = WebRequestText("http://" + api_host_ + "/api/url/query", "POST", {}, nullptr,
                               "url=" + short_url);
  if (TextToInt32(GetJsonValue(answer, "code")) != 200) {
    window_.WriteControlText(window_.短网址还原2, "还原失败"_gbk);
    return;
  }
  Text long_url = GetJsonValue(answer, "data['long_url']");
  WriteRunLog("网址还原》短网址："_gbk + short_url + "----原网址："_gbk + long_url);
  window_.WriteControlText(window_.短网址还原2, long_url);
  SetClipboardText(long_url);
}

void Commands::CopyShortUrlCommand() {
  Text text = window_.ReadControlText(window_.短网址内容);
  SetClipboardText(text);
}

void Commands::CopyLongUrlCommand() {
  Text text = window_.ReadControlText(window_.短网址还原2);
  SetClipboardText(text);
}

}  // namespace shorturl
