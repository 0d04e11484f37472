// The links, kept in an SQLite database in WAL mode.
//
// Reads go through a pool of connections, one per concurrent caller. Writes
// go through one writer thread that commits the requests waiting at that
// moment in one transaction and only then answers them: a link that Shorten
// has returned is in the database's log and survives a kill of the server.
// The log is copied into the database (and flushed to disk) by a thread of
// its own, so that the writer never waits for the disk.
#pragma once

#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct sqlite3;

namespace shorturl::server {

struct StoredLink {
  std::string code;
  int type = 0;
  std::string long_url;
};

enum class FindResult { kFound, kMissing, kFailed };

class LinkStore {
 public:
  // Opens the database at `path`, creating it and its table when missing.
  // nullptr with a one-line reason in `*error` on failure.
  static std::unique_ptr<LinkStore> Open(const std::string& path, std::string* error);
  ~LinkStore();
  LinkStore(const LinkStore&) = delete;
  LinkStore& operator=(const LinkStore&) = delete;

  // The code of the link of (`long_url`, `type`), made when there is none
  // yet; it returns once the new link is durably committed. nullopt when the
  // database fails.
  std::optional<std::string> Shorten(const std::string& long_url, int type);

  FindResult Find(const std::string& code, StoredLink* link);

 private:
  struct Reader;
  struct WriteRequest {
    std::string long_url;
    int type = 0;
    std::promise<std::optional<std::string>> answer;
  };

  LinkStore(std::string path, sqlite3* writer);
  std::unique_ptr<Reader> TakeReader();
  void ReturnReader(std::unique_ptr<Reader> reader);
  void WriterLoop();
  void CheckpointLoop();
  bool WriteBatch(std::vector<WriteRequest>& batch, std::vector<std::optional<std::string>>& codes);

  const std::string path_;
  sqlite3* writer_db_;

  std::mutex readers_mutex_;
  std::vector<std::unique_ptr<Reader>> readers_;

  std::mutex queue_mutex_;
  std::condition_variable queue_ready_;
  std::deque<WriteRequest> queue_;
  bool stopping_ = false;
  std::thread writer_;
  std::condition_variable checkpoint_wake_;
  std::thread checkpointer_;
};

}  // namespace shorturl::server
