// The verify tool on the reports of real updates: a complete update passes,
// a damaged memory or an update that stopped short does not.
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "app_fixture.h"

using Verdict = test_helpers::CommandResult;

class VerifyTool : public AppTest {
protected:
    // Updates a cartridge with simcart's default identity page with the
    // small package, faulted as `options` says; its report.
    std::string update(sim::Options options) {
        options.identity = sim::default_identity();
        const auto package = pkggen::make_package(pkggen::small_shape());
        std::ofstream(package_path) << test_helpers::package_source(package);
        start_program(package);
        attach_cartridge(options);
        press_update();
        return cartridge->report_json();
    }
    Verdict verify(const std::string& report) {
        std::ofstream(report_path, std::ios::binary | std::ios::trunc) << report;
        return test_helpers::run_command(VERIFY_TOOL " --report " + report_path + " --package " + package_path);
    }
    void TearDown() override {
        std::remove(report_path.c_str());
        std::remove(package_path.c_str());
        AppTest::TearDown();
    }
    const std::string base = ::testing::TempDir() + "verify_" + std::to_string(getpid());
    const std::string report_path = base + ".json";
    const std::string package_path = base + ".txt";
};

TEST_F(VerifyTool, CompleteUpdateIsVerified) {
    const Verdict verdict = verify(update(default_cartridge()));
    EXPECT_EQ(verdict.status, 0);
    EXPECT_EQ(verdict.out.rfind("memory verified", 0), 0u) << verdict.out;
}

TEST_F(VerifyTool, OneChangedPageByteIsFound) {
    std::string report = update(default_cartridge());
    const size_t at = report.find("\"8C00\":\"") + 8;
    const std::string written = report.substr(at, 2);
    report[at] = report[at] == '0' ? '1' : '0';
    const Verdict verdict = verify(report);
    EXPECT_EQ(verdict.status, 1);
    EXPECT_EQ(verdict.out,
              "memory differs: page memory at 8C00: expected " + written + ", found " + report.substr(at, 2) + "\n");
}

TEST_F(VerifyTool, ChangedBlockIsFound) {
    std::string report = update(default_cartridge());
    const size_t at = report.find("\"2\":\"") + 5 + 300;
    report[at] = report[at] == 'A' ? 'B' : 'A';
    const Verdict verdict = verify(report);
    EXPECT_EQ(verdict.status, 1);
    EXPECT_EQ(verdict.out, "memory differs: Block 2 differs\n");
}

TEST_F(VerifyTool, UpdateThatStoppedShortIsNotVerified) {
    sim::Options options = default_cartridge();
    options.nak = {'F', 8};  // second half of block 3
    const Verdict verdict = verify(update(options));
    EXPECT_EQ(verdict.status, 1);
    EXPECT_EQ(verdict.out.rfind("memory differs: ", 0), 0u) << verdict.out;
}

TEST_F(VerifyTool, ReportWithoutMemoryIsRefused) {
    EXPECT_EQ(verify("{\"sync_byte\":\"87\"}").status, 2);
}
