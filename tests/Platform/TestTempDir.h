#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

namespace qor::platform::test {

// A fresh folder under the system's temporary directory, removed with everything in it at the end.
class TestTempDir {
 public:
  TestTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qor-platform-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TestTempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  TestTempDir(const TestTempDir&) = delete;
  TestTempDir& operator=(const TestTempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // Writes `contents` to <dir>/<name>, creating folders on the way.
  std::filesystem::path write(const std::string& name, const std::string& contents) const {
    const auto file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << contents;
    return file;
  }

 private:
  std::filesystem::path path_;
};

// Sets (or, with nullopt, unsets) an environment variable and puts the old value back at the end.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) previous_ = old;
    apply(value);
  }
  ~ScopedEnvironment() { apply(previous_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  void apply(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

  std::string name_;
  std::optional<std::string> previous_;
};

// A fresh app home for one test: QOR_APP_HOME points at a new temporary folder.
class TestAppHome {
 public:
  TestAppHome() : environment_("QOR_APP_HOME", dir_.path().string()) {}
  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  TestTempDir dir_;
  ScopedEnvironment environment_;
};

}  // namespace qor::platform::test
