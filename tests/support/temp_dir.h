// A fresh directory for one test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace tmp {

class dir {
public:
    dir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "burl-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp");
        path_ = pattern;
    }
    ~dir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    dir(const dir &) = delete;
    dir &operator=(const dir &) = delete;

    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

} // namespace tmp
