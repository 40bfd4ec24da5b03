#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tools/make_sample/hydrology_sample.h"

namespace velorin::app::testing {

// A folder of its own for one test, removed afterwards.
class ScratchFolder {
  public:
    ScratchFolder() {
        static int counter = 0;
        m_path =
            std::filesystem::temp_directory_path() /
            ("velorin-app-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ScratchFolder(ScratchFolder&&) = delete;
    ScratchFolder& operator=(ScratchFolder&&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

// The hydrology sample, written afresh into a scratch folder for each test, so
// a test that saves or changes it cannot affect another.
class SampleTest : public ::testing::Test {
  protected:
    void SetUp() override { m_files = sample::WriteHydrologySample(m_folder.Path() / "sample"); }

    const std::filesystem::path& Document() const { return m_files.document; }
    const std::filesystem::path& Scratch() const { return m_folder.Path(); }

  private:
    ScratchFolder m_folder;
    sample::SampleFiles m_files;
};

}  // namespace velorin::app::testing
