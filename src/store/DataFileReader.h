#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

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
  qsizetype pos_ = 0;  // the next unread byte in buffer_
  bool eof_ = false;
  bool ioError_ = false;
  QString error_;
};
