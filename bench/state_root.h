// A private state root (QELTA_ROOT) for one benchmark run, removed when the run ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

class BenchStateRoot {
public:
    BenchStateRoot()
    {
        path_ = (std::filesystem::temp_directory_path() / "qelta-bench-XXXXXX").string();
        if (!::mkdtemp(path_.data()))
            path_.clear();
        else
            ::setenv("QELTA_ROOT", path_.c_str(), 1);
    }
    ~BenchStateRoot()
    {
        if (!path_.empty())
            std::filesystem::remove_all(path_);
    }
    bool ok() const { return !path_.empty(); }

private:
    std::string path_;
};
