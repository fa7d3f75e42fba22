// The station folder is hostile input: whatever stands under a file's name
// (a FIFO, a device, a link, a folder), the readers and writers return at once
// and never write through a link.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/CaseNames.h"
#include "support/FullDisk.h"
#include "support/WorkFolder.h"
#include "util/TextFiles.h"

namespace {

using case_names::PrintTo;  // rows print as their names

namespace fs = std::filesystem;

enum class Kind { Regular, Empty, Fifo, DeviceLink, LinkToRegular, DanglingLink, Folder };

struct KindCase {
    const char* name;
    Kind kind;
    bool readable;  // openInput and fileIsReadable succeed
    bool writable;  // openOutput, openOutputFile and appendText succeed
};

// Puts a thing of `kind` under "f" in the current folder; a link points to
// "outside.txt", which stands for a file elsewhere.
void makeKind(const WorkFolder& folder, Kind kind) {
    folder.write("outside.txt", "elsewhere\n");
    switch (kind) {
        case Kind::Regular: folder.write("f", "12 34\n"); break;
        case Kind::Empty: folder.write("f", ""); break;
        case Kind::Fifo: ASSERT_EQ(::mkfifo("f", 0644), 0); break;
        case Kind::DeviceLink: fs::create_symlink("/dev/zero", "f"); break;
        case Kind::LinkToRegular: fs::create_symlink(folder.path() / "outside.txt", "f"); break;
        case Kind::DanglingLink: fs::create_symlink(folder.path() / "missing.txt", "f"); break;
        case Kind::Folder: fs::create_directory("f"); break;
    }
}

class FileKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(FileKind, OpensOnlyRegularFilesAndNeverWritesThroughALink) {
    WorkFolder folder;
    makeKind(folder, GetParam().kind);
    std::ifstream in;
    EXPECT_EQ(openInput(in, "f"), GetParam().readable);
    EXPECT_EQ(fileIsReadable("f"), GetParam().readable);
    if (GetParam().readable) {
        std::string word;
        in >> word;
        EXPECT_TRUE(word.empty() || word == "12" || word == "elsewhere") << word;
    }
    std::ofstream out;
    EXPECT_EQ(openOutput(out, "f", true), GetParam().writable);
    out.close();
    std::FILE* file = openOutputFile("f", true);
    EXPECT_EQ(file != nullptr, GetParam().writable);
    if (file != nullptr) std::fclose(file);
    EXPECT_EQ(appendText("f", "x\n"),
              GetParam().writable ? AppendResult::Written : AppendResult::OpenFailed);
    EXPECT_EQ(folder.read("outside.txt"), "elsewhere\n") << "a link was followed";
    EXPECT_FALSE(folder.exists("missing.txt")) << "a dangling link was followed";
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FileKind,
    ::testing::Values(KindCase{"Regular", Kind::Regular, true, true}, KindCase{"Empty", Kind::Empty, true, true},
                      KindCase{"Fifo", Kind::Fifo, false, false},
                      KindCase{"LinkToDevZero", Kind::DeviceLink, false, false},
                      KindCase{"LinkToAFileElsewhere", Kind::LinkToRegular, true, false},
                      KindCase{"DanglingLink", Kind::DanglingLink, false, false},
                      KindCase{"Folder", Kind::Folder, false, false}),
    RowName{});

TEST(TextFiles, ALinkedFolderOnTheWayStillWorks) {
    WorkFolder folder;
    fs::create_directory("real");
    fs::create_directory_symlink(folder.path() / "real", "users");
    EXPECT_EQ(appendText("users/run.log", "entry\n"), AppendResult::Written);
    EXPECT_EQ(folder.read("real/run.log"), "entry\n");
    EXPECT_EQ(saveNewFile("users/a.po1", "new\n"), SaveResult::Saved);
    EXPECT_EQ(folder.read("real/a.po1"), "new\n");
}

TEST(TextFiles, SaveNewFileNeverReplacesAFileOrALink) {
    WorkFolder folder;
    folder.write("old.po1", "old\n");
    folder.write("outside.txt", "elsewhere\n");
    fs::create_symlink(folder.path() / "outside.txt", "link.po1");
    EXPECT_EQ(saveNewFile("old.po1", "new\n"), SaveResult::Exists);
    EXPECT_EQ(saveNewFile("link.po1", "new\n"), SaveResult::Exists);
    EXPECT_EQ(saveNewFile("missing/a.po1", "new\n"), SaveResult::Failed);
    EXPECT_EQ(folder.read("old.po1"), "old\n");
    EXPECT_EQ(folder.read("outside.txt"), "elsewhere\n");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path())) ++files;
    EXPECT_EQ(files, 3) << "no temporary file left behind";
}

// A full disk as the file-size limit makes it: the part of an append that fit
// is taken back, the cause is named, and once there is room again the next
// text starts a line of its own after a line someone else left unended.
TEST(TextFiles, AnAppendIsWholeOrAbsent) {
    WorkFolder folder;
    folder.write("run.log", "first\n");
    AppendResult result;
    std::string why;
    {
        FullDisk full(10);
        result = appendText("run.log", "second entry\n", &why);
    }
    EXPECT_EQ(result, AppendResult::WriteFailed);
    EXPECT_EQ(why, "File too large");
    EXPECT_EQ(folder.read("run.log"), "first\n");

    folder.write("run.log", "first\ncut");
    EXPECT_EQ(appendText("run.log", "second\n"), AppendResult::Written);
    EXPECT_EQ(folder.read("run.log"), "first\ncut\nsecond\n");

    fs::create_directory(folder.path() / "dir.log");
    EXPECT_EQ(appendText("dir.log", "x\n", &why), AppendResult::OpenFailed);
    EXPECT_EQ(why, "it is not a regular file");
    fs::create_symlink("run.log", folder.path() / "link.log");
    EXPECT_EQ(appendText("link.log", "x\n", &why), AppendResult::OpenFailed);
    EXPECT_EQ(why, "it is a symbolic link");
}

}  // namespace
