#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace gathra {

// SQLite, opened on first use (the library is not linked, so that runs which read no places
// database and keep no search index do not map it). This file pair is the only user of the
// library: the places import and the search index go through these classes.

// The library's soname, for messages.
std::string_view SqliteLibraryName();
// Opens the library and resolves every function, once for the process. Empty when that worked;
// otherwise why not, as the dynamic linker said it.
const std::string& SqliteLoadError();

class SqliteStatement;

// One database connection. Every call answers false (and sets Error) on failure; a connection
// that failed to open answers false to everything.
class SqliteDatabase {
public:
    enum class Mode { ReadOnly, ReadWrite, Create };

    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // `name` is a path, or a "file:" URI when `uri` is set.
    bool Open(const std::string& name, Mode mode, bool uri = false);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }

    // Runs one or more statements that return no rows.
    bool Exec(std::string_view sql);
    // A prepared statement; check Ok() on it.
    SqliteStatement Prepare(std::string_view sql);

    std::int64_t LastInsertId() const;
    // The error of the last failed call, as SQLite said it.
    const std::string& Error() const { return error_; }
    // The last failure was damage: a file that is not a database, or a damaged one.
    bool Damaged() const { return damaged_; }

private:
    friend class SqliteStatement;
    bool Fail(int code);

    sqlite3* db_ = nullptr;
    std::string error_;
    bool damaged_ = false;
};

class SqliteStatement {
public:
    SqliteStatement() = default;
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    ~SqliteStatement();

    bool Ok() const { return statement_ != nullptr; }
    // Parameters count from 1. Text is copied.
    SqliteStatement& Bind(int index, std::string_view text);
    SqliteStatement& Bind(int index, std::int64_t value);

    // One step: true while a row is ready; false when done or failed (see Failed).
    bool Step();
    bool Failed() const { return failed_; }
    // Runs a statement that returns no rows to its end; false on failure.
    bool Run();
    // Makes the statement ready to run again with new parameters.
    void Reset();

    std::string Text(int column) const;
    std::int64_t Int(int column) const;
    double Real(int column) const;

private:
    friend class SqliteDatabase;
    SqliteStatement(SqliteDatabase* db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}

    SqliteDatabase* db_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;
    bool failed_ = false;
};

} // namespace gathra
