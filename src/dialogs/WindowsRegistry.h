#pragma once

#include <QtGlobal>

#include "dialogs/Registry.h"

#ifdef Q_OS_WIN
// The Windows registry, read through the ANSI functions (names and strings in the system's
// ANSI code page). Keys are opened for reading only.
class WindowsRegistryReader final : public RegistryReader {
 public:
  std::optional<RegistryValue> read(RegistryRoot root, const QString& keyPath,
                                    const QString& valueName) const override;
};
#endif

// A system without a registry: every value is missing.
class EmptyRegistryReader final : public RegistryReader {
 public:
  std::optional<RegistryValue> read(RegistryRoot, const QString&, const QString&) const override {
    return std::nullopt;
  }
};

// The registry of the system the program runs on.
const RegistryReader& systemRegistryReader();
