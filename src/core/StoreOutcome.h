// What a library operation came to: done, or why not. The windows turn a
// failure into the words the user reads.
#pragma once

#include <QString>
#include <optional>
#include <utility>

enum class StoreError {
    None,
    Missing,      // no file at the library path
    Locked,       // another program holds the file
    NotALibrary,  // not an SQLite file, or without the table VBcode and its columns
    Damaged,      // SQLite reports the file as corrupt
    Unreadable,   // the system refused to open or write the file
    NoSuchRecord, // the ID names no record (any more)
    Refused,      // the library refused the change (a constraint, a full disk)
    ReadOnly,     // the file, or its folder, may only be read
    TooBig,       // a value is longer than the library can hold
};

// An outcome with a value on success; Outcome<> carries none.
template <typename T = void> class Outcome {
  public:
    Outcome(T value) : m_value(std::move(value)) {}
    Outcome(StoreError error, QString detail = {}) : m_error(error), m_detail(std::move(detail)) {}

    bool ok() const { return m_error == StoreError::None; }
    explicit operator bool() const { return ok(); }
    StoreError error() const { return m_error; }
    // The system's own words for the failure, where it gave any.
    const QString &detail() const { return m_detail; }
    const T &value() const { return *m_value; }
    T &value() { return *m_value; }

  private:
    StoreError m_error = StoreError::None;
    QString m_detail;
    std::optional<T> m_value;
};

template <> class Outcome<void> {
  public:
    Outcome() = default;
    Outcome(StoreError error, QString detail = {}) : m_error(error), m_detail(std::move(detail)) {}

    bool ok() const { return m_error == StoreError::None; }
    explicit operator bool() const { return ok(); }
    StoreError error() const { return m_error; }
    const QString &detail() const { return m_detail; }

  private:
    StoreError m_error = StoreError::None;
    QString m_detail;
};
