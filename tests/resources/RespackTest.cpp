// The packer run as the build runs it: packs files the loader reads back, lists
// a library, gives the same bytes for the same inputs and refuses bad input.
#include "resources/ResourceLoaders.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

using namespace dorvel::resources;

namespace {

struct PackerRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The packer is built into the same folder as this test.
PackerRun respack(const QStringList &arguments, const QString &workingFolder)
{
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    process.start(QString::fromStdString((folder / "respack").string()), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError()) };
}

QByteArray randomBytes(std::mt19937 &random, int size)
{
    QByteArray bytes(size, '\0');
    for (auto &byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Respack : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    PackerRun run(const QStringList &arguments) const { return respack(arguments, m_dir.path()); }

private:
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Respack, PacksWhatTheLoaderReadsBackAndListsIt)
{
    std::mt19937 random(115);
    const QByteArray sound = randomBytes(random, 123457);
    const QByteArray picture = randomBytes(random, 30);
    writeFile(path("sound.wav"), sound);
    writeFile(path("picture.jpg"), picture);
    writeFile(path("empty"), {});

    const PackerRun pack = run({ "--out", path("redizo.dll"), "115=" + path("sound.wav"),
        "107=" + path("picture.jpg"), "9=empty" });
    ASSERT_EQ(pack.exitCode, 0) << pack.err.toStdString();

    const PackerRun list = run({ "--list", path("redizo.dll") });
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_EQ(list.out, "10 9 0\n10 107 30\n10 115 123457\n");

    FileResourceLoader loader(path("redizo.dll").toStdString());
    const ResourceModule *module = loader.loadLibrary("redizo.dll");
    ASSERT_NE(module, nullptr);
    auto stream = openResource(module, 115);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(stream->memory()),
                  static_cast<qsizetype>(stream->size())),
        sound);
    EXPECT_FALSE(QFile::exists(path("redizo.dll.tmp"))) << "no temporary file is left";
    EXPECT_EQ(QDir(path("")).entryList(QDir::Files).size(), 4);
}

TEST_F(Respack, SameInputsGiveTheSameBytesInAnyOrder)
{
    writeFile(path("a"), "first resource");
    writeFile(path("b"), "second");
    ASSERT_EQ(run({ "--out", path("one.dll"), "121=a", "122=b" }).exitCode, 0);
    ASSERT_EQ(run({ "--out", path("two.dll"), "122=b", "121=a" }).exitCode, 0);
    ASSERT_EQ(run({ "--out", path("one.dll"), "121=a", "122=b" }).exitCode, 0)
        << "over its own output";
    EXPECT_FALSE(readFile(path("one.dll")).isEmpty());
    EXPECT_EQ(readFile(path("one.dll")), readFile(path("two.dll")));
}

TEST_F(Respack, PacksAnEmptyLibraryWhenNoResourceIsRegistered)
{
    ASSERT_EQ(run({ "--out", path("redizo.dll") }).exitCode, 0);
    const PackerRun list = run({ "--list", path("redizo.dll") });
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out, "");
    FileResourceLoader loader(path("redizo.dll").toStdString());
    EXPECT_NE(loader.loadLibrary("redizo.dll"), nullptr);
}

TEST_F(Respack, RefusesBadInputWithAMessage)
{
    writeFile(path("a"), "data");
    writeFile(path("junk.dll"), "this is not a resource library");
    const struct
    {
        QStringList arguments;
        const char *message;
    } cases[] = {
        { {}, "usage" },
        { { "--frobnicate" }, "unknown option" },
        { { "--out" }, "usage" },
        { { "--out", path("x.dll"), "a" }, "expected ID=FILE" },
        { { "--out", path("x.dll"), "0=a" }, "whole number" },
        { { "--out", path("x.dll"), "65536=a" }, "whole number" },
        { { "--out", path("x.dll"), "-5=a" }, "whole number" },
        { { "--out", path("x.dll"), "1x=a" }, "whole number" },
        { { "--out", path("x.dll"), "7=" }, "no file" },
        { { "--out", path("x.dll"), "7=missing" }, "missing" },
        { { "--out", path("x.dll"), "7=." }, "folder" },
        { { "--out", path("x.dll"), "7=a", "7=a" }, "twice" },
        { { "--out", path("no-such-folder/x.dll"), "7=a" }, "cannot" },
        { { "--list" }, "usage" },
        { { "--list", path("missing.dll") }, "cannot open" },
        { { "--list", path("junk.dll") }, "damaged" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const PackerRun result = run(c.arguments);
        EXPECT_NE(result.exitCode, 0);
        EXPECT_TRUE(result.err.contains(c.message)) << result.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(path("x.dll"))) << "nothing is written on bad input";
}
