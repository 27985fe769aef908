#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "cli/cli_app.h"
#include "cli_test_helpers.h"
#include "file_test_support.h"
#include "test_support.h"

namespace TVR::Cli {
namespace {

namespace fs = std::filesystem;
using TestSupport::entriesIn;
using TestSupport::readBytes;
using TestSupport::statOf;
using TestSupport::writeBytes;

constexpr std::string_view kFirstLine =
    "; Camera configuration for Brisco Tuner (Tavro control center)\r\n";

std::vector<std::string> fx3Image(const std::string& output) {
    return {"sim-image", "fx3", "--build", "5", "-o", output};
}

// What the simulated camera's settings file and a build-5 image look like, written to plain
// new files.
struct Expected {
    Expected() {
        const CliRun read = runCliWith({"--simulate", "read"});
        EXPECT_EQ(read.rc, kExitOk) << read.err;
        settings = read.out;
        const std::string file = dir.file("fx3.img");
        const CliRun image = runCliWith(fx3Image(file));
        EXPECT_EQ(image.rc, kExitOk) << image.err;
        fx3 = readBytes(file);
        EXPECT_TRUE(settings.starts_with(kFirstLine));
        EXPECT_GT(fx3.size(), 100000u);
    }
    TestSupport::TempFolder dir;
    std::string settings;
    std::string fx3;
};

TEST(CliOutputFile, AFileTheUserMayNotWriteIsRefusedAndKept) {
    TestSupport::TempFolder dir;
    // The user's own folder: only the files say no.
    const fs::path mine = TestSupport::unprivilegedFolderIn(dir.path());
    const std::string settings = (mine / "p.qcf").string();
    const std::string image = (mine / "fw.img").string();
    for (const std::string& file : {settings, image}) {
        writeBytes(file, "keep\n");
        TestSupport::giveToUnprivileged(file);
        ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    }
    // A folder the user may not write, with an image file the user may.
    const fs::path shared = dir.path() / "shared";
    fs::create_directory(shared);
    const std::string open = (shared / "open.img").string();
    writeBytes(open, "old");
    TestSupport::giveToUnprivileged(open);
    const ino_t openInode = statOf(open).st_ino;
    fs::permissions(shared, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);

    const auto results = TestSupport::runUnprivileged([&] {
        std::string text;
        for (const auto& args : {std::vector<std::string>{"--simulate", "read", "-o", settings},
                                 fx3Image(image), fx3Image(open)}) {
            const CliRun r = runCliWith(args);
            text += std::to_string(r.rc) + " " + r.err;
        }
        return text;
    });
    ASSERT_TRUE(results) << "the child could not run as user "
                         << TestSupport::unprivilegedUser().uid;
    EXPECT_EQ(*results, "1 brisco-cli: Can't save the settings file [" + settings +
                            "]: it is write-protected\n"
                            "1 brisco-cli: cannot write '" +
                            image + "': it is write-protected\n0 ");
    EXPECT_EQ(readBytes(settings), "keep\n");
    EXPECT_EQ(readBytes(image), "keep\n");
    EXPECT_EQ(statOf(settings).st_mode & 07777, 0444u);
    EXPECT_EQ(entriesIn(mine), 2u) << "no temporary file is left behind";

    EXPECT_EQ(readBytes(open), Expected().fx3) << "written in place";
    EXPECT_EQ(statOf(open).st_ino, openInode);
    EXPECT_EQ(entriesIn(shared), 1u);
}

TEST(CliOutputFile, PipesAndStandardOutputAreWrittenAndLinksStay) {
    const Expected expected;
    TestSupport::TempFolder dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // As /dev/stdout is a link to the pipe a shell gives a command.
    const std::string link = dir.file("stdout");
    fs::create_symlink(fifo, link);

    {
        TestSupport::PipeReader reader(fifo);
        const CliRun read = runCliWith({"--simulate", "read", "-o", link});
        ASSERT_EQ(read.rc, kExitOk) << read.err;
        EXPECT_EQ(reader.readAll(), expected.settings);
    }
    {
        TestSupport::PipeReader reader(fifo);
        const CliRun image = runCliWith(fx3Image(link));
        ASSERT_EQ(image.rc, kExitOk) << image.err;
        EXPECT_EQ(reader.readAll(), expected.fx3);
        EXPECT_EQ(image.out, link + ": FX3 image, build 5, " + std::to_string(expected.fx3.size()) +
                                 " bytes\n");
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(entriesIn(dir.path()), 2u);

    // "-" is the command's standard output; no file of that name appears.
    const CliRun read = runCliWith({"--simulate", "read", "-o", "-"});
    ASSERT_EQ(read.rc, kExitOk) << read.err;
    EXPECT_EQ(read.out, expected.settings);
    const CliRun image = runCliWith(fx3Image("-"));
    ASSERT_EQ(image.rc, kExitOk) << image.err;
    EXPECT_EQ(image.out, expected.fx3) << "the image stands alone";
    EXPECT_EQ(image.err,
              "-: FX3 image, build 5, " + std::to_string(expected.fx3.size()) + " bytes\n");
    EXPECT_FALSE(fs::exists("-"));
}

TEST(CliOutputFile, LinkedFilesAreReplacedThroughTheirLinksWithTheirModes) {
    const Expected expected;
    TestSupport::TempFolder dir;
    fs::create_directory(dir.path() / "real");
    const std::string settings = dir.file("real/camera.qcf");
    const std::string image = dir.file("real/fx3.img");
    for (const std::string& file : {settings, image}) {
        writeBytes(file, "old");
        ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    }
    fs::create_symlink("real/camera.qcf", dir.path() / "camera.qcf");
    fs::create_symlink("real/fx3.img", dir.path() / "fx3.img");
    const std::string imageLink = dir.file("backup.img");
    ASSERT_EQ(::link(image.c_str(), imageLink.c_str()), 0);

    const CliRun read = runCliWith({"--simulate", "read", "-o", dir.file("camera.qcf")});
    ASSERT_EQ(read.rc, kExitOk) << read.err;
    const CliRun written = runCliWith(fx3Image(dir.file("fx3.img")));
    ASSERT_EQ(written.rc, kExitOk) << written.err;

    EXPECT_TRUE(fs::is_symlink(dir.path() / "camera.qcf"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "fx3.img"));
    EXPECT_EQ(readBytes(settings), expected.settings);
    EXPECT_EQ(readBytes(image), expected.fx3);
    EXPECT_EQ(readBytes(imageLink), expected.fx3) << "both names are still one file";
    EXPECT_EQ(statOf(image).st_ino, statOf(imageLink).st_ino);
    EXPECT_EQ(statOf(settings).st_mode & 07777, 0640u);
    EXPECT_EQ(statOf(image).st_mode & 07777, 0640u);
    EXPECT_EQ(entriesIn(dir.path() / "real"), 2u);
}

}  // namespace
}  // namespace TVR::Cli
