// The two installers as files: each is a Windows program of its build's machine, and the
// payload it would install, unpacked with 7z, is that build's plug-in, stripped, and the
// help file.
// (The 32-bit one cannot run here; the 64-bit one is also run under wine64.)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "support/HostFiles.h"

namespace {

using tarvik::test_support::DifferingBytes;
using tarvik::test_support::ReadFile;
using tarvik::test_support::RunCommand;

const std::string kDist = TARVIK_DIST_DIR;



// The machine field of a PE image's file header; 0 when the file is not one.
unsigned Machine(const std::string& image) {
    if (image.size() < 0x40 || image.compare(0, 2, "MZ") != 0) {
        return 0;
    }
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(image[at]); };
    const std::size_t pe = byte(0x3C) | byte(0x3D) << 8 | byte(0x3E) << 16 |
                           static_cast<std::size_t>(byte(0x3F)) << 24;
    if (pe + 6 > image.size() || image.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
        return 0;
    }
    return byte(pe + 4) | byte(pe + 5) << 8;
}

struct Build {
    const char* name;
    unsigned machine;
    const char* triplet;  // of the binutils that strip its plug-in
};

class InstallerFile : public ::testing::TestWithParam<Build> {};

TEST_P(InstallerFile, IsAProgramOfItsMachineCarryingItsPluginAndTheHelpFile) {
    const std::string folder = kDist + "/" + GetParam().name;
    const std::string setup = folder + "/Tarvik-setup.exe";
    const std::string image = ReadFile(setup);
    ASSERT_FALSE(image.empty()) << setup;
    EXPECT_EQ(Machine(image), GetParam().machine);

    const std::string listing = RunCommand("7z l -ba '" + setup + "'");
    EXPECT_NE(listing.find("TarvikD.lmp"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Tarvik.chm"), std::string::npos) << listing;
    EXPECT_NE(listing.find("uninstall.exe"), std::string::npos) << listing;

    // What an author installs is the build's plug-in without its symbols (the win64
    // build keeps them for its debugger): the size the installer shows is the shipped one.
    const std::string plugin = RunCommand("7z e -so '" + setup + "' TarvikD.lmp");
    const std::string stripped = std::string(TARVIK_SCRATCH_DIR) + "/stripped-" + GetParam().name + ".lmp";
    RunCommand("SOURCE_DATE_EPOCH=0 " + std::string(GetParam().triplet) + "-objcopy --strip-all '" + folder + "/TarvikD.lmp' '" +
               stripped + "'");
    EXPECT_EQ(plugin, ReadFile(stripped)) << "the installer carries another DLL";
    EXPECT_LE(plugin.size(), ReadFile(folder + "/TarvikD.lmp").size());
    EXPECT_EQ(Machine(plugin), GetParam().machine);
    const std::string help = RunCommand("7z e -so '" + setup + "' Tarvik.chm");
    EXPECT_GT(help.size(), 10000u);
    EXPECT_EQ(help.compare(0, 4, "ITSF"), 0);  // a compiled help file
    // Every build compiles the same help file: whichever build ran last, each installer
    // carries the bytes of dist/Tarvik.chm.
    EXPECT_EQ(DifferingBytes(help, ReadFile(kDist + "/Tarvik.chm")), "") << "the help file " << setup << " carries";
}

std::string BuildName(const ::testing::TestParamInfo<Build>& build) {
    return build.param.name;
}

INSTANTIATE_TEST_SUITE_P(Dist, InstallerFile,
                         ::testing::Values(Build{"win32", 0x14C, "i686-w64-mingw32"},
                                           Build{"win64", 0x8664, "x86_64-w64-mingw32"}),
                         BuildName);

}  // namespace
