#pragma once

#include <QString>
#include <utility>

// The outcome of a file operation: success, or a message for the user (Japanese, naming the
// file and the reason).
class [[nodiscard]] Status {
 public:
  static Status success() { return Status(); }
  static Status failure(QString message) { return Status(std::move(message)); }

  bool isOk() const { return !failed_; }
  explicit operator bool() const { return isOk(); }
  const QString& message() const { return message_; }

 private:
  Status() = default;
  explicit Status(QString message) : message_(std::move(message)), failed_(true) {}

  QString message_;
  bool failed_ = false;
};
