#include "server/link_store.h"

#include <sqlite3.h>

#include <chrono>

#include "server/short_code.h"

namespace shorturl::server {
namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr std::size_t kMaxBatch = 512;
constexpr std::size_t kCodeLength = 6;
constexpr int kCodeAttempts = 24;
constexpr std::chrono::milliseconds kCheckpointInterval{200};

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS links ("
    "  code TEXT NOT NULL PRIMARY KEY,"
    "  type INTEGER NOT NULL,"
    "  long_url TEXT NOT NULL,"
    "  created INTEGER NOT NULL,"
    "  UNIQUE (long_url, type));";

// Every SQLite failure becomes a one-line reason here.
std::string SqliteError(sqlite3* db, const char* what) {
  return std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
}

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3* OpenConnection(const std::string& path, int flags, std::string* error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    if (error) *error = SqliteError(db, ("cannot open " + path).c_str());
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // NORMAL in WAL mode: a commit is in the log file (the kernel's cache)
  // before Shorten answers, so a killed or crashed server loses no link it
  // has acknowledged; only a power loss or a kernel crash may take back the
  // last commits, never corrupting the file. Flushing the disk on every
  // commit (FULL) would cost each batch a disk round trip.
  if (!Exec(db, "PRAGMA synchronous=NORMAL;")) {
    if (error) *error = SqliteError(db, "cannot set up the database");
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  sqlite3_stmt* get() const { return stmt_; }
  explicit operator bool() const { return stmt_ != nullptr; }
  void Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  void Bind(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  std::string Column(int index) {
    const char* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
    return data ? std::string(data, sqlite3_column_bytes(stmt_, index)) : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// The code of (long_url, type): found, missing, or a failed query.
FindResult FindCode(Statement& by_url, const std::string& long_url, int type, std::string* code) {
  by_url.Reset();
  by_url.Bind(1, long_url);
  sqlite3_bind_int(by_url.get(), 2, type);
  int rc = sqlite3_step(by_url.get());
  FindResult result = FindResult::kFailed;
  if (rc == SQLITE_ROW) {
    *code = by_url.Column(0);
    result = FindResult::kFound;
  } else if (rc == SQLITE_DONE) {
    result = FindResult::kMissing;
  }
  by_url.Reset();
  return result;
}

constexpr const char* kSelectByUrl = "SELECT code FROM links WHERE long_url = ?1 AND type = ?2";
constexpr const char* kSelectByCode = "SELECT type, long_url FROM links WHERE code = ?1";

}  // namespace

struct LinkStore::Reader {
  explicit Reader(sqlite3* connection)
      : db(connection), by_code(db, kSelectByCode), by_url(db, kSelectByUrl) {}
  // close_v2 waits for the statements, which are finalized after this body.
  ~Reader() { sqlite3_close_v2(db); }
  sqlite3* db;
  Statement by_code;
  Statement by_url;
};

std::unique_ptr<LinkStore> LinkStore::Open(const std::string& path, std::string* error) {
  sqlite3* db = OpenConnection(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
  if (!db) return nullptr;
  sqlite3_stmt* stmt = nullptr;
  bool wal =
      sqlite3_prepare_v2(db, "PRAGMA journal_mode=WAL;", -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW &&
      sqlite3_stricmp(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal") == 0;
  sqlite3_finalize(stmt);
  if (!wal || !Exec(db, kSchema)) {
    *error = SqliteError(db, ("cannot set up the database " + path).c_str());
    sqlite3_close(db);
    return nullptr;
  }
  return std::unique_ptr<LinkStore>(new LinkStore(path, db));
}

LinkStore::LinkStore(std::string path, sqlite3* writer)
    : path_(std::move(path)),
      writer_db_(writer),
      writer_([this] { WriterLoop(); }),
      checkpointer_([this] { CheckpointLoop(); }) {
  // The writer leaves checkpoints to the checkpoint thread: one run inside a
  // commit would make that commit wait for the disk.
  Exec(writer_db_, "PRAGMA wal_autocheckpoint=0;");
}

LinkStore::~LinkStore() {
  {
    std::lock_guard lock(queue_mutex_);
    stopping_ = true;
  }
  queue_ready_.notify_all();
  checkpoint_wake_.notify_all();
  writer_.join();
  checkpointer_.join();
  readers_.clear();
  sqlite3_close(writer_db_);
}

std::unique_ptr<LinkStore::Reader> LinkStore::TakeReader() {
  {
    std::lock_guard lock(readers_mutex_);
    if (!readers_.empty()) {
      std::unique_ptr<Reader> reader = std::move(readers_.back());
      readers_.pop_back();
      return reader;
    }
  }
  sqlite3* db = OpenConnection(path_, SQLITE_OPEN_READONLY, nullptr);
  if (!db) return nullptr;
  auto reader = std::make_unique<Reader>(db);
  if (!reader->by_code || !reader->by_url) return nullptr;
  return reader;
}

void LinkStore::ReturnReader(std::unique_ptr<Reader> reader) {
  std::lock_guard lock(readers_mutex_);
  readers_.push_back(std::move(reader));
}

FindResult LinkStore::Find(const std::string& code, StoredLink* link) {
  std::unique_ptr<Reader> reader = TakeReader();
  if (!reader) return FindResult::kFailed;
  Statement& query = reader->by_code;
  query.Reset();
  query.Bind(1, code);
  int rc = sqlite3_step(query.get());
  FindResult result = FindResult::kFailed;
  if (rc == SQLITE_ROW) {
    link->code = code;
    link->type = sqlite3_column_int(query.get(), 0);
    link->long_url = query.Column(1);
    result = FindResult::kFound;
  } else if (rc == SQLITE_DONE) {
    result = FindResult::kMissing;
  }
  query.Reset();
  ReturnReader(std::move(reader));
  return result;
}

std::optional<std::string> LinkStore::Shorten(const std::string& long_url, int type) {
  // An address shortened before needs no write and no wait for the writer.
  if (std::unique_ptr<Reader> reader = TakeReader()) {
    std::string code;
    FindResult found = FindCode(reader->by_url, long_url, type, &code);
    ReturnReader(std::move(reader));
    if (found == FindResult::kFound) return code;
  }
  std::future<std::optional<std::string>> answer;
  {
    std::lock_guard lock(queue_mutex_);
    if (stopping_) return std::nullopt;
    WriteRequest& request = queue_.emplace_back();
    request.long_url = long_url;
    request.type = type;
    answer = request.answer.get_future();
  }
  queue_ready_.notify_one();
  return answer.get();
}

void LinkStore::WriterLoop() {
  std::vector<WriteRequest> batch;
  std::vector<std::optional<std::string>> codes;
  while (true) {
    {
      std::unique_lock lock(queue_mutex_);
      queue_ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopping, and every request answered
      while (!queue_.empty() && batch.size() < kMaxBatch) {
        batch.push_back(std::move(queue_.front()));
        queue_.pop_front();
      }
    }
    codes.assign(batch.size(), std::nullopt);
    if (!WriteBatch(batch, codes)) codes.assign(batch.size(), std::nullopt);
    for (std::size_t i = 0; i < batch.size(); ++i) batch[i].answer.set_value(codes[i]);
    batch.clear();
  }
}

// Copies the log into the database every so often, beside the writer (a
// passive checkpoint blocks neither the writer nor the readers). The last
// connection to close copies the rest.
void LinkStore::CheckpointLoop() {
  sqlite3* db = OpenConnection(path_, SQLITE_OPEN_READWRITE, nullptr);
  if (db == nullptr) return;
  std::unique_lock lock(queue_mutex_);
  while (!stopping_) {
    checkpoint_wake_.wait_for(lock, kCheckpointInterval);
    lock.unlock();
    sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    lock.lock();
  }
  lock.unlock();
  sqlite3_close(db);
}

// One transaction for the whole batch; `codes` is only valid when it commits.
// A request whose own insert fails gets nullopt, the others still commit.
bool LinkStore::WriteBatch(std::vector<WriteRequest>& batch,
                           std::vector<std::optional<std::string>>& codes) {
  Statement by_url(writer_db_, kSelectByUrl);
  Statement insert(writer_db_,
                   "INSERT INTO links (code, type, long_url, created) VALUES (?1, ?2, ?3, ?4)");
  if (!by_url || !insert || !Exec(writer_db_, "BEGIN IMMEDIATE;")) return false;
  sqlite3_int64 now = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const WriteRequest& request = batch[i];
    std::string existing;
    // Earlier requests of this batch are visible here: the same address twice
    // in one batch gets one link.
    FindResult found = FindCode(by_url, request.long_url, request.type, &existing);
    if (found == FindResult::kFound) {
      codes[i] = existing;
      continue;
    }
    if (found == FindResult::kFailed) continue;
    for (int attempt = 0; attempt < kCodeAttempts; ++attempt) {
      // A collision is rare at six characters; a run of them means the space
      // is crowded, so the code grows.
      std::string code = NewShortCode(kCodeLength + attempt / 4);
      if (code.empty()) break;
      insert.Reset();
      insert.Bind(1, code);
      sqlite3_bind_int(insert.get(), 2, request.type);
      insert.Bind(3, request.long_url);
      sqlite3_bind_int64(insert.get(), 4, now);
      int rc = sqlite3_step(insert.get());
      insert.Reset();
      if (rc == SQLITE_DONE) {
        codes[i] = code;
        break;
      }
      if (rc != SQLITE_CONSTRAINT) break;
    }
  }
  if (Exec(writer_db_, "COMMIT;")) return true;
  Exec(writer_db_, "ROLLBACK;");
  return false;
}

}  // namespace shorturl::server
