// Runs a fuzz target once on each file given, or on each file in each folder
// given, without libFuzzer: the seeds, and every input that once broke a
// target, are replayed this way by every build's tests.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::string> files;
    for (int i = 1; i < argc; i++) {
        std::error_code error;
        if (std::filesystem::is_directory(argv[i], error)) {
            for (const auto &entry : std::filesystem::directory_iterator(argv[i], error)) {
                if (entry.is_regular_file())
                    files.push_back(entry.path().string());
            }
        } else {
            files.push_back(argv[i]);
        }
    }
    std::sort(files.begin(), files.end());
    for (const std::string &file : files) {
        std::string input = FuzzReadFile(file);
        fprintf(stderr, "%s (%zu bytes)\n", file.c_str(), input.size());
        LLVMFuzzerTestOneInput((const uint8_t *)input.data(), input.size());
    }
    printf("%zu inputs replayed\n", files.size());
    return files.empty() ? 1 : 0;
}
