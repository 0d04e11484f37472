// The floor that the client benchmarks measure against: one POST with a bare
// in-process libcurl handle, nothing of ours on the way.
#pragma once

#include <curl/curl.h>

#include <string>

namespace shorturl::bench {

inline size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

inline void BareCurlPost(const std::string& url, const std::string& body) {
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, DiscardBody);
  curl_easy_perform(easy);
  curl_easy_cleanup(easy);
}

}  // namespace shorturl::bench
