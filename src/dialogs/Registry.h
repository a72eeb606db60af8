#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

enum class RegistryRoot { LocalMachine, CurrentUser };

// Value types as the registry numbers them.
inline constexpr quint32 kRegistryString = 1;  // REG_SZ
inline constexpr quint32 kRegistryNumber = 4;  // REG_DWORD, little-endian

// A value as the registry gives it: its type and its bytes, cut to the size it reported.
struct RegistryValue {
  quint32 type = 0;
  QByteArray data;
};

// Reads single values of the registry; a key or value that is missing or cannot be read gives
// no value. Key paths and value names use backslashes, as the registry writes them.
class RegistryReader {
 public:
  virtual ~RegistryReader() = default;
  virtual std::optional<RegistryValue> read(RegistryRoot root, const QString& keyPath,
                                            const QString& valueName) const = 0;
};

// The text of a value: a string up to its terminating zero (text in the system's ANSI code
// page); a 32-bit number as "&h" and its hexadecimal digits (upper case, no leading zeros);
// any other type as "".
QString registryValueText(const RegistryValue& value);

// Reads a value as text; no value when the key cannot be opened or the value is missing.
std::optional<QString> GetKeyValue(const RegistryReader& registry, RegistryRoot root,
                                   const QString& keyPath, const QString& valueName);
