#include "RecordingSinks.h"
#include "TempDir.h"
#include "app/TextFile.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(TextFileRead, WholeFileAcrossBlockBoundaries) {
    CTempDir dir;
    for (size_t size :
         {size_t(0), size_t(1), size_t(2047), size_t(2048), size_t(2049), size_t(10000)}) {
        std::string bytes(size, 'a');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>('a' + i % 26);
        WriteFileBytes(dir.File("f.txt"), bytes);
        EXPECT_EQ(CTextFile(dir.File("f.txt"), false).ReadText(true), bytes) << size;
    }
}

TEST(TextFileRead, ZeroByteEndsOnlyItsOwnBlock) {
    CTempDir dir;
    std::string bytes(2048, 'x');
    bytes[10] = '\0';
    bytes += "tail";
    WriteFileBytes(dir.File("f.txt"), bytes);
    EXPECT_EQ(CTextFile(dir.File("f.txt"), false).ReadText(false), std::string(10, 'x') + "tail");
}

TEST(TextFileRead, MissingFileReportsOnlyWhenAsked) {
    CTempDir dir;
    CRecordingMessageSink sink;
    const CTextFile file(dir.File("none.ini"), false);
    EXPECT_FALSE(file.Exists());
    EXPECT_EQ(file.ReadText(false), "");
    EXPECT_TRUE(sink.m_messages.empty());
    EXPECT_EQ(file.ReadText(true), "");
    ASSERT_EQ(sink.m_messages.size(), 1u);
    EXPECT_EQ(sink.m_messages[0].text,
              "Error reading data from disk:\n" + dir.File("none.ini") + " was not found.");
}

TEST(TextFileWrite, WritesBytesVerbatimAndReturnsLength) {
    CTempDir dir;
    const CTextFile file(dir.File("out.txt"), false);
    const std::string text = "line one\nline two\r\n\xC3\xA9\n";
    EXPECT_EQ(file.WriteText(text, true), text.size());
    EXPECT_EQ(ReadFileBytes(dir.File("out.txt")), text);
    // An empty text makes an empty file and returns 0, like a failure.
    EXPECT_EQ(file.WriteText("", true), 0u);
    EXPECT_TRUE(file.Exists());
    EXPECT_EQ(ReadFileBytes(dir.File("out.txt")), "");
}

TEST(TextFileWrite, FailureKeepsTheOldFileAndLeavesNoTemporary) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions";
    CTempDir dir;
    const CTextFile file(dir.File("keep.ini"), false);
    ASSERT_EQ(file.WriteText("old\n", false), 4u);
    // A read-only file in a read-only folder: neither a replacement nor a rewrite.
    ::chmod(dir.File("keep.ini").c_str(), 0400);
    ::chmod(dir.Path().c_str(), 0500);
    CRecordingMessageSink sink;
    EXPECT_EQ(file.WriteText("new\n", true), 0u);
    ::chmod(dir.Path().c_str(), 0700);
    EXPECT_EQ(ReadFileBytes(dir.File("keep.ini")), "old\n");
    ASSERT_EQ(sink.m_messages.size(), 1u);
    EXPECT_EQ(sink.m_messages[0].text,
              "Error exporting data to disk:\nAccess to " + dir.File("keep.ini") + " was denied.");
}

TEST(TextFileWrite, DiskFullKeepsTheOldFile) {
    CTempDir dir;
    const CTextFile file(dir.File("keep.ini"), false);
    ASSERT_EQ(file.WriteText("old\n", false), 4u);
    // A file-size limit makes the write stop half-way, as a full disk does.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 5;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    CRecordingMessageSink sink;
    const size_t written = file.WriteText("new text\n", true);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(ReadFileBytes(dir.File("keep.ini")), "old\n");
    ASSERT_EQ(sink.m_messages.size(), 1u);
    EXPECT_EQ(sink.m_messages[0].text, "Error exporting data to disk:\nDisk full while accessing " +
                                           dir.File("keep.ini") + ".");
    // Nothing but the settings file is left in the folder.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST(TextFileWrite, KeepsThePermissionsOfTheReplacedFile) {
    CTempDir dir;
    const CTextFile file(dir.File("p.ini"), false);
    ASSERT_EQ(file.WriteText("a\n", false), 2u);
    ::chmod(dir.File("p.ini").c_str(), 0640);
    ASSERT_EQ(file.WriteText("b\n", false), 2u);
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("p.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(TextFileConstruct, CreatesOneLevelOfParentFolder) {
    CTempDir dir;
    CTextFile(dir.File("sub/file.txt"), true);
    struct stat st {};
    EXPECT_EQ(::stat(dir.File("sub").c_str(), &st), 0);
    // Two missing levels: nothing is created, and nothing fails loudly.
    CTextFile(dir.File("a/b/file.txt"), true);
    EXPECT_NE(::stat(dir.File("a").c_str(), &st), 0);
    CTextFile(dir.File("c/file.txt"), false);
    EXPECT_NE(::stat(dir.File("c").c_str(), &st), 0);
}

TEST(TextFileErrors, TextsFollowTheOperatingSystemError) {
    EXPECT_EQ(CTextFile::FileErrorText(0, "p"), "No error occurred.");
    EXPECT_EQ(CTextFile::FileErrorText(ENOENT, "p"), "p was not found.");
    EXPECT_EQ(CTextFile::FileErrorText(ENOTDIR, "p"), "p contains an invalid path.");
    EXPECT_EQ(CTextFile::FileErrorText(EMFILE, "p"),
              "p could not be opened because there are too many open files.");
    EXPECT_EQ(CTextFile::FileErrorText(EACCES, "p"), "Access to p was denied.");
    EXPECT_EQ(CTextFile::FileErrorText(EIO, "p"),
              "A hardware I/O error was reported while accessing p.");
    EXPECT_EQ(CTextFile::FileErrorText(EXDEV, "p"), "An unknown error occurred while accessing p.");
    const std::string longPath(400, 'x');
    EXPECT_EQ(CTextFile::FileErrorText(ENOENT, longPath).size(), 254u);
}

} // namespace
