#pragma once

#include <QDir>
#include <QTemporaryDir>

#include <filesystem>

namespace dorvel::test {

// A fresh temporary folder made the current directory for the lifetime of the
// object, so code that uses the bare name "dorvel.cfg" works on a private copy.
class ScopedCurrentDir
{
public:
    ScopedCurrentDir();
    ~ScopedCurrentDir();
    ScopedCurrentDir(const ScopedCurrentDir &) = delete;
    ScopedCurrentDir &operator=(const ScopedCurrentDir &) = delete;

    std::filesystem::path path() const { return m_dir.path().toStdString(); }

private:
    QTemporaryDir m_dir;
    std::filesystem::path m_previous;
};

} // namespace dorvel::test
