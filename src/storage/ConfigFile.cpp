// Reading and replacing the settings file.
//
// Where the folder takes new files, the file is replaced, never rewritten in
// place: the new record goes to a temporary file next to it, is synced to disk
// and then renamed over the old name. rename() is atomic, so a crash, a kill or
// a full disk at any moment leaves either the complete old record or the
// complete new one. In a folder the player may not write, an existing file the
// player may write is overwritten in place instead and synced.
//
// Two copies of the program are kept apart by an advisory lock (flock) on the
// folder that holds the file: a lock on the file itself would sit on the inode
// that the next rename throws away, and a separate lock file would be one more
// file in the player's folder. Writers lock it exclusively, readers shared.
#include "ConfigRecord.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dorvel::storage {

namespace {

    using FileStatus = struct stat;

    constexpr const char *kTempInfix = ".tmp.";
    constexpr int kTempSuffixLength = 6;
    constexpr const char kTempAlphabet[]
        = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    // Another copy of the program holds the lock only for a few milliseconds; one
    // that holds it longer is stuck, and then the operation gives up like a
    // sharing violation would.
    constexpr auto kLockPatience = std::chrono::seconds(2);

    class FileDescriptor
    {
    public:
        explicit FileDescriptor(int fd = -1)
            : m_fd(fd)
        {
        }
        ~FileDescriptor() { reset(); }
        FileDescriptor(const FileDescriptor &) = delete;
        FileDescriptor &operator=(const FileDescriptor &) = delete;

        int get() const { return m_fd; }
        bool valid() const { return m_fd >= 0; }
        void reset(int fd = -1)
        {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = fd;
        }
        // Closes now and reports whether the close succeeded (a delayed write
        // error can show up only here).
        bool close()
        {
            const int fd = m_fd;
            m_fd = -1;
            return fd < 0 || ::close(fd) == 0;
        }

    private:
        int m_fd;
    };

    enum class LockResult { Locked, Unavailable, Busy };

    std::string folderOf(const std::string &path)
    {
        const auto slash = path.rfind('/');
        if (slash == std::string::npos)
            return ".";
        if (slash == 0)
            return "/";
        return path.substr(0, slash);
    }

    std::string baseNameOf(const std::string &path)
    {
        const auto slash = path.rfind('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }

    // Holds the advisory lock on the file's folder for one operation; released when
    // the descriptor closes. A folder that cannot be opened (search permission
    // only) is used without a lock.
    class ConfigLock
    {
    public:
        LockResult acquire(const std::string &target, bool exclusive)
        {
            m_fd.reset(::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!m_fd.valid())
                return LockResult::Unavailable;
            const int operation = (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
            const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
            for (;;) {
                if (::flock(m_fd.get(), operation) == 0)
                    return LockResult::Locked;
                if (errno != EWOULDBLOCK && errno != EINTR)
                    return LockResult::Unavailable;
                if (std::chrono::steady_clock::now() >= deadline)
                    return LockResult::Busy;
                const timespec pause { 0, 2'000'000 };
                ::nanosleep(&pause, nullptr);
            }
        }

    private:
        FileDescriptor m_fd;
    };

    // The file the name stands for: a symbolic link is followed to its final target,
    // so a replacement keeps the link and updates what it points at. Empty for a
    // dangling link.
    std::optional<std::string> resolveTarget(const std::string &fileName)
    {
        FileStatus info {};
        if (::lstat(fileName.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return fileName;
        char *resolved = ::realpath(fileName.c_str(), nullptr);
        if (resolved == nullptr)
            return std::nullopt;
        std::string target(resolved);
        std::free(resolved);
        return target;
    }

    bool hasWriteBits(mode_t mode)
    {
        return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    }

    // Write protection as an ordinary user meets it. The permission bits are
    // checked as well as access(), because for root access() always allows writing
    // and a rename would silently replace a file the user had made read-only.
    bool writeProtected(const std::string &path, const FileStatus &info)
    {
        return !hasWriteBits(info.st_mode) || ::access(path.c_str(), W_OK) != 0;
    }

    // A file this process may not read holds a record it never saw: replacing it
    // would wipe the high scores in it. updateConfig() already stops at the failed
    // read; for a plain write such a file counts as protected too.
    bool unreadable(const std::string &path)
    {
        return ::access(path.c_str(), R_OK) != 0;
    }

    bool isTemporaryName(const std::string &name, const std::string &prefix)
    {
        if (name.size() != prefix.size() + kTempSuffixLength
            || name.compare(0, prefix.size(), prefix) != 0)
            return false;
        for (std::size_t i = prefix.size(); i < name.size(); ++i) {
            const char c = name[i];
            const bool alnum
                = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
            if (!alnum)
                return false;
        }
        return true;
    }

    // Temporary files of writers that were killed before their rename. Only called
    // while holding the exclusive lock: every live writer creates its temporary
    // under that lock, so any temporary seen now is a dead writer's.
    void removeStrayTemporaries(const std::string &folder, const std::string &baseName)
    {
        DIR *dir = ::opendir(folder.c_str());
        if (dir == nullptr)
            return;
        const std::string prefix = baseName + kTempInfix;
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name(entry->d_name);
            if (!isTemporaryName(name, prefix))
                continue;
            FileStatus info {};
            if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
                && S_ISREG(info.st_mode))
                ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
        ::closedir(dir);
    }

    std::uint64_t nextRandom()
    {
        static std::uint64_t state = 0;
        if (state == 0) {
            timespec now {};
            ::clock_gettime(CLOCK_REALTIME, &now);
            state = (static_cast<std::uint64_t>(now.tv_nsec) << 20)
                ^ static_cast<std::uint64_t>(now.tv_sec)
                ^ (static_cast<std::uint64_t>(::getpid()) << 40);
        }
        // splitmix64
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Creates a fresh temporary next to `target` with the mode a newly created file
    // gets (0666 less the umask). Fills `name`; -1 on failure.
    int createTemporary(const std::string &target, std::string &name)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::uint64_t bits = nextRandom();
            name = target + kTempInfix;
            for (int i = 0; i < kTempSuffixLength; ++i) {
                name += kTempAlphabet[bits % (sizeof(kTempAlphabet) - 1)];
                bits /= sizeof(kTempAlphabet) - 1;
            }
            const int fd
                = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            if (fd >= 0 || errno != EEXIST)
                return fd;
        }
        return -1;
    }

    bool writeAll(int fd, const std::uint8_t *data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t written = ::write(fd, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    // Removes the temporary unless the rename has taken it over.
    class TemporaryGuard
    {
    public:
        explicit TemporaryGuard(std::string name)
            : m_name(std::move(name))
        {
        }
        ~TemporaryGuard()
        {
            if (!m_name.empty())
                ::unlink(m_name.c_str());
        }
        TemporaryGuard(const TemporaryGuard &) = delete;
        TemporaryGuard &operator=(const TemporaryGuard &) = delete;
        void release() { m_name.clear(); }

    private:
        std::string m_name;
    };

    ReadOutcome readLocked(const std::string &fileName, ConfigRecord &record)
    {
        // O_NONBLOCK keeps a FIFO of that name from hanging the program; the type
        // check below then turns it away.
        FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        if (!fd.valid())
            return errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::Failed;
        FileStatus info {};
        if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
            return ReadOutcome::Failed;

        std::array<std::uint8_t, kConfigRecordSize> bytes = record.toBytes();
        std::array<std::uint8_t, kConfigRecordSize> buffer {};
        std::size_t total = 0;
        while (total < kConfigRecordSize) {
            const ssize_t got = ::read(fd.get(), buffer.data() + total, kConfigRecordSize - total);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return ReadOutcome::Failed;
            if (got == 0)
                break;
            total += static_cast<std::size_t>(got);
        }
        // What was read replaces the front of the record even when the file is too
        // short; the rest stays as the caller had it.
        std::copy_n(buffer.begin(), total, bytes.begin());
        record = ConfigRecord::fromBytes(bytes);
        return total == kConfigRecordSize ? ReadOutcome::Complete : ReadOutcome::Short;
    }

    // Overwrites the existing regular file `target` with the record and cuts it to
    // 324 bytes. Writing before cutting means the file is never seen empty.
    bool writeInPlace(
        const std::string &target, const std::array<std::uint8_t, kConfigRecordSize> &bytes)
    {
        FileDescriptor fd(
            ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
        FileStatus info {};
        if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        return writeAll(fd.get(), bytes.data(), bytes.size())
            && ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) == 0
            && ::fsync(fd.get()) == 0 && fd.close();
    }

    bool writeLocked(const std::string &target, const ConfigRecord &record, bool mayTidy)
    {
        FileStatus old {};
        bool exists = false;
        if (::lstat(target.c_str(), &old) == 0) {
            if (!S_ISREG(old.st_mode) || writeProtected(target, old) || unreadable(target))
                return false;
            exists = true;
        } else if (errno != ENOENT) {
            return false;
        }

        const std::array<std::uint8_t, kConfigRecordSize> bytes = record.toBytes();
        const std::string folder = folderOf(target);
        FileStatus folderInfo {};
        if (::stat(folder.c_str(), &folderInfo) != 0)
            return false;
        // A folder that takes no new file: nothing to create, but a file the player
        // may write is still updated.
        if (writeProtected(folder, folderInfo))
            return exists && writeInPlace(target, bytes);

        if (mayTidy)
            removeStrayTemporaries(folder, baseNameOf(target));

        std::string tempName;
        FileDescriptor fd(createTemporary(target, tempName));
        if (!fd.valid())
            return false;
        TemporaryGuard guard(tempName);

        if (!writeAll(fd.get(), bytes.data(), bytes.size()))
            return false;
        if (exists) {
            // The replacement takes over the old file's permissions and, where we
            // may (running as root in someone's folder), its owner.
            ::fchmod(fd.get(), old.st_mode & 07777);
            if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
                if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
                    // Not ours to give away: the file simply stays ours.
                }
            }
        }
        if (::fsync(fd.get()) != 0 || !fd.close())
            return false;
        if (::rename(tempName.c_str(), target.c_str()) != 0)
            return false;
        guard.release();

        // Makes the rename itself durable. Some file systems cannot sync a folder;
        // the new record is in place either way.
        FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.valid())
            ::fsync(dir.get());
        return true;
    }

    // Runs `write(target, mayTidy)` on the file the name stands for while holding
    // the exclusive lock. False for a dangling link, when another copy holds the
    // lock too long, or when anything throws.
    template <typename Write> bool underWriteLock(const std::string &fileName, Write write)
    {
        try {
            const std::optional<std::string> target = resolveTarget(fileName);
            if (!target)
                return false;
            ConfigLock lock;
            const LockResult locked = lock.acquire(*target, true);
            if (locked == LockResult::Busy)
                return false;
            return write(*target, locked == LockResult::Locked);
        } catch (...) {
            return false;
        }
    }

} // namespace

ReadOutcome readConfigFile(const std::string &fileName, ConfigRecord &record)
{
    try {
        const std::string target = resolveTarget(fileName).value_or(fileName);
        ConfigLock lock;
        if (lock.acquire(target, false) == LockResult::Busy)
            return ReadOutcome::Failed;
        return readLocked(fileName, record);
    } catch (...) {
        return ReadOutcome::Failed;
    }
}

bool readConfig(const std::string &fileName, ConfigRecord &record)
{
    return readConfigFile(fileName, record) == ReadOutcome::Complete;
}

bool writeConfig(const std::string &fileName, ConfigRecord record)
{
    return underWriteLock(fileName, [&](const std::string &target, bool mayTidy) {
        return writeLocked(target, record, mayTidy);
    });
}

bool updateConfig(const std::string &fileName, const std::function<void(ConfigRecord &)> &change)
{
    // One exclusive lock over the read and the write: no other copy of the program
    // can write in between, so neither change is lost.
    return underWriteLock(fileName, [&](const std::string &target, bool mayTidy) {
        ConfigRecord record {};
        if (readLocked(target, record) == ReadOutcome::Failed)
            return false;
        change(record);
        return writeLocked(target, record, mayTidy);
    });
}

} // namespace dorvel::storage
