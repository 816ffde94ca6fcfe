// tamso-refdata: regenerates the reference data of the working folder.
//   tamso-refdata [--out DIR] [--nist DIR] [--histories N] [--spr-histories N] [--threads T]
//                 [--seed S] [--physics-only] [--starting-files-only]
//   tamso-refdata --organ-tables [--out DIR] [--organ-histories N] [--threads T] [--seed S]
//   tamso-refdata --whole-body ap|pa [--energies 30,40,...] [--organ-histories N] [--threads T]
//   tamso-refdata --phantom   (the phantom's masses against their reference masses)
//   tamso-refdata --organ-comparisons [--out DIR]   (the table of DIR against published figures)

#include "tools/refdata/organtables.h"
#include "tools/refdata/refdatagen.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <sstream>
#include <vector>
#include <string>

#ifndef TAMSO_REFDATA_NIST_DIR
#define TAMSO_REFDATA_NIST_DIR "tools/refdata/nist"
#endif

int main(int argc, char** argv) {
    tamso::refgen::GeneratorSettings s;
    s.nistFolder = TAMSO_REFDATA_NIST_DIR;
    enum class Task { Physics, OrganTables, WholeBody, Phantom, Comparisons } task = Task::Physics;
    tamso::refgen::BeamGeometry::Direction direction = tamso::refgen::BeamGeometry::Anterior;
    std::vector<double> energies = {30, 40, 50, 60, 80, 100};
    long long organHistories = -1;
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
            else if (a == "--organ-tables")
                task = Task::OrganTables;
            else if (a == "--phantom")
                task = Task::Phantom;
            else if (a == "--organ-comparisons")
                task = Task::Comparisons;
            else if (a == "--organ-histories")
                organHistories = std::stoll(value());
            else if (a == "--whole-body") {
                task = Task::WholeBody;
                const std::string d = value();
                if (d != "ap" && d != "pa") {
                    std::cerr << "--whole-body takes ap or pa\n";
                    return 2;
                }
                direction = d == "ap" ? tamso::refgen::BeamGeometry::Anterior : tamso::refgen::BeamGeometry::Posterior;
            } else if (a == "--energies") {
                energies.clear();
                std::stringstream list(value());
                for (std::string item; std::getline(list, item, ',');) {
                    const double e = std::stod(item);
                    if (!(e >= 5 && e <= 150)) {
                        std::cerr << "energies must lie between 5 and 150 keV\n";
                        return 2;
                    }
                    energies.push_back(e);
                }
            } else if (a == "--physics-only")
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
    if (organHistories != -1 && organHistories < 1000) {
        std::cerr << "histories >= 1000\n";
        return 2;
    }
    try {
        if (task == Task::Phantom) {
            tamso::refgen::reportPhantom(tamso::refgen::phantom::Phantom::build(), std::cout);
            return 0;
        }
        if (task == Task::Comparisons) {
            tamso::refgen::printPublishedComparisons(s.outFolder, std::cout);
            return 0;
        }
        if (task == Task::WholeBody) {
            tamso::refgen::wholeBodyConversion(direction, energies, s.nistFolder,
                                               organHistories > 0 ? organHistories : 1000000, s.threads, s.seed,
                                               std::cout);
            return 0;
        }
        if (task == Task::OrganTables) {
            tamso::refgen::OrganTableSettings o;
            o.outFolder = s.outFolder;
            o.nistFolder = s.nistFolder;
            o.threads = s.threads;
            o.seed = s.seed;
            if (organHistories > 0)
                o.histories = organHistories;
            tamso::refgen::generateOrganTables(o, std::cout);
            return 0;
        }
        tamso::refgen::generate(s, std::cout);
    } catch (const std::exception& e) {
        std::cerr << "tamso-refdata: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
