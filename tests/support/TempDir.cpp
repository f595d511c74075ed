#include "TempDir.h"

namespace dorvel::test {

ScopedCurrentDir::ScopedCurrentDir()
    : m_previous(std::filesystem::current_path())
{
    std::filesystem::current_path(m_dir.path().toStdString());
}

ScopedCurrentDir::~ScopedCurrentDir()
{
    std::error_code ignored;
    std::filesystem::current_path(m_previous, ignored);
}

} // namespace dorvel::test
