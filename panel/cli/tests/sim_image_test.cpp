#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/cli_app.h"
#include "cli_test_helpers.h"
#include "sim/sim_firmware.h"
#include "sim/sim_images.h"
#include "test_support.h"

namespace TVR::Cli {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

int run(const std::vector<std::string>& args, std::string* err = nullptr) {
    std::ostringstream out, e;
    const int rc = runCli(args, out, e);
    if (err) *err = e.str();
    return rc;
}

Bytes readFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

TEST(CliSimImage, Fx3ImagesReportTheirBuildAndCorruptOnesFailTheirChecksum) {
    TestSupport::TempFolder dir;
    const fs::path file = dir.path() / "fw.img";
    ASSERT_EQ(run({"sim-image", "fx3", "--build", "123", "-o", file.string()}), kExitOk);
    const Bytes good = readFile(file);
    EXPECT_GE(good.size(), Sim::kSimFx3MinImageSize);
    std::string error;
    const auto info = Sim::parseSimFx3Image(good, error);
    ASSERT_TRUE(info) << error;
    EXPECT_TRUE(info->checksumOk());
    const auto& first = info->sections.front();
    const auto rec = Sim::simProgramRecord(std::span(good).subspan(first.offset, first.length));
    ASSERT_TRUE(rec);
    EXPECT_EQ(Sim::simVersionBuild(rec->version), 123u);

    // The corrupt one replaces the file whole.
    ASSERT_EQ(run({"sim-image", "--corrupt", "-o", file.string(), "fx3", "--build", "123"}),
              kExitOk);
    const auto bad = Sim::parseSimFx3Image(readFile(file), error);
    ASSERT_TRUE(bad) << error;
    EXPECT_FALSE(bad->checksumOk());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

TEST(CliSimImage, FpgaBitstreamsCarryTheirBuildAndCorruptOnesFailTheirCrc) {
    TestSupport::TempFolder dir;
    const fs::path file = dir.path() / "fpga.bin";
    for (const bool corrupt : {false, true}) {
        std::vector<std::string> args{"sim-image", "fpga", "--build", "77", "-o", file.string()};
        if (corrupt) args.push_back("--corrupt");
        ASSERT_EQ(run(args), kExitOk);
        const Bytes img = readFile(file);
        ASSERT_GE(img.size(), Sim::kSimFpgaMinImageSize);
        const auto h = Sim::parseSimFpgaHeader(img);
        ASSERT_TRUE(h);
        EXPECT_EQ(Sim::simVersionBuild(h->version), 77u);
        const uint32_t crc = Sim::simCrc32(std::span(img).subspan(Sim::kSimFpgaHeaderSize));
        EXPECT_EQ(crc == h->crc, !corrupt);
    }
}

TEST(CliSimImage, UsageAndWriteErrors) {
    TestSupport::TempFolder dir;
    const std::string out = (dir.path() / "x.img").string();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"sim-image", "fx3", "--build", "5"},
          {"sim-image", "fx3", "-o", out},
          {"sim-image", "--build", "5", "-o", out},
          {"sim-image", "sensor", "--build", "5", "-o", out},
          {"sim-image", "fx3", "--build", "8192", "-o", out},
          {"sim-image", "fx3", "--build", "12x", "-o", out},
          {"sim-image", "fx3", "--build"},
          {"sim-image", "fx3", "--build", "5", "-o", out, "--fast"}}) {
        std::string err;
        EXPECT_EQ(run(args, &err), kExitUsage) << args.back();
        EXPECT_FALSE(err.empty());
    }
    EXPECT_FALSE(fs::exists(out));

    std::string err;
    const std::string missing = (dir.path() / "no" / "such" / "dir" / "x.img").string();
    EXPECT_EQ(run({"sim-image", "fx3", "--build", "5", "-o", missing}, &err), kExitCamera);
    EXPECT_NE(err.find("cannot write"), std::string::npos) << err;

    std::ostringstream help, e;
    EXPECT_EQ(runCli({"sim-image", "--help"}, help, e), kExitOk);
    EXPECT_NE(help.str().find("--build N"), std::string::npos);
    EXPECT_EQ(run({"list", "--corrupt"}), kExitUsage) << "other commands still refuse options";
}

}  // namespace
}  // namespace TVR::Cli
