#include "dialogs/WindowsRegistry.h"

#ifdef Q_OS_WIN
#include <windows.h>

namespace {

HKEY rootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::CurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine:
      break;
  }
  return HKEY_LOCAL_MACHINE;
}

// Closes the key on every way out.
class ScopedKey {
 public:
  explicit ScopedKey(HKEY key) : key_(key) {}
  ~ScopedKey() { RegCloseKey(key_); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_;
};

}  // namespace

std::optional<RegistryValue> WindowsRegistryReader::read(RegistryRoot root, const QString& keyPath,
                                                         const QString& valueName) const {
  const QByteArray keyName = keyPath.toLocal8Bit();
  const QByteArray name = valueName.toLocal8Bit();
  HKEY handle = nullptr;
  // Read access only: an ordinary user may not write under HKEY_LOCAL_MACHINE, and asking for
  // more than reading would make the open fail for them.
  if (RegOpenKeyExA(rootKey(root), keyName.constData(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const ScopedKey key(handle);

  // Start with room for a path; grow to the size the registry asks for should the value be
  // longer (or grow between two queries).
  QByteArray data(1024, '\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD size = DWORD(data.size());
    const LSTATUS status = RegQueryValueExA(key.get(), name.constData(), nullptr, &type,
                                            reinterpret_cast<LPBYTE>(data.data()), &size);
    if (status == ERROR_MORE_DATA) {
      data = QByteArray(qMax<qsizetype>(qsizetype(size), data.size() * 2), '\0');
      continue;
    }
    if (status != ERROR_SUCCESS) return std::nullopt;
    data.truncate(qMin<qsizetype>(qsizetype(size), data.size()));
    return RegistryValue{quint32(type), data};
  }
  return std::nullopt;
}

const RegistryReader& systemRegistryReader() {
  static const WindowsRegistryReader reader;
  return reader;
}

#else

const RegistryReader& systemRegistryReader() {
  static const EmptyRegistryReader reader;
  return reader;
}

#endif
