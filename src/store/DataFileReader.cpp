#include "store/DataFileReader.h"

#include <algorithm>
#include <cerrno>

#include "store/SystemError.h"

namespace {

constexpr qint64 kChunkSize = 64 * 1024;

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}
// What may trail the last record without being a record: blank lines, blanks and the old
// end-of-file mark (Ctrl+Z).
bool isTrailingFiller(char c) {
  return isBlank(c) || isLineEnd(c) || c == '\x1A';
}

}  // namespace

DataFileReader::DataFileReader(QString path) : path_(std::move(path)), file_(path_) {}

bool DataFileReader::open() {
  errno = 0;
  if (!file_.open(QIODevice::ReadOnly)) {
    const int code = errno;
    return fail(code != 0 ? describeSystemError(code) : file_.errorString());
  }
  return true;
}

bool DataFileReader::fill() {
  if (eof_ || ioError_) return false;
  if (pos_ > 0 && pos_ == buffer_.size()) {
    buffer_.clear();
    pos_ = 0;
  }
  const qsizetype before = buffer_.size();
  buffer_.resize(before + kChunkSize);
  const qint64 got = file_.read(buffer_.data() + before, kChunkSize);
  if (got < 0) {
    buffer_.resize(before);
    ioError_ = true;
    fail(QStringLiteral("読み込み中にエラーが発生しました（%1）").arg(file_.errorString()));
    return false;
  }
  buffer_.resize(before + got);
  if (got == 0) {
    eof_ = true;
    return false;
  }
  return true;
}

bool DataFileReader::peek(char* c) {
  if (pos_ >= buffer_.size() && !fill()) return false;
  *c = buffer_[pos_];
  return true;
}

bool DataFileReader::atEnd() {
  // Look past trailing filler without consuming it: in the middle of the file a blank line
  // is an (empty) field like any other.
  qsizetype checked = 0;  // bytes after pos_ known to be filler
  for (;;) {
    const char* begin = buffer_.constData() + pos_ + checked;
    const char* end = buffer_.constData() + buffer_.size();
    if (std::find_if_not(begin, end, isTrailingFiller) != end) return false;
    checked = buffer_.size() - pos_;
    if (!fill()) return !ioError_;
  }
}

void DataFileReader::readField(Field* field) {
  char c = 0;
  while (peek(&c) && isBlank(c)) ++pos_;
  QByteArray raw;
  if (peek(&c) && c == '"') {
    ++pos_;
    field->quoted = true;
    for (;;) {
      if (pos_ >= buffer_.size() && !fill()) break;
      const qsizetype quote = buffer_.indexOf('"', pos_);
      if (quote >= 0) {
        raw.append(buffer_.constData() + pos_, quote - pos_);
        pos_ = quote + 1;
        break;
      }
      raw.append(buffer_.constData() + pos_, buffer_.size() - pos_);
      pos_ = buffer_.size();
    }
    // Anything between the closing quote and the delimiter is dropped.
    while (peek(&c) && c != ',' && !isLineEnd(c)) ++pos_;
  } else {
    field->quoted = false;
    while (peek(&c) && c != ',' && !isLineEnd(c)) {
      const char* begin = buffer_.constData() + pos_;
      const char* end = std::find_if(begin, buffer_.constData() + buffer_.size(),
                                     [](char b) { return b == ',' || isLineEnd(b); });
      raw.append(begin, end - begin);
      pos_ += end - begin;
    }
    while (!raw.isEmpty() && isBlank(raw.back())) raw.chop(1);
  }
  field->raw = std::move(raw);

  // The delimiter: a comma, or a line end (CR LF, CR or LF).
  if (peek(&c)) {
    if (c == ',') {
      ++pos_;
    } else if (c == '\r') {
      ++pos_;
      if (peek(&c) && c == '\n') ++pos_;
    } else if (c == '\n') {
      ++pos_;
    }
  }
}

bool DataFileReader::readRecord(int fieldCount, QList<Field>* fields) {
  fields->resize(fieldCount);
  for (int i = 0; i < fieldCount; ++i) {
    char c = 0;
    if (!peek(&c)) {
      if (ioError_) return false;
      return fail(QStringLiteral("ファイルがレコードの途中で終わっています"));
    }
    readField(&(*fields)[i]);
    if (ioError_) return false;
  }
  return true;
}

bool DataFileReader::fail(const QString& reason) {
  if (error_.isEmpty()) {
    error_ = QStringLiteral("データファイル%1を読み込めません。\n理由: %2")
                 .arg(quotedPath(path_), reason);
  }
  return false;
}
