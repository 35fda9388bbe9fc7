// Runs a fuzz target once on every file of the corpus folders it is given,
// so the seeds and past finds stay regression tests in the normal build,
// without libFuzzer or clang.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

std::vector<std::filesystem::path> corpusFiles(const char *folder)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> contents(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}   // namespace

int main(int argc, char **argv)
{
    std::size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<std::filesystem::path> files = corpusFiles(argv[i]);
        if (files.empty()) {
            // A corpus that went missing must not pass as an empty success.
            std::fprintf(stderr, "no corpus files in %s\n", argv[i]);
            return 1;
        }
        for (const auto &file : files) {
            const std::vector<std::uint8_t> input = contents(file);
            std::printf("%s\n", file.filename().c_str());
            std::fflush(stdout);   // names the input if the next call ends the process
            LLVMFuzzerTestOneInput(input.data(), input.size());
            ++runs;
        }
    }
    std::printf("%zu inputs, every property held\n", runs);
    return runs > 0 ? 0 : 1;
}
