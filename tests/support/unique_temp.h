// A temporary directory name of the running test alone: CTest runs the tests of
// one program side by side, so a fixed name would be shared between them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace vz::testing {

inline std::filesystem::path UniqueTempPath(const std::string& stem) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = stem + "_" + std::to_string(getpid());
    if (test) name += std::string("_") + test->test_suite_name() + "_" + test->name();
    return std::filesystem::temp_directory_path() / name;
}

} // namespace vz::testing
