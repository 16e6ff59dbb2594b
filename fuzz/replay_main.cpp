// Runs a fuzz target over every file of the directories (or files) given on
// the command line, so that the corpus and every input a fuzzer ever found run
// as ordinary tests in every build.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    namespace fs = std::filesystem;
    size_t count = 0;
    for (int i = 1; i < argc; i++) {
        std::vector<fs::path> files;
        if (fs::is_directory(argv[i])) {
            for (const auto &entry : fs::directory_iterator(argv[i]))
                if (entry.is_regular_file() && entry.path().filename() != "README.md" &&
                    entry.path().filename().string()[0] != '.')
                    files.push_back(entry.path());
        } else if (fs::exists(argv[i])) {
            files.push_back(argv[i]);
        }
        for (const auto &file : files) {
            std::ifstream in(file, std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            count++;
        }
    }
    printf("replayed %zu inputs\n", count);
    return count ? 0 : 1;
}
