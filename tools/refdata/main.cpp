// tamso-refdata: regenerates the reference data of the working folder.
//   tamso-refdata [--out DIR] [--nist DIR] [--histories N] [--spr-histories N] [--threads T]
//                 [--seed S] [--physics-only] [--starting-files-only]

#include "tools/refdata/refdatagen.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#ifndef TAMSO_REFDATA_NIST_DIR
#define TAMSO_REFDATA_NIST_DIR "tools/refdata/nist"
#endif

int main(int argc, char** argv) {
    tamso::refgen::GeneratorSettings s;
    s.nistFolder = TAMSO_REFDATA_NIST_DIR;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "missing value after " << a << "\n";
                std::exit(2);
            }
            return argv[++i];
        };
        try {
            if (a == "--out")
                s.outFolder = value();
            else if (a == "--nist")
                s.nistFolder = value();
            else if (a == "--histories")
                s.bsfHistories = std::stoll(value());
            else if (a == "--spr-histories")
                s.sprHistories = std::stoll(value());
            else if (a == "--threads")
                s.threads = std::stoi(value());
            else if (a == "--seed")
                s.seed = std::stoull(value());
            else if (a == "--physics-only")
                s.startingFiles = false;
            else if (a == "--starting-files-only")
                s.physics = false;
            else {
                std::cerr << "unknown option " << a << "\n";
                return 2;
            }
        } catch (const std::exception&) {
            std::cerr << "bad number after " << a << "\n";
            return 2;
        }
    }
    if (s.threads < 1 || s.bsfHistories < 1000 || s.sprHistories < 1000) {
        std::cerr << "threads must be >= 1 and histories >= 1000\n";
        return 2;
    }
    try {
        tamso::refgen::generate(s, std::cout);
    } catch (const std::exception& e) {
        std::cerr << "tamso-refdata: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
