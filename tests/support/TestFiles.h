#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes and reads test files byte for byte.
inline void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write test file");
  file.write(bytes);
}

inline QByteArray readBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArrayLiteral("<missing>");
  return file.readAll();
}

// The marker line as it stands on disk.
inline const QByteArray kMarkerLine =
    QByteArrayLiteral("\"\x83\x5E\x83\x43\x83\x7D\",\"\",\"\",0,0\r\n");
