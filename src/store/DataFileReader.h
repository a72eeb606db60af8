#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QList>
#include <QString>
#include <algorithm>

#include "store/Record.h"

// Reads the data file as a stream of comma-separated fields, the way every reader of the
// program does: a quoted field runs to the next double quote (commas and line breaks inside
// belong to it), a bare field runs to the next comma or line end with blanks around it
// dropped, and a line end ends a field just as a comma does. A reader asking for N fields
// consumes one line when the line has N fields; a shorter line lends the missing fields
// from the next one. The file is read in chunks, so a scan that stops early reads little.
class DataFileReader {
 public:
  // Where one field lies in the buffer.
  struct Parsed;

  explicit DataFileReader(QString path);

  bool open();
  // True when nothing but blank lines remains.
  bool atEnd();
  // Reads the next record of fieldCount fields. Fails at an I/O error or when the file ends
  // inside the record.
  bool readRecord(int fieldCount, QList<Field>* fields);
  // Reads `count` fields into (*fields)[first ...], which must be large enough; with no list the
  // fields are skipped without copying, for records a scan only passes over.
  bool readFields(int first, int count, QList<Field>* fields);

  // Reads the next field and shows its bytes without copying them; the view is valid until
  // the next call on the reader. For the fields a scan only looks at.
  bool readFieldView(QByteArrayView* view);
  // Passes over `count` fields without copying them.
  bool skipFields(int count);
  // Where a field lies among the kept bytes (see keepFromHere).
  struct Span {
    qsizetype begin = 0;
    qsizetype end = 0;
    bool quoted = false;
  };
  // Reads the next field and tells where it lies among the kept bytes.
  bool readFieldSpan(Span* span);
  // Reads the next `count` fields and tells where they lie among the kept bytes: the fields
  // that lie wholly in the buffer are parsed in one tight loop, for scans over every record.
  bool readFieldSpans(int count, Span* spans);
  // Reads the next field into *field, reusing its storage.
  bool readFieldInto(Field* field);

  // For a caller that copies records as the bytes they stand in the file: from keepFromHere()
  // on, the bytes read stay in the buffer and kept() shows them, until releaseKept() lets the
  // first n go or stopKeeping() all of them. The view is valid until the next read.
  void keepFromHere() { keep_ = pos_; }
  QByteArrayView kept() const {
    return keep_ < 0 ? QByteArrayView() : QByteArrayView(buffer_.constData() + keep_, pos_ - keep_);
  }
  void releaseKept(qsizetype n) {
    if (keep_ >= 0) keep_ = std::min(keep_ + n, pos_);
  }
  void stopKeeping() { keep_ = -1; }

  // The fields of bytes that hold one record and end with the file, as the reader read them.
  static bool parseFinalRecord(QByteArrayView bytes, int count, QList<Field>* fields);

  // True once a quoted field ran to the end of the file without its closing quote: the bytes
  // kept then end inside the quotes, and whatever is written after them would join the field.
  bool endedInsideQuotes() const { return endedInsideQuotes_; }

  // Where the reader stands in the file, in bytes from its start, and the file's size.
  qint64 offset() const { return bufferStart_ + pos_; }
  qint64 fileSize() const { return file_.size(); }
  // The open file, for a caller that compares with it.
  QFile& file() { return file_; }

  // A Japanese message naming the file and the reason, after a failure.
  const QString& errorString() const { return error_; }

 private:
  // Reads more of the file after what is buffered; false at the end or on an error.
  bool fill();
  bool parseNext(Parsed* parsed);
  bool fail(const QString& reason);

  QString path_;
  QFile file_;
  QByteArray buffer_;
  qsizetype pos_ = 0;       // the next unread byte in buffer_
  qsizetype keep_ = -1;     // the first byte kept, or -1
  qint64 bufferStart_ = 0;  // the file offset of buffer_[0]
  qint64 fileSize_ = 0;     // as it was when opened; only sizes the reads
  bool eof_ = false;
  bool ioError_ = false;
  bool endedInsideQuotes_ = false;
  QString error_;
};
