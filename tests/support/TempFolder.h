// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes. Paths are plain strings, so they work as given under wine too.
#pragma once

#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    // The path of `name` inside the folder.
    std::string file(const std::string& name) const;

private:
    std::string m_path; // the folder
};
