// tamso-calc: the dose calculation of the exposure-condition screen from the command line.

#include "tools/calc/calccli.h"

#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h:
#include <shellapi.h>

namespace {

// The arguments in UTF-8, as the calculator reads them. The narrow argv of a Windows program holds
// them in the ANSI code page (932 on a Japanese Windows), which cannot hold every folder name.
std::vector<std::string> utf8Arguments() {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? static_cast<size_t>(size) : 1, '\0');
        if (size > 0)
            ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
        arg.resize(arg.size() - 1); // without the final null
        args.push_back(std::move(arg));
    }
    ::LocalFree(wide);
    return args;
}

// Results and messages go out in UTF-8. The console's code page belongs to the console window,
// which the calling shell and the programs run after this one share, so it is put back on the way
// out.
class Utf8Console {
public:
    Utf8Console() : previous_(::GetConsoleOutputCP()) { ::SetConsoleOutputCP(CP_UTF8); }
    ~Utf8Console() {
        std::cout.flush();
        std::cerr.flush();
        if (previous_ != 0)
            ::SetConsoleOutputCP(previous_);
    }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    UINT previous_;
};

} // namespace
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    const std::vector<std::string> args = utf8Arguments();
    const Utf8Console console;
#else
    const std::vector<std::string> args(argv + 1, argv + argc);
#endif
    return tamso::calc::runCalculator(args, std::cout, std::cerr);
}
