#include "dialogs/Registry.h"

#include <QtEndian>

QString registryValueText(const RegistryValue& value) {
  switch (value.type) {
    case kRegistryString: {
      // A string ends at its first zero; whatever a careless writer stored after it is not
      // part of it.
      const qsizetype end = value.data.indexOf('\0');
      return QString::fromLocal8Bit(end < 0 ? value.data : value.data.left(end));
    }
    case kRegistryNumber: {
      // Fewer than four bytes are the low bytes of the number.
      uchar bytes[4] = {0, 0, 0, 0};
      for (qsizetype i = 0; i < qMin<qsizetype>(4, value.data.size()); ++i) {
        bytes[i] = uchar(value.data[i]);
      }
      return QStringLiteral("&h") +
             QString::number(qFromLittleEndian<quint32>(bytes), 16).toUpper();
    }
    default:
      return QString();
  }
}

std::optional<QString> GetKeyValue(const RegistryReader& registry, RegistryRoot root,
                                   const QString& keyPath, const QString& valueName) {
  const std::optional<RegistryValue> value = registry.read(root, keyPath, valueName);
  if (!value) return std::nullopt;
  return registryValueText(*value);
}
