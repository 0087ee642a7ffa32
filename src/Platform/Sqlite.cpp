// The program's only user of SQLite.
#include "Platform/Sqlite.h"

#include "Platform/SharedLibrary.h"

#include <sqlite3.h>

#include <utility>

#ifndef GATHRA_SQLITE_LIBRARY
#error "GATHRA_SQLITE_LIBRARY must name SQLite's soname (set by the build)"
#endif

namespace gathra {

namespace {

// The SQLite functions this file calls. The library is opened on first use, so the program does
// not link it: each function is a pointer of its own type, named as the function, which stands
// in for it in every call below.
#define GATHRA_SQLITE_FUNCTIONS(F)                                                                 \
    F(sqlite3_bind_int64)                                                                          \
    F(sqlite3_bind_text)                                                                           \
    F(sqlite3_busy_timeout)                                                                        \
    F(sqlite3_close)                                                                               \
    F(sqlite3_column_bytes)                                                                        \
    F(sqlite3_column_double)                                                                       \
    F(sqlite3_column_int64)                                                                        \
    F(sqlite3_column_text)                                                                         \
    F(sqlite3_errmsg)                                                                              \
    F(sqlite3_errstr)                                                                              \
    F(sqlite3_exec)                                                                                \
    F(sqlite3_extended_result_codes)                                                               \
    F(sqlite3_finalize)                                                                            \
    F(sqlite3_last_insert_rowid)                                                                   \
    F(sqlite3_open_v2)                                                                             \
    F(sqlite3_prepare_v2)                                                                          \
    F(sqlite3_reset)                                                                               \
    F(sqlite3_step)

#define GATHRA_SQLITE_POINTER(name) decltype(&::name) name = nullptr;
GATHRA_SQLITE_FUNCTIONS(GATHRA_SQLITE_POINTER)
#undef GATHRA_SQLITE_POINTER

bool IsDamage(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

} // namespace

std::string_view SqliteLibraryName() {
    return GATHRA_SQLITE_LIBRARY;
}

const std::string& SqliteLoadError() {
    static const std::string error = [] {
        // Open until the process ends.
        static TSharedLibrary* const library = new TSharedLibrary(GATHRA_SQLITE_LIBRARY);
        bool all = library->Loaded();
#define GATHRA_SQLITE_RESOLVE(name) all = all && library->Resolve(#name, name);
        GATHRA_SQLITE_FUNCTIONS(GATHRA_SQLITE_RESOLVE)
#undef GATHRA_SQLITE_RESOLVE
        return all ? std::string() : library->Error();
    }();
    return error;
}

SqliteDatabase::~SqliteDatabase() {
    Close();
}

bool SqliteDatabase::Open(const std::string& name, Mode mode, bool uri) {
    Close();
    damaged_ = false;
    if (const std::string& load = SqliteLoadError(); !load.empty()) {
        error_ = load;
        return false;
    }
    int flags = mode == Mode::ReadOnly    ? SQLITE_OPEN_READONLY
                : mode == Mode::ReadWrite ? SQLITE_OPEN_READWRITE
                                          : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (uri) flags |= SQLITE_OPEN_URI;
    const int code = sqlite3_open_v2(name.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        error_ = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
        damaged_ = IsDamage(code);
        Close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    // Another program (the desktop program and the command line) may hold the file a moment.
    sqlite3_busy_timeout(db_, 2000);
    return true;
}

void SqliteDatabase::Close() {
    if (db_ != nullptr) sqlite3_close(db_);
    db_ = nullptr;
}

bool SqliteDatabase::Fail(int code) {
    error_ = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
    damaged_ = IsDamage(code);
    return false;
}

bool SqliteDatabase::Exec(std::string_view sql) {
    if (db_ == nullptr) return false;
    const std::string text(sql);
    const int code = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
    return code == SQLITE_OK || Fail(code);
}

SqliteStatement SqliteDatabase::Prepare(std::string_view sql) {
    if (db_ == nullptr) return {};
    sqlite3_stmt* statement = nullptr;
    const int code =
        sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_finalize(statement);
        Fail(code);
        return {};
    }
    return SqliteStatement(this, statement);
}

std::int64_t SqliteDatabase::LastInsertId() const {
    return db_ != nullptr ? sqlite3_last_insert_rowid(db_) : 0;
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : db_(other.db_), statement_(std::exchange(other.statement_, nullptr)), failed_(other.failed_) {
}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        if (statement_ != nullptr) sqlite3_finalize(statement_);
        db_ = other.db_;
        statement_ = std::exchange(other.statement_, nullptr);
        failed_ = other.failed_;
    }
    return *this;
}

SqliteStatement::~SqliteStatement() {
    if (statement_ != nullptr) sqlite3_finalize(statement_);
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view text) {
    if (statement_ != nullptr)
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t value) {
    if (statement_ != nullptr) sqlite3_bind_int64(statement_, index, value);
    return *this;
}

bool SqliteStatement::Step() {
    if (statement_ == nullptr) {
        failed_ = true;
        return false;
    }
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) return true;
    if (code != SQLITE_DONE) {
        failed_ = true;
        db_->Fail(code);
    }
    return false;
}

bool SqliteStatement::Run() {
    while (Step()) {
    }
    return !failed_;
}

void SqliteStatement::Reset() {
    if (statement_ != nullptr) sqlite3_reset(statement_);
    failed_ = false;
}

std::string SqliteStatement::Text(int column) const {
    if (statement_ == nullptr) return {};
    const unsigned char* text = sqlite3_column_text(statement_, column);
    const int bytes = sqlite3_column_bytes(statement_, column);
    return text == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
}

std::int64_t SqliteStatement::Int(int column) const {
    return statement_ != nullptr ? sqlite3_column_int64(statement_, column) : 0;
}

double SqliteStatement::Real(int column) const {
    return statement_ != nullptr ? sqlite3_column_double(statement_, column) : 0.0;
}

} // namespace gathra
