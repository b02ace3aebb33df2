#pragma once
// A fresh folder under the temporary folder for one test, removed with everything in it after.
#include <string>

class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Windows path without a trailing backslash.
    const std::string& Path() const { return mPath; }
    // Writes `bytes` to a file below the folder, making the folders on the way.
    std::string Write(const std::string& relative, const std::string& bytes) const;
    // Copies a file to a place below the folder, making the folders on the way.
    std::string Copy(const std::string& from, const std::string& relative) const;

  private:
    std::string mPath;
};
