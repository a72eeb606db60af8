#include "store/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr const char* kCodecName = "windows-31j";

bool isAscii(const QByteArray& bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

QString decodeCp932(const QByteArray& bytes) {
  if (isAscii(bytes)) return QString::fromLatin1(bytes);
  // Stateless: every call stands alone, so one converter serves all calls on this thread.
  thread_local QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
  return decoder.decode(bytes);
}

std::optional<QByteArray> encodeCp932(const QString& text) {
  bool ascii = true;
  for (QChar c : text) {
    if (c.unicode() >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) return text.toLatin1();
  QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
  QByteArray bytes = encoder.encode(text);
  if (encoder.hasError()) return std::nullopt;
  return bytes;
}

std::optional<QString> firstUnencodableCharacter(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const qsizetype length = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
    if (!encodeCp932(text.mid(i, length))) return text.mid(i, length);
    i += length - 1;
  }
  return std::nullopt;
}
